#include "networks/MemoryNetworkTable.h"

#include <algorithm>

namespace tarvik {

void CMemoryNetworkTable::RebuildIndex() const {
    rowOf_.clear();
    rowOf_.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rowOf_.emplace(rows_[i]->record.get(), static_cast<int>(i));
    }
    indexStale_ = false;
}

int CMemoryNetworkTable::FindRow(const CBssid* record) const {
    if (indexStale_) RebuildIndex();
    const auto found = rowOf_.find(record);
    return found == rowOf_.end() ? -1 : found->second;
}

int CMemoryNetworkTable::InsertRow(std::size_t index, const std::string& ssidText,
                                   BssidRecord record) {
    if (!record) return -1;
    index = std::min(index, rows_.size());
    auto row = std::make_unique<Row>();
    row->record = std::move(record);
    row->texts[kTableColumnSsid] = ssidText;
    const CBssid* key = row->record.get();
    if (index == rows_.size()) {
        rows_.push_back(std::move(row));
        if (!indexStale_) rowOf_.emplace(key, static_cast<int>(index));
    } else {
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
        indexStale_ = true;
    }
    return static_cast<int>(index);
}

void CMemoryNetworkTable::SetItemText(int row, int column, const std::string& text) {
    if (!ValidRow(row) || column < 0 || column >= kTableColumnCount) return;
    std::string& cell =
        rows_[static_cast<std::size_t>(row)]->texts[static_cast<std::size_t>(column)];
    if (cell != text) cell = text;
}

void CMemoryNetworkTable::DeleteRow(int row) {
    if (!ValidRow(row)) return;
    const auto at = rows_.begin() + row;
    if (static_cast<std::size_t>(row) + 1 == rows_.size()) {
        if (!indexStale_) rowOf_.erase((*at)->record.get());
    } else {
        indexStale_ = true;
    }
    rows_.erase(at);
}

void CMemoryNetworkTable::DeleteAllRows() {
    rows_.clear();
    rowOf_.clear();
    indexStale_ = false;
}

void CMemoryNetworkTable::SortRows(const RecordComparator& compare) {
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&compare](const std::unique_ptr<Row>& a, const std::unique_ptr<Row>& b) {
                         return compare(*a->record, *b->record) < 0;
                     });
    indexStale_ = true;
}

const BssidRecord& CMemoryNetworkTable::Record(int row) const {
    static const BssidRecord none;
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)]->record : none;
}

const std::string& CMemoryNetworkTable::Text(int row, int column) const {
    static const std::string empty;
    if (!ValidRow(row) || column < 0 || column >= kTableColumnCount) return empty;
    return rows_[static_cast<std::size_t>(row)]->texts[static_cast<std::size_t>(column)];
}

}  // namespace tarvik
