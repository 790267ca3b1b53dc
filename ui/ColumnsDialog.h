// The "Columns" dialog: modeless, one checkable row per column of the network
// table in column order; a tick shows or hides the column at once. "Close"
// only hides the dialog, which is kept for the next use.
#pragma once

#include <QDialog>
#include <QTreeWidget>

#include "app/ColumnSelection.h"

namespace tarvik::ui {

class ColumnsDialog : public QDialog {
    Q_OBJECT
  public:
    // `table` must outlive the dialog.
    explicit ColumnsDialog(CListCtrlEx& table, QWidget* parent = nullptr);

    // Re-reads the ticks from the table, then shows and raises the dialog.
    void ShowAndRefresh();
    QTreeWidget& List() { return *list_; }

  private:
    void Fill();
    void OnItemChanged(QTreeWidgetItem* item);

    CColumnSelection selection_;
    QTreeWidget* list_;
    bool filling_ = false;
};

}  // namespace tarvik::ui
