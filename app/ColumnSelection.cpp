#include "app/ColumnSelection.h"

#include "app/ListCtrlEx.h"

namespace tarvik {

CColumnSelection::CColumnSelection(CListCtrlEx& table) : table_(table) {}

std::size_t CColumnSelection::RowCount() const {
    return static_cast<std::size_t>(table_.ColumnCount());
}

std::string CColumnSelection::RowText(std::size_t row) const {
    return row < RowCount() ? table_.ColumnTitle(static_cast<int>(row)) : std::string();
}

bool CColumnSelection::IsTicked(std::size_t row) const {
    return row < RowCount() && table_.IsColumnVisible(static_cast<int>(row));
}

void CColumnSelection::SetTicked(std::size_t row, bool ticked) {
    if (row >= RowCount() || IsTicked(row) == ticked) return;
    table_.SetColumnVisible(static_cast<int>(row), ticked);
}

}  // namespace tarvik
