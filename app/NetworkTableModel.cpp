#include "app/NetworkTableModel.h"

#include <algorithm>
#include <utility>

#include "networks/NetworkColumns.h"

namespace tarvik {

namespace {

// How far FindRow looks around a row's remembered position before it
// renumbers the rows: a few insertions or deletions move a row that far.
constexpr std::size_t kNearbySearch = 8;

using FrozenTexts = std::array<std::string, kTableColumnCount>;

bool ValidColumn(int column) {
    return column >= 0 && column < kTableColumnCount;
}

}  // namespace

struct CNetworkTableModel::Row {
    BssidRecord record;
    // Right while below validBelow_ or verified against rows_.
    mutable std::size_t position = 0;
    // The refresh that last marked its texts due.
    std::uint32_t dueGeneration = 0;
    // Set while the row keeps the texts it showed.
    std::unique_ptr<FrozenTexts> frozen;
};

CNetworkTableModel::CNetworkTableModel(CNetworkColumnRules& rules) : rules_(rules) {}

CNetworkTableModel::~CNetworkTableModel() = default;

int CNetworkTableModel::FindRow(const CBssid* record) const {
    const auto found = index_.find(record);
    if (found == index_.end()) return -1;
    const Row* node = found->second.get();
    const std::size_t remembered = node->position;
    if (remembered < rows_.size() && rows_[remembered] == node) {
        return static_cast<int>(remembered);
    }
    // Rows are unique, so finding the node at a position proves the position.
    const std::size_t reach = std::min(movesSinceRenumber_, kNearbySearch);
    for (std::size_t step = 1; step <= reach; ++step) {
        if (remembered + step < rows_.size() && rows_[remembered + step] == node) {
            node->position = remembered + step;
            return static_cast<int>(node->position);
        }
        if (step <= remembered && remembered - step < rows_.size() &&
            rows_[remembered - step] == node) {
            node->position = remembered - step;
            return static_cast<int>(node->position);
        }
    }
    Renumber();
    return static_cast<int>(node->position);
}

void CNetworkTableModel::Renumber() const {
    for (std::size_t position = validBelow_; position < rows_.size(); ++position) {
        rows_[position]->position = position;
    }
    validBelow_ = rows_.size();
    movesSinceRenumber_ = 0;
}

void CNetworkTableModel::RowsMovedFrom(std::size_t position) {
    validBelow_ = std::min(validBelow_, position);
    ++movesSinceRenumber_;
}

int CNetworkTableModel::InsertRow(std::size_t index, const std::string& ssidText,
                                  BssidRecord record) {
    // Column 0 is formatted on demand like the others.
    (void)ssidText;
    if (!record) return -1;
    if (index_.contains(record.get())) return FindRow(record.get());
    const TableUpdateScope batch(*this, TableUpdate::Rows);
    index = std::min(index, rows_.size());
    // Whatever may throw comes before the first change; the insertion into
    // reserved room does not throw.
    if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() * 2 + 16);
    auto node = std::make_unique<Row>();
    node->position = index;
    node->record = std::move(record);
    Row* row = node.get();
    const CBssid* key = row->record.get();
    index_.emplace(key, std::move(node));
    const bool allValid = validBelow_ == rows_.size();
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), row);
    if (index + 1 == rows_.size()) {
        if (allValid) validBelow_ = rows_.size();
    } else {
        RowsMovedFrom(index);
    }
    return static_cast<int>(index);
}

void CNetworkTableModel::SetItemText(int row, int column, const std::string& text) {
    if (!ValidRow(row) || !ValidColumn(column)) return;
    const TableUpdateScope batch(*this, TableUpdate::Rows);
    Row& node = *rows_[static_cast<std::size_t>(row)];
    Freeze(node);
    (*node.frozen)[static_cast<std::size_t>(column)] = text;
}

void CNetworkTableModel::DeleteRow(int row) {
    if (!ValidRow(row)) return;
    const TableUpdateScope batch(*this, TableUpdate::Rows);
    const auto position = static_cast<std::size_t>(row);
    const CBssid* key = rows_[position]->record.get();
    rows_.erase(rows_.begin() + row);
    index_.erase(key);
    if (position == rows_.size()) {
        validBelow_ = std::min(validBelow_, rows_.size());
    } else {
        RowsMovedFrom(position);
    }
}

