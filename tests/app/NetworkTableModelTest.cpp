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

class CountingObserver : public INetworkTableObserver {
  public:
    void RowsAboutToChange() override {
        EXPECT_EQ(before, after) << "batches do not overlap";
        ++before;
    }
    void RowsChanged() override { ++after; }
    int before = 0;
    int after = 0;
};

// A network of the list: (last MAC byte, RSSI, SSID).
struct Sighting {
    std::uint8_t last;
    std::int32_t rssi = -50;
    std::string ssid = "linksys";
};

// The real list, rules and scan cycle without an adapter: each merge is one
// scan, each Refresh() one table refresh of the cycle.
class NetworkTableModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        networks_.SetClock([] { return 1000; });
        cycle_.SetFilter(&filter_);
        model_.SetObserver(&observer_);
    }

    void Merge(const std::vector<Sighting>& sightings) {
        std::vector<ndis::BssidEntry> entries;
        for (const Sighting& sighting : sightings) {
            ndis::BssidEntryFields fields = Fields(sighting.last, sighting.rssi);
            fields.SetSsid(sighting.ssid);
            entries.push_back(Entry(fields));
        }
        networks_.MergeEntries(entries);
    }
    void Refresh() { cycle_.UpdateConnectionStatus(); }

    std::vector<int> RowOrder() const {
        std::vector<int> order;
        for (std::size_t row = 0; row < model_.RowCount(); ++row) {
            order.push_back(model_.RecordAt(static_cast<int>(row))->Entry()->GetMacAddress()[5]);
        }
        return order;
    }
    int RowOf(std::uint8_t last) const {
        const BssidRecord record = networks_.FindByMac(Fields(last).macAddress);
        return record ? model_.FindRow(record.get()) : -1;
    }

    CApplicationOptions options_{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks_;
    CNetworkColumnRules rules_{options_, networks_};
    CNetworkTableModel model_{rules_};
    FakeFilter filter_;
    CountingObserver observer_;
    CScanCycle cycle_{networks_, options_, model_, rules_};
};

