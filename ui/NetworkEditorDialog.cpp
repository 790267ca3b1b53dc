#include "ui/NetworkEditorDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "profiles/NetworkKey.h"
#include "ui/QtMessageBoxes.h"

namespace tarvik::ui {
namespace {

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

IMessageBoxes& BoxesOr(IMessageBoxes* given, std::unique_ptr<IMessageBoxes>& own, QWidget* parent) {
    if (given) return *given;
    own = std::make_unique<QtMessageBoxes>(parent);
    return *own;
}

// Puts the property's value into its editor without reporting a change.
void ShowValue(QWidget* widget, const ProfileProperty& property) {
    const QSignalBlocker block(widget);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(Qs(property.text));
        edit->setModified(false);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(combo->findData(property.value));
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setChecked(property.value != 0);
    } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        spin->setValue(property.value);
    }
}

}  // namespace

NetworkEditorDialog::NetworkEditorDialog(CAddNetworkKey& editor, IMessageBoxes* boxes,
                                         QWidget* parent)
    : QDialog(parent),
      editor_(editor),
      boxes_(BoxesOr(boxes, ownBoxes_, this)),
      list_(new QTreeWidget(this)),
      description_(new QLabel(this)) {
    setObjectName("networkEditorDialog");
    setWindowTitle(CAddNetworkKey::kTitle);
    list_->setObjectName("propertyList");
    list_->setColumnCount(2);
    list_->setHeaderLabels({"Property", "Value"});
    list_->setUniformRowHeights(true);
    description_->setObjectName("descriptionLine");
    description_->setWordWrap(true);
    description_->setMinimumHeight(2 * description_->fontMetrics().height() + 4);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        description_->setText(item ? item->toolTip(0) : QString());
    });

    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton("Save", QDialogButtonBox::AcceptRole);
    save_->setObjectName("saveButton");
    save_->setAutoDefault(false);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("cancelButton");
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &NetworkEditorDialog::OnSave);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(description_);
    layout->addWidget(buttons);
    resize(460, 380);
    Build();
    Refresh();
}

NetworkEditorDialog::~NetworkEditorDialog() = default;

QWidget* NetworkEditorDialog::ValueEditor(ProfilePropertyId id) const {
    const auto found = editors_.find(id);
    return found == editors_.end() ? nullptr : found->second;
}

QTreeWidgetItem* NetworkEditorDialog::Item(ProfilePropertyId id) const {
    const auto found = items_.find(id);
    return found == items_.end() ? nullptr : found->second;
}

void NetworkEditorDialog::Build() {
    for (const ProfileProperty& property : editor_.Properties()) {
        QTreeWidgetItem* parent =
            property.parent < 0 ? nullptr : Item(ProfilePropertyId(property.parent));
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(list_);
        item->setText(0, Qs(property.name));
        item->setToolTip(0, Qs(property.description));
        item->setToolTip(1, Qs(property.description));
        items_[property.id] = item;
        QWidget* widget = MakeEditor(property);
        widget->setToolTip(Qs(property.description));
        list_->setItemWidget(item, 1, widget);
        editors_[property.id] = widget;
    }
    list_->expandAll();
    // Names uncut at the desktop's font, indented ones included.
    list_->resizeColumnToContents(0);
    list_->header()->resizeSection(0, list_->header()->sectionSize(0) + 12);
}

QWidget* NetworkEditorDialog::MakeEditor(const ProfileProperty& property) {
    const ProfilePropertyId id = property.id;
    switch (property.kind) {
        case PropertyKind::Choice: {
            auto* combo = new QComboBox;
            for (const PropertyChoice& choice : property.choices) {
                combo->addItem(Qs(choice.text), choice.value);
            }
            connect(combo, &QComboBox::currentIndexChanged, this, [this, id, combo](int index) {
                if (index >= 0) ChangeValue(id, combo->itemData(index).toInt());
            });
            return combo;
        }
        case PropertyKind::Check: {
            auto* box = new QCheckBox;
            connect(box, &QCheckBox::toggled, this,
                    [this, id](bool checked) { ChangeValue(id, checked ? 1 : 0); });
            return box;
        }
        case PropertyKind::Number: {
            auto* spin = new QSpinBox;
            if (property.readOnly) {
                spin->setRange(0, static_cast<int>(kProfileKeySize));
                spin->setReadOnly(true);
                spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
            } else {
                spin->setRange(property.minimum, property.maximum);
            }
            if (!property.unit.empty()) spin->setSuffix(" " + Qs(property.unit));
            connect(spin, &QSpinBox::valueChanged, this,
                    [this, id](int value) { ChangeValue(id, value); });
            return spin;
        }
        case PropertyKind::Text:
            break;
    }
    auto* edit = new QLineEdit;
    edit->setReadOnly(property.readOnly);
    connect(edit, &QLineEdit::editingFinished, this, [this] {
        CommitTexts();
        Refresh();
    });
    return edit;
}

void NetworkEditorDialog::Refresh() {
    for (const ProfileProperty& property : editor_.Properties()) {
        QWidget* widget = ValueEditor(property.id);
        if (!widget) continue;
        ShowValue(widget, property);
        widget->setEnabled(editor_.IsEnabled(property.id));
    }
}

void NetworkEditorDialog::CommitTexts() {
    for (const auto& [id, widget] : editors_) {
        auto* edit = qobject_cast<QLineEdit*>(widget);
        if (!edit || !edit->isModified()) continue;
        edit->setModified(false);
        editor_.OnTextChanged(id, edit->text().toStdString());
    }
}

void NetworkEditorDialog::ChangeValue(ProfilePropertyId id, int value) {
    CommitTexts();
    editor_.OnValueChanged(id, value);
    Refresh();
}

void NetworkEditorDialog::OnSave() {
    CommitTexts();
    Refresh();
    if (editor_.OnSave(boxes_)) accept();
}

}  // namespace tarvik::ui
