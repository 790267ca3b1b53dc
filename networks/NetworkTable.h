// What the scan cycle needs from the network table and its helpers: the
// table's rows, the column texts and sort order, the result filter and the
// scanning button. The GUI's table model, the column rules and the filter
// dialog implement them; tests use the in-memory table and small fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "networks/NetworkList.h"

namespace tarvik {

inline constexpr int kTableColumnCount = 30;
inline constexpr int kTableColumnSsid = 0;
inline constexpr int kTableColumnScore = 8;

// Negative, 0 or positive, as A sorts before, with or after B.
// Non-const: the column rules refresh the records' text caches as they go.
using RecordComparator = std::function<int(CBssid& a, CBssid& b)>;

// What a batch of row changes is: a table refresh, or other row changes
// (stale rows purged, all rows cleared).
enum class TableUpdate { Refresh, Rows };

// The rows of the network table; each row's item data is its record.
class INetworkTable {
  public:
    virtual ~INetworkTable() = default;
    virtual std::size_t RowCount() const = 0;
    // The row whose item data is `record`, or -1.
    virtual int FindRow(const CBssid* record) const = 0;
    // Inserts a row at `index` (at most RowCount()) with the text of column 0
    // and the record as item data; returns the new row's index (-1 for no
    // record).
    virtual int InsertRow(std::size_t index, const std::string& ssidText, BssidRecord record) = 0;
    virtual void SetItemText(int row, int column, const std::string& text) = 0;
    virtual void DeleteRow(int row) = 0;
    virtual void DeleteAllRows() = 0;
    virtual void SortRows(const RecordComparator& compare) = 0;

    // Brackets a batch of row changes so that a view redraws once, not per
    // row. Batches may nest; only the outermost pair counts. In a refresh
    // batch every listed record is visited: rows marked due show the rules'
    // texts, and the others (rejected by the filter, or no longer listed)
    // keep the texts they showed.
    virtual void BeginUpdate(TableUpdate kind) { (void)kind; }
    virtual void EndUpdate() {}
    // The row's record passed this refresh, so its 30 texts are due. A table
    // that formats texts on demand notes it and returns true; a table that
    // stores texts returns false, and the refresh writes them with
    // SetItemText.
    virtual bool MarkTextsDue(int row) {
        (void)row;
        return false;
    }
};

// One batch of table changes for the lifetime of the scope.
class TableUpdateScope {
  public:
    TableUpdateScope(INetworkTable& table, TableUpdate kind) : table_(table) {
        table_.BeginUpdate(kind);
    }
    ~TableUpdateScope() { table_.EndUpdate(); }
    TableUpdateScope(const TableUpdateScope&) = delete;
    TableUpdateScope& operator=(const TableUpdateScope&) = delete;

  private:
    INetworkTable& table_;
};

// The column rules: each column's text for a record, and the comparison that
// sorts the table under its current sort state.
class INetworkColumns {
  public:
    virtual ~INetworkColumns() = default;
    virtual std::string ColumnText(CBssid& record, int column) = 0;
    virtual int CompareRecords(CBssid& a, CBssid& b) = 0;
};

// Counts of the latest table refresh.
struct TableCounts {
    std::uint32_t total = 0;
    std::uint32_t rejected = 0;
    std::uint32_t passed = 0;
    bool operator==(const TableCounts&) const = default;
};

// The result filter. Without one configured every record passes.
class INetworkFilter {
  public:
    virtual ~INetworkFilter() = default;
    virtual bool PassesFilter(CBssid& record) = 0;
    // Called after each table refresh (the filter dialog shows the counts
    // while it is open).
    virtual void ShowCounts(const TableCounts& counts) { (void)counts; }
};

// The main window's scanning button.
class IScanningButton {
  public:
    virtual ~IScanningButton() = default;
    virtual void SetScanningButtonText(const std::string& text) = 0;
};

}  // namespace tarvik
