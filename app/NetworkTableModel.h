// The network table's model: the rows of the main window's table, each with
// its record, in the order of the last sort. The view reads rows and texts
// from here and holds no logic of its own.
//
// Texts are formatted on demand: a refresh only notes which rows are due, and
// Text() asks the column rules when the view paints a cell, so a refresh of
// 100,000 rows does not build 3,000,000 strings. A row whose record was
// skipped by a refresh (rejected by the filter, or no longer listed) keeps
// the texts it showed: they are frozen at the end of that refresh until its
// record passes again.
//
// Row look-up by record goes through a hash index to each row's node, which
// remembers its position; positions are renumbered lazily, and only from the
// first changed position on, so look-ups stay O(1) across appends, a few
// insertions or deletions, and sorts.
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/NetworkColumnRules.h"
#include "networks/NetworkTable.h"
#include "networks/RecordOrder.h"

namespace tarvik {

// Told around every batch of changes (a refresh, a sort, a clear, a single
// row change outside a batch): once each per batch, never per row.
class INetworkTableObserver {
  public:
    virtual ~INetworkTableObserver() = default;
    // Rows will be inserted, removed or reordered, or texts change.
    virtual void RowsAboutToChange() = 0;
    // Done.
    virtual void RowsChanged() = 0;
};

class CNetworkTableModel : public INetworkTable {
  public:
    explicit CNetworkTableModel(CNetworkColumnRules& rules);
    ~CNetworkTableModel() override;
    CNetworkTableModel(const CNetworkTableModel&) = delete;
    CNetworkTableModel& operator=(const CNetworkTableModel&) = delete;

    // nullptr: nobody is told.
    void SetObserver(INetworkTableObserver* observer) { observer_ = observer; }

    std::size_t RowCount() const override { return rows_.size(); }
    int FindRow(const CBssid* record) const override;
    // A record that already has a row is not inserted twice: its row is
    // returned.
    int InsertRow(std::size_t index, const std::string& ssidText, BssidRecord record) override;
    // Freezes the row's texts and replaces that one.
    void SetItemText(int row, int column, const std::string& text) override;
    void DeleteRow(int row) override;
    void DeleteAllRows() override;
    // Sorts with the rules' sort state (each record's key taken once); the
    // order is the one `compare` gives when it is the rules' comparison.
    void SortRows(const RecordComparator& compare) override;
    void BeginUpdate(TableUpdate kind) override;
    void EndUpdate() override;
    bool MarkTextsDue(int row) override;

    // The row's record; a null record outside the rows.
    const BssidRecord& RecordAt(int row) const;
    // The text the rules give now for the cell (or the frozen text); "" outside
    // the rows and columns. Valid until the cell's text is rebuilt, the row
    // changes, or the next batch.
    std::string_view Text(int row, int column);
    const NetworkSortState& SortState() const { return rules_.SortState(); }
    // A click on a column header: applies the header-click rule and, when the
    // state changed, sorts and tells the observer. True when sorted.
    bool ClickHeader(int column, HeaderMouseButton button);
    // Visits the text of `column` of every row in row order (column widths).
    void VisitColumnTexts(int column, const std::function<void(std::string_view)>& visit);

  private:
    struct Row;

    bool ValidRow(int row) const {
        return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
    }
    void RowsMovedFrom(std::size_t position);
    void Renumber() const;
    void ClearRows();
    void Freeze(Row& row);
    void FreezeSkippedRows();
    void SortByRules();
    void Notify(bool before);

    CNetworkColumnRules& rules_;
    INetworkTableObserver* observer_ = nullptr;
    // Row order; the index owns the rows.
    std::vector<Row*> rows_;
    std::unordered_map<const CBssid*, std::unique_ptr<Row>> index_;
    // Rows before this position hold their right position; the others may not.
    mutable std::size_t validBelow_ = 0;
    // Insertions and deletions since the last renumbering; bounds how far a
    // row can have moved, so a short search can find it.
    mutable std::size_t movesSinceRenumber_ = 0;
    int updateDepth_ = 0;
    bool refreshing_ = false;
    std::uint32_t refreshGeneration_ = 0;
};

}  // namespace tarvik
