#include "ui/AskForKeyDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/QtMessageBoxes.h"

namespace tarvik::ui {
namespace {

IMessageBoxes& BoxesOr(IMessageBoxes* given, std::unique_ptr<IMessageBoxes>& own, QWidget* parent) {
    if (given) return *given;
    own = std::make_unique<QtMessageBoxes>(parent);
    return *own;
}

}  // namespace

AskForKeyDialog::AskForKeyDialog(CAskForKey& prompt, IMessageBoxes* boxes, QWidget* parent)
    : QDialog(parent),
      prompt_(prompt),
      boxes_(BoxesOr(boxes, ownBoxes_, this)),
      keyEdit_(new QLineEdit(this)),
      remember_(new QCheckBox(CAskForKey::kRememberText, this)) {
    setObjectName("askForKeyDialog");
    setWindowTitle(CAskForKey::kTitle);
    keyEdit_->setObjectName("keyEdit");
    keyEdit_->setText(QString::fromStdString(prompt_.InitialKeyText()));
    keyEdit_->end(false);
    remember_->setObjectName("rememberBox");
    remember_->setChecked(true);
    remember_->setEnabled(prompt_.RememberEnabled());

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok_->setObjectName("okButton");
    ok_->setDefault(true);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &AskForKeyDialog::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(CAskForKey::kPromptText, this));
    layout->addWidget(keyEdit_);
    layout->addWidget(remember_);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

AskForKeyDialog::~AskForKeyDialog() = default;

void AskForKeyDialog::OnOk() {
    if (prompt_.OnOk(keyEdit_->text().toStdString(), remember_->isChecked(), boxes_)) accept();
}

}  // namespace tarvik::ui
