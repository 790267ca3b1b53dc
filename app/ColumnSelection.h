// The "Columns" dialog's logic: one row per column of the network table, in
// column-index order, showing the header text and ticked when the column is
// visible. A tick applies at once; there is nothing to confirm.
#pragma once

#include <cstddef>
#include <string>

namespace tarvik {

class CListCtrlEx;

class CColumnSelection {
  public:
    // The table must outlive the dialog.
    explicit CColumnSelection(CListCtrlEx& table);

    static constexpr const char* kTitle = "Columns";
    // The dialog's single list column.
    static constexpr const char* kListColumnTitle = "Column";
    static constexpr int kListColumnWidth = 110;

    std::size_t RowCount() const;
    // The header text; "" for a row out of range.
    std::string RowText(std::size_t row) const;
    bool IsTicked(std::size_t row) const;
    // Shows or hides the row's column when the tick changes; a row out of
    // range does nothing.
    void SetTicked(std::size_t row, bool ticked);

  private:
    CListCtrlEx& table_;
};

}  // namespace tarvik
