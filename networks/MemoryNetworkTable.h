// A network table kept in memory: rows with their record and 30 texts, and
// an index from record to row. Stands in for the GUI table in tests and
// benchmarks, and serves anything that needs the table without a display.
//
// Appending or removing the last row keeps the index; any other insertion,
// removal or sort marks it stale and the next look-up rebuilds it once.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "networks/NetworkTable.h"

namespace tarvik {

class CMemoryNetworkTable : public INetworkTable {
  public:
    std::size_t RowCount() const override { return rows_.size(); }
    int FindRow(const CBssid* record) const override;
    int InsertRow(std::size_t index, const std::string& ssidText, BssidRecord record) override;
    void SetItemText(int row, int column, const std::string& text) override;
    void DeleteRow(int row) override;
    void DeleteAllRows() override;
    void SortRows(const RecordComparator& compare) override;

    // Out-of-range rows and columns read as nullptr and "".
    const BssidRecord& Record(int row) const;
    const std::string& Text(int row, int column) const;

  private:
    struct Row {
        BssidRecord record;
        std::array<std::string, kTableColumnCount> texts;
    };

    bool ValidRow(int row) const {
        return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
    }
    void RebuildIndex() const;

    std::vector<std::unique_ptr<Row>> rows_;
    mutable std::unordered_map<const CBssid*, int> rowOf_;
    mutable bool indexStale_ = false;
};

}  // namespace tarvik
