// The "Options" dialog: the settings as a property list in six categories,
// each property with its value editor (number with unit, check box,
// drop-down list, colour button), dependent rows indented and greyed while
// their switch is off, the selected property's help text in a pane below,
// and the Restore Defaults... and Close buttons. Every decision is the
// editor's (COptionsEditor); this only shows and forwards.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <vector>

#include "app/MessageBoxes.h"
#include "app/OptionsEditor.h"

namespace tarvik::ui {

// The help pane's height after a drag: whole text lines, 13 × k + 6 pixels;
// below 19 pixels the pane is hidden (0).
int SnapHelpPaneHeight(int height);

class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    // `editor` and `confirm` must outlive the dialog.
    OptionsDialog(COptionsEditor& editor, IConfirmBoxes& confirm, QWidget* parent = nullptr);

    QTreeWidget& List() { return *list_; }
    QPlainTextEdit& HelpPane() { return *help_; }
    QSplitter& Splitter() { return *splitter_; }
    QPushButton& RestoreDefaultsButton() { return *restore_; }
    QPushButton& CloseButton() { return *close_; }
    // The row and value editor of the property with this label; null if none.
    QTreeWidgetItem* Row(const QString& label) const;
    QWidget* Editor(const QString& label) const;

  private:
    struct PropertyRow {
        const OptionProperty* property;
        QTreeWidgetItem* item;
        QWidget* editor;
    };

    void BuildList();
    QWidget* CreateEditor(const OptionProperty& property);
    QWidget* CreateNumberEditor(const OptionProperty& property);
    QWidget* CreateColourEditor(const OptionProperty& property);
    void Commit(const OptionProperty& property, std::int32_t value);
    void CommitNumberText(const OptionProperty& property, const QString& text);
    // Every editor shows the record's value; disabled rows are greyed.
    void ShowValues();
    void ShowValue(const PropertyRow& row);
    void OnRestoreDefaults();

    COptionsEditor& editor_;
    IConfirmBoxes& confirm_;
    QTreeWidget* list_;
    QPlainTextEdit* help_;
    QSplitter* splitter_;
    QPushButton* restore_;
    QPushButton* close_;
    std::vector<PropertyRow> rows_;
};

}  // namespace tarvik::ui
