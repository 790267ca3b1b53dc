// What the column layout logic needs from a table's header: the columns'
// display order and widths. The GUI's header view implements it; columns are
// named by their index in the table's model, which never changes when the
// user drags a header to another place.
#pragma once

#include <vector>

namespace tarvik {

class IListHeader {
  public:
    virtual ~IListHeader() = default;
    virtual int ColumnCount() const = 0;
    // Column indices, leftmost first.
    virtual std::vector<int> DisplayOrder() const = 0;
    virtual void SetDisplayOrder(const std::vector<int>& order) = 0;
    virtual int ColumnWidth(int column) const = 0;
    virtual void SetColumnWidth(int column, int width) = 0;
    // Redraws the table after its order changed.
    virtual void Repaint() = 0;
};

}  // namespace tarvik
