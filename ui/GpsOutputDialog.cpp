#include "ui/GpsOutputDialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace tarvik::ui {

GpsOutputDialog::GpsOutputDialog(QWidget* parent)
    : QDialog(parent),
      status_(new QLabel(this)),
      latitude_(new QLabel(this)),
      longitude_(new QLabel(this)),
      sentences_(new QPlainTextEdit(this)) {
    setWindowTitle("GPS Output");
    setModal(false);
    auto* form = new QFormLayout;
    form->addRow("GPS Status:", status_);
    form->addRow("Latitude:", latitude_);
    form->addRow("Longitude:", longitude_);
    sentences_->setReadOnly(true);
    sentences_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(sentences_, 1);
    resize(520, 360);
}

void GpsOutputWindow::ShowOnTop() {
    if (!dialog_) return;
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void GpsOutputWindow::SetStatusTexts(const std::string& status, const std::string& latitude,
                                     const std::string& longitude) {
    if (!dialog_) return;
    dialog_->Status().setText(QString::fromStdString(status));
    dialog_->Latitude().setText(QString::fromStdString(latitude));
    dialog_->Longitude().setText(QString::fromStdString(longitude));
}

void GpsOutputWindow::SetSentenceLog(const std::string& text) {
    if (dialog_) dialog_->Sentences().setPlainText(QString::fromStdString(text));
}

}  // namespace tarvik::ui
