#include "app/NetworkTableModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/ApplicationOptions.h"
#include "networks/MemoryNetworkTable.h"
#include "networks/ScanCycle.h"
#include "tests/networks/BssidTestSupport.h"
#include "tests/networks/ScanCycleSupport.h"

namespace tarvik {
namespace {

using testing_support::Entry;
using testing_support::FakeFilter;
using testing_support::Fields;

// Network i (its last MAC byte) of a varied population: bands, channels,
// types, security, beacons, ad hoc.
ndis::BssidEntry Network(int i, std::int32_t rssi = 0, const char* ssid = nullptr) {
    static constexpr std::uint32_t kMhz[] = {2462, 5745, 2412, 5180, 2437, 2484};
    const std::uint32_t mhz = kMhz[i % 6];
    ndis::BssidEntryFields fields =
        Fields(static_cast<std::uint8_t>(i), rssi != 0 ? rssi : -30 - (i * 13) % 60, i % 4 != 0);
    fields.SetSsid(ssid ? ssid : (i % 3 == 0 ? "Cafe" : (i % 3 == 1 ? "airport" : "BEACH")));
    fields.configuration.dsConfig = mhz * 1000;
    fields.networkTypeInUse =
        mhz > 5000 ? ndis::Ndis802_11OFDM5 : (i % 2 ? ndis::Ndis802_11DS : ndis::Ndis802_11OFDM24);
    fields.configuration.beaconPeriod = i % 5 == 0 ? 20 : 100;
    fields.configuration.atimWindow = static_cast<std::uint32_t>(i % 3);
    fields.infrastructureMode = i % 9 == 0 ? ndis::Ndis802_11IBSS : ndis::Ndis802_11Infrastructure;
    if (i % 4 == 1) fields.elements = testing_support::kWpaPskTkip;
    if (i % 4 == 2) fields.elements = testing_support::kRsnPskCcmp;
    return Entry(fields);
}

// The real list, rules and scan cycle without an adapter, shown through the
// model (a text is made when its cell is painted) or, for reference, through
// a table that stores every text. Each Merge is one scan, each Refresh one
// table refresh.
struct Shown {
    explicit Shown(bool lazy = true)
        : cycle{list, options, lazy ? static_cast<INetworkTable&>(model) : stored, rules} {
        list.SetClock([] { return 1000; });
        cycle.SetFilter(&filter);
    }
    void Merge(std::vector<ndis::BssidEntry> entries) { list.MergeEntries(entries); }
    void Merge(std::initializer_list<int> networks) {
        std::vector<ndis::BssidEntry> entries;
        for (int i : networks) entries.push_back(Network(i, -50));
        Merge(entries);
    }
    void Refresh() { cycle.UpdateConnectionStatus(); }
    std::vector<int> RowOrder() const {
        std::vector<int> order;
        for (int row = 0; row < static_cast<int>(model.RowCount()); ++row) {
            order.push_back(model.RecordAt(row)->Entry()->GetMacAddress()[5]);
        }
        return order;
    }
    int RowOf(int i) const {
        const BssidRecord record = list.FindByMac(Fields(static_cast<std::uint8_t>(i)).macAddress);
        return record ? model.FindRow(record.get()) : -1;
    }

    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    CNetworkList list;
    CNetworkColumnRules rules{options, list};
    CNetworkTableModel model{rules};
    CMemoryNetworkTable stored;
    FakeFilter filter;
    CScanCycle cycle;
};

// Every status is "Unavailable", so the default sort keeps the insertion
// order and shows where rows went in.
TEST(NetworkTableModelTest, NewRowsGoInAtTheirListIndex) {
    Shown shown;
    shown.Merge({1, 2, 3, 4});
    shown.filter.rejectedMacBytes = {1, 2};
    shown.Refresh();
    EXPECT_EQ(shown.RowOrder(), (std::vector<int>{3, 4}));  // list index 2 and 3 clamp to 0 and 1
    shown.filter.rejectedMacBytes = {};
    shown.Refresh();
    EXPECT_EQ(shown.RowOrder(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(shown.cycle.Counts(), (TableCounts{4, 0, 4}));
}

TEST(NetworkTableModelTest, RejectedRowKeepsItsTexts) {
    Shown shown;
    shown.Merge({Network(1, -40, "alpha"), Network(2, -40)});
    shown.Refresh();
    const std::string signal(shown.model.Text(shown.RowOf(1), COLUMN_SIGNAL));
    shown.filter.rejectedMacBytes = {1};
    shown.Refresh();  // frozen here, as it stood
    shown.Merge({Network(1, -90, "beta"), Network(2, -40)});
    shown.Refresh();
    EXPECT_EQ(shown.model.Text(shown.RowOf(1), COLUMN_SIGNAL), signal);
    EXPECT_EQ(shown.model.Text(shown.RowOf(1), COLUMN_SSID), "alpha");
    EXPECT_EQ(shown.cycle.Counts(), (TableCounts{2, 1, 1}));
    shown.filter.rejectedMacBytes = {};
    shown.Refresh();
    EXPECT_NE(shown.model.Text(shown.RowOf(1), COLUMN_SIGNAL), signal);
    EXPECT_EQ(shown.model.Text(shown.RowOf(1), COLUMN_SSID), "beta");
    shown.cycle.ClearAllNetworks();
    EXPECT_EQ(shown.model.Text(0, 0), "");
    EXPECT_EQ(shown.model.RecordAt(-1), nullptr);
}

// For every sort column and direction, rows never painted sort as rows whose
// texts were all written, and then read the same. Fresh lists each time, so
// no text painted for an earlier column can help.
TEST(NetworkTableModelTest, UnpaintedRowsSortAndReadAsStoredRowsByEveryColumn) {
    std::vector<ndis::BssidEntry> networks;
    for (int i = 0; i < 40; ++i) networks.push_back(Network(i));
    for (int column = 0; column < kTableColumnCount; ++column) {
        for (const bool ascending : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "sort column " << column << " " << ascending);
            Shown lazy(true);
            Shown eager(false);
            for (Shown* shown : {&lazy, &eager}) {
                shown->Merge(networks);
                shown->rules.SortState() = {column, ascending};
                shown->Refresh();
            }
            ASSERT_EQ(lazy.model.RowCount(), eager.stored.RowCount());
            for (int row = 0; row < static_cast<int>(eager.stored.RowCount()); ++row) {
                ASSERT_EQ(lazy.model.RecordAt(row)->Entry()->GetMacAddress(),
                          eager.stored.Record(row)->Entry()->GetMacAddress())
                    << "row " << row;
                for (int cell = 0; cell < kTableColumnCount; ++cell) {
                    ASSERT_EQ(lazy.model.Text(row, cell), eager.stored.Text(row, cell))
                        << row << "/" << cell;
                }
            }
        }
    }
}

// Random bursts of insertions, deletions and sorts against a plain vector:
// every look-up must give the row the record really is in. Short and long
// bursts move rows a little (found nearby) and far (renumbered).
TEST(NetworkTableModelTest, RowIndexStaysRightAgainstANaiveTable) {
    Shown shown;
    std::mt19937 random(20261206);
    auto pick = [&random](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    std::vector<BssidRecord> pool;
    for (int i = 0; i < 256; ++i) {
        pool.push_back(std::make_shared<CBssid>(Entry(Fields(static_cast<std::uint8_t>(i))), 0, 1));
    }
    std::vector<CBssid*> naive;
    for (int round = 0; round < 400; ++round) {
        // Out of 20: below `inserts` insert, then delete, the last one sorts.
        const std::size_t inserts = naive.size() < 100 ? 15 : 5;
        for (std::size_t step = pick(round % 2 == 0 ? 6 : 40); step-- > 0;) {
            const std::size_t action = pick(20), at = pick(naive.size() + 3);
            const BssidRecord& record = pool[pick(pool.size())];
            if (action < inserts && std::count(naive.begin(), naive.end(), record.get()) == 0) {
                shown.model.InsertRow(at, "", record);
                naive.insert(naive.begin() + static_cast<long>(std::min(at, naive.size())),
                             record.get());
            } else if (action >= inserts && action < 19 && at < naive.size()) {
                shown.model.DeleteRow(static_cast<int>(at));
                naive.erase(naive.begin() + static_cast<long>(at));
            } else if (action == 19) {
                shown.rules.SortState() = {static_cast<int>(pick(kTableColumnCount)), pick(2) == 0};
                shown.model.SortRows(nullptr);
                SortRecords(naive, shown.rules.SortState(), shown.rules.Context());
            }
        }
        ASSERT_EQ(shown.model.RowCount(), naive.size());
        // From the last row down the most moved rows come first.
        for (std::size_t row = naive.size(); row-- > 0;) {
            ASSERT_EQ(shown.model.RecordAt(static_cast<int>(row)).get(), naive[row]);
            ASSERT_EQ(shown.model.FindRow(naive[row]), static_cast<int>(row)) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace tarvik
