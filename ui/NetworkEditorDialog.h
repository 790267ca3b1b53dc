// The "Network Editor" dialog: the profile's property list as a two-level
// tree (name, value editor, tool tip), a description line for the current
// property, "Save" and "Cancel". Every change goes to the controller
// (CAddNetworkKey) and the whole list is then shown again from it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <map>
#include <memory>

#include "app/AddNetworkKey.h"

namespace tarvik::ui {

class NetworkEditorDialog : public QDialog {
    Q_OBJECT
  public:
    // `editor` (and `boxes` when given) must outlive the dialog; without
    // `boxes` its messages are shown over the dialog.
    NetworkEditorDialog(CAddNetworkKey& editor, IMessageBoxes* boxes = nullptr,
                        QWidget* parent = nullptr);
    ~NetworkEditorDialog() override;

    QTreeWidget& PropertyList() { return *list_; }
    QLabel& DescriptionLine() { return *description_; }
    QPushButton& SaveButton() { return *save_; }
    // The value editor of a property: QLineEdit, QComboBox, QCheckBox or QSpinBox.
    QWidget* ValueEditor(ProfilePropertyId id) const;
    QTreeWidgetItem* Item(ProfilePropertyId id) const;

  private:
    void Build();
    QWidget* MakeEditor(const ProfileProperty& property);
    // Shows every value and enabled state again from the controller.
    void Refresh();
    // Hands edited texts that were not yet confirmed to the controller.
    void CommitTexts();
    void ChangeValue(ProfilePropertyId id, int value);
    void OnSave();

    CAddNetworkKey& editor_;
    std::unique_ptr<IMessageBoxes> ownBoxes_;
    IMessageBoxes& boxes_;
    QTreeWidget* list_;
    QLabel* description_;
    QPushButton* save_ = nullptr;
    std::map<ProfilePropertyId, QTreeWidgetItem*> items_;
    std::map<ProfilePropertyId, QWidget*> editors_;
};

}  // namespace tarvik::ui
