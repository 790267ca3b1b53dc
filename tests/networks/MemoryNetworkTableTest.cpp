#include "networks/MemoryNetworkTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

BssidRecord Network(std::uint8_t n) {
    return std::make_shared<CBssid>(testing_support::Entry(testing_support::Fields(n, -n)), 0);
}

// The row index must follow every kind of change: appends keep it, middle
// insertions, deletions and sorts rebuild it.
TEST(MemoryNetworkTableTest, FindsRowsAfterEveryKindOfChange) {
    CMemoryNetworkTable table;
    std::vector<BssidRecord> records;
    for (std::uint8_t last : {4, 2, 3, 1}) records.push_back(Network(last));
    EXPECT_EQ(table.InsertRow(0, "a", records[0]), 0);
    EXPECT_EQ(table.InsertRow(5, "b", records[1]), 1);  // past the end: appended
    EXPECT_EQ(table.InsertRow(1, "c", records[2]), 1);
    EXPECT_EQ(table.FindRow(records[1].get()), 2);
    EXPECT_EQ(table.InsertRow(0, "d", records[3]), 0);
    EXPECT_EQ(table.InsertRow(0, "none", nullptr), -1);
    table.SortRows([](CBssid& a, CBssid& b) { return b.Entry()->Rssi() - a.Entry()->Rssi(); });
    for (int row = 0; row < 4; ++row) EXPECT_EQ(table.FindRow(table.Record(row).get()), row);
    EXPECT_EQ(table.Text(table.FindRow(records[2].get()), kTableColumnSsid), "c");
    table.DeleteRow(3);  // the last row
    EXPECT_EQ(table.FindRow(records[0].get()), -1);
    table.DeleteRow(0);
    EXPECT_EQ(table.FindRow(records[1].get()), 0);
    EXPECT_EQ(table.FindRow(records[2].get()), 1);
    table.SetItemText(9, 0, "ignored");
    table.DeleteRow(-1);
    EXPECT_EQ(table.Text(9, 0), "");
    EXPECT_EQ(table.RowCount(), 2u);
}

}  // namespace
}  // namespace tarvik