void CNetworkTableModel::ClearRows() {
    rows_.clear();
    index_.clear();
    validBelow_ = 0;
    movesSinceRenumber_ = 0;
}

void CNetworkTableModel::DeleteAllRows() {
    const TableUpdateScope batch(*this, TableUpdate::Rows);
    ClearRows();
}

void CNetworkTableModel::SortRows(const RecordComparator& compare) {
    // The rules' comparison is `compare`; SortRecords takes each key once.
    (void)compare;
    const TableUpdateScope batch(*this, TableUpdate::Rows);
    SortByRules();
}

void CNetworkTableModel::SortByRules() {
    std::vector<CBssid*> records;
    records.reserve(rows_.size());
    for (const Row* row : rows_) records.push_back(row->record.get());
    SortRecords(records, rules_.SortState(), rules_.Context());
    for (std::size_t position = 0; position < records.size(); ++position) {
        Row* row = index_.find(records[position])->second.get();
        rows_[position] = row;
        row->position = position;
    }
    validBelow_ = rows_.size();
    movesSinceRenumber_ = 0;
}

void CNetworkTableModel::BeginUpdate(TableUpdate kind) {
    if (updateDepth_++ == 0) Notify(true);
    if (kind == TableUpdate::Refresh && !refreshing_) {
        refreshing_ = true;
        // 0 is never a refresh, so a new row is not taken as due.
        if (++refreshGeneration_ == 0) ++refreshGeneration_;
    }
}

void CNetworkTableModel::EndUpdate() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ > 0) return;
    if (refreshing_) {
        FreezeSkippedRows();
        refreshing_ = false;
    }
    Notify(false);
}

bool CNetworkTableModel::MarkTextsDue(int row) {
    if (!ValidRow(row)) return true;
    Row& node = *rows_[static_cast<std::size_t>(row)];
    node.dueGeneration = refreshGeneration_;
    node.frozen.reset();
    return true;
}

void CNetworkTableModel::Freeze(Row& row) {
    if (row.frozen) return;
    auto texts = std::make_unique<FrozenTexts>();
    const ColumnContext context = rules_.Context();
    for (int column = 0; column < kTableColumnCount; ++column) {
        (*texts)[static_cast<std::size_t>(column)] =
            RefreshColumnText(*row.record, column, context);
    }
    row.frozen = std::move(texts);
}

void CNetworkTableModel::FreezeSkippedRows() {
    for (Row* row : rows_) {
        if (row->dueGeneration != refreshGeneration_) Freeze(*row);
    }
}

void CNetworkTableModel::Notify(bool before) {
    if (observer_ == nullptr) return;
    if (before) {
        observer_->RowsAboutToChange();
    } else {
        observer_->RowsChanged();
    }
}

const BssidRecord& CNetworkTableModel::RecordAt(int row) const {
    static const BssidRecord none;
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)]->record : none;
}

std::string_view CNetworkTableModel::Text(int row, int column) {
    if (!ValidRow(row) || !ValidColumn(column)) return {};
    Row& node = *rows_[static_cast<std::size_t>(row)];
    if (node.frozen) return (*node.frozen)[static_cast<std::size_t>(column)];
    return RefreshColumnText(*node.record, column, rules_.Context());
}

bool CNetworkTableModel::ClickHeader(int column, HeaderMouseButton button) {
    if (!ApplyHeaderClick(rules_.SortState(), column, button)) return false;
    const TableUpdateScope batch(*this, TableUpdate::Rows);
    SortByRules();
    return true;
}

void CNetworkTableModel::VisitColumnTexts(int column,
                                          const std::function<void(std::string_view)>& visit) {
    if (!ValidColumn(column)) return;
    for (std::size_t row = 0; row < rows_.size(); ++row) visit(Text(static_cast<int>(row), column));
}

}  // namespace tarvik