// Every status is "Unavailable", so the default sort keeps the insertion
// order and shows where rows went in.
TEST_F(NetworkTableModelTest, NewRowsGoInAtTheirListIndexClampedToTheRows) {
    Merge({{1}, {2}, {3}, {4}});
    filter_.rejectedMacBytes = {1, 2};
    Refresh();
    EXPECT_EQ(RowOrder(), (std::vector<int>{3, 4}));  // list index 2 and 3 clamp to 0 and 1

    filter_.rejectedMacBytes = {};
    Refresh();
    EXPECT_EQ(RowOrder(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(cycle_.Counts(), (TableCounts{4, 0, 4}));
    EXPECT_EQ(model_.Text(RowOf(3), COLUMN_SCORE), model_.Text(RowOf(4), COLUMN_SCORE));
    EXPECT_EQ(model_.Text(RowOf(3), COLUMN_SCORE).back(), '%');
}

TEST_F(NetworkTableModelTest, RejectedRowKeepsItsTextsUntilItPassesAgain) {
    Merge({{1, -40, "alpha"}, {2, -40}});
    Refresh();
    const std::string shown(model_.Text(RowOf(1), COLUMN_SIGNAL));
    EXPECT_EQ(model_.Text(RowOf(1), COLUMN_SSID), "alpha");

    filter_.rejectedMacBytes = {1};
    Refresh();  // frozen here, as it stood
    Merge({{1, -90, "beta"}, {2, -40}});
    Refresh();
    EXPECT_EQ(model_.Text(RowOf(1), COLUMN_SIGNAL), shown);
    EXPECT_EQ(model_.Text(RowOf(1), COLUMN_SSID), "alpha");
    EXPECT_EQ(cycle_.Counts(), (TableCounts{2, 1, 1}));

    filter_.rejectedMacBytes = {};
    Refresh();
    EXPECT_NE(model_.Text(RowOf(1), COLUMN_SIGNAL), shown);
    EXPECT_EQ(model_.Text(RowOf(1), COLUMN_SSID), "beta");
}

// Threshold 2 scans: age 2 keeps the row, age 3 deletes it; the record stays
// in memory and comes back when it is seen again.
TEST_F(NetworkTableModelTest, StaleRowsAreDeletedOnlyPastTheThreshold) {
    options_.RemoveUndetectedAccessPoints = 1;
    options_.TimeBeforeClearingNotDetectedAccessPoints = 2;
    Merge({{1}, {2}});
    Merge({{2}});  // record 1: age 2
    Refresh();
    EXPECT_EQ(RowOrder(), (std::vector<int>{1, 2}));

    Merge({{2}});  // age 3
    Refresh();
    EXPECT_EQ(RowOrder(), (std::vector<int>{2}));
    EXPECT_EQ(RowOf(1), -1);
    EXPECT_EQ(networks_.Size(), 2u);

    Merge({{1}, {2}});
    Refresh();
    EXPECT_EQ(RowOrder(), (std::vector<int>{1, 2}));
}

TEST_F(NetworkTableModelTest, ObserverHearsOncePerRefreshSortAndClear) {
    std::vector<Sighting> many;
    for (int last = 0; last < 200; ++last) many.push_back({static_cast<std::uint8_t>(last)});
    Merge(many);
    Refresh();
    EXPECT_EQ(observer_.before, 1);
    EXPECT_EQ(observer_.after, 1);
    EXPECT_EQ(model_.RowCount(), 200u);

    EXPECT_FALSE(model_.ClickHeader(COLUMN_SIGNAL, HeaderMouseButton::Right));
    EXPECT_TRUE(model_.ClickHeader(COLUMN_SIGNAL, HeaderMouseButton::Left));
    EXPECT_EQ(model_.SortState().column, COLUMN_SIGNAL);
    EXPECT_EQ(observer_.after, 2);

    cycle_.ClearAllNetworks();
    EXPECT_EQ(observer_.after, 3);
    EXPECT_EQ(model_.RowCount(), 0u);
    EXPECT_EQ(observer_.before, observer_.after);
    EXPECT_EQ(model_.Text(0, 0), "");
    EXPECT_EQ(model_.RecordAt(-1), nullptr);
}

// The texts and order the model shows are those the cycle writes into a
// table that stores every text.
TEST_F(NetworkTableModelTest, TextsOnDemandEqualTheTextsWrittenEagerly) {
    CMemoryNetworkTable eager;
    CScanCycle eagerCycle{networks_, options_, eager, rules_};
    std::vector<Sighting> sightings;
    for (int i = 0; i < 40; ++i) {
        sightings.push_back({static_cast<std::uint8_t>(i * 7 % 40), -30 - (i * 13) % 60,
                             i % 3 == 0 ? "Cafe" : (i % 3 == 1 ? "airport" : "BEACH")});
    }
    Merge(sightings);
    for (int column : {COLUMN_STATUS, COLUMN_SIGNAL, COLUMN_SSID, COLUMN_MAC_ADDRESS}) {
        rules_.SortState() = NetworkSortState{column, column != COLUMN_SSID};
        options_.UseDbmOrPercentage = column == COLUMN_SIGNAL ? 1 : 0;
        Refresh();
        eagerCycle.UpdateConnectionStatus();
        ASSERT_EQ(model_.RowCount(), eager.RowCount());
        for (int row = 0; row < static_cast<int>(eager.RowCount()); ++row) {
            ASSERT_EQ(model_.RecordAt(row), eager.Record(row)) << "sort column " << column;
            for (int cell = 0; cell < kTableColumnCount; ++cell) {
                EXPECT_EQ(model_.Text(row, cell), eager.Text(row, cell)) << row << "/" << cell;
            }
        }
    }
    std::vector<std::string> visited;
    model_.VisitColumnTexts(COLUMN_SSID,
                            [&](std::string_view text) { visited.emplace_back(text); });
    ASSERT_EQ(visited.size(), eager.RowCount());
    EXPECT_EQ(visited.front(), eager.Text(0, COLUMN_SSID));
}

// Random bursts of insertions, deletions and sorts against a plain vector:
// every look-up must give the row the record really is in. Bursts lean to
// insertions or deletions, so rows move both a little (found nearby) and far
// (renumbered).
TEST_F(NetworkTableModelTest, RowIndexStaysRightAgainstANaiveTable) {
    std::mt19937 random(20261206);
    std::vector<BssidRecord> pool;
    for (int i = 0; i < 1000; ++i) {
        ndis::BssidEntryFields fields = Fields(static_cast<std::uint8_t>(i), -20 - i % 80);
        fields.macAddress[4] = static_cast<std::uint8_t>(i >> 8);
        pool.push_back(std::make_shared<CBssid>(Entry(fields), 0, 1000));
    }
    std::vector<CBssid*> naive;
    auto pick = [&random](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    for (int round = 0; round < 400; ++round) {
        const int burst = 1 + static_cast<int>(pick(round % 2 == 0 ? 6 : 40));
        // Out of 20: below `inserts` insert, then delete, the last one sorts.
        const std::size_t inserts = naive.size() < 150 ? 15 : (naive.size() > 400 ? 4 : 10);
        for (int step = 0; step < burst; ++step) {
            const std::size_t action = pick(20);
            if (action < inserts) {
                const BssidRecord& record = pool[pick(pool.size())];
                if (std::find(naive.begin(), naive.end(), record.get()) != naive.end()) continue;
                const std::size_t at = pick(naive.size() + 3);
                model_.InsertRow(at, "", record);
                naive.insert(
                    naive.begin() + static_cast<std::ptrdiff_t>(std::min(at, naive.size())),
                    record.get());
            } else if (action < 19 && !naive.empty()) {
                const std::size_t at = pick(naive.size());
                model_.DeleteRow(static_cast<int>(at));
                naive.erase(naive.begin() + static_cast<std::ptrdiff_t>(at));
            } else if (action == 19) {
                rules_.SortState() =
                    NetworkSortState{static_cast<int>(pick(kTableColumnCount)), pick(2) == 0};
                model_.SortRows(nullptr);
                SortRecords(naive, rules_.SortState(), rules_.Context());
            }
        }
        ASSERT_EQ(model_.RowCount(), naive.size());
        std::vector<std::size_t> order(naive.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        // From the last row down, so the most moved rows are looked up first.
        if (round % 2 == 0) {
            std::shuffle(order.begin(), order.end(), random);
        } else {
            std::reverse(order.begin(), order.end());
        }
        for (std::size_t row : order) {
            ASSERT_EQ(model_.RecordAt(static_cast<int>(row)).get(), naive[row]);
            ASSERT_EQ(model_.FindRow(naive[row]), static_cast<int>(row)) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace tarvik
