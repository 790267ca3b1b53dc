#include "networks/ScanCycle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>
#include <vector>

#include "core/ApplicationOptions.h"
#include "networks/MemoryNetworkTable.h"
#include "tests/networks/BssidTestSupport.h"
#include "tests/networks/ScanCycleSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

// (last MAC byte, RSSI) of each network in a list.
using Sighting = std::pair<std::uint8_t, std::int32_t>;

class ScanCycleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        networks_.SetClock([this] { return now_; });
        cycle_.SetChosenAdapter(&adapter_);
        cycle_.SetScanningButton(&button_);
        cycle_.SetFilter(&filter_);
    }
    void Scan(const std::vector<Sighting>& sightings, bool hard = false) {
        adapter_.nextList.clear();
        for (const auto& [last, rssi] : sightings) adapter_.nextList.push_back(Fields(last, rssi));
        cycle_.ScanNetworks(hard);
    }
    BssidRecord RecordOf(std::uint8_t last) const {
        return networks_.FindByMac(Fields(last).macAddress);
    }
    std::vector<int> RowOrder() const {
        std::vector<int> order;
        for (std::size_t row = 0; row < table_.RowCount(); ++row) {
            order.push_back(table_.Record(static_cast<int>(row))->Entry()->GetMacAddress()[5]);
        }
        return order;
    }
    void HideAfter(std::int32_t scans, bool purge) {
        options_.RemoveUndetectedAccessPoints = 1;
        options_.TimeBeforeClearingNotDetectedAccessPoints = scans;
        options_.ClearingAccessPointsHard = purge ? 1 : 0;
    }
    CApplicationOptions options_{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks_;
    CMemoryNetworkTable table_;
    FakeColumns columns_;
    FakeScanSource adapter_;
    FakeFilter filter_;
    FakeButton button_;
    CScanCycle cycle_{networks_, options_, table_, columns_};
    std::int32_t now_ = 1000;
};

TEST_F(ScanCycleTest, StatusRefreshWritesEveryColumnAndSorts) {
    Scan({{3, -40}, {1, -40}, {2, -40}});
    EXPECT_EQ(table_.RowCount(), 0u);  // scanning does not redraw
    cycle_.UpdateConnectionStatus();
    EXPECT_EQ(RowOrder(), (std::vector<int>{1, 2, 3}));
    const int row = table_.FindRow(RecordOf(2).get());
    EXPECT_EQ(table_.Text(row, kTableColumnSsid), "linksys");
    EXPECT_EQ(table_.Text(row, 5), "2/5/-40");
    EXPECT_EQ(table_.Text(row, kTableColumnScore), "85%");  // open, -40 dBm, just seen
    EXPECT_EQ(RecordOf(2)->ConnectionStatus(), STATUS_NOT_CONNECTED);
    EXPECT_EQ(cycle_.Counts(), (TableCounts{3, 0, 3}));
    EXPECT_EQ(filter_.shown.back(), (TableCounts{3, 0, 3}));
    // A list without items still ages every record; a hard refresh scans first.
    Scan({});
    EXPECT_EQ(networks_.AgeOf(*RecordOf(1)), 2u);
    Scan({{1, -50}}, true);
    EXPECT_EQ(adapter_.fetches, (std::vector<bool>{false, false, true}));
}

// The purge runs before the fetch, on the counter before this scan's list,
// and removes runs of stale records without skipping any.
TEST_F(ScanCycleTest, PurgeRemovesConsecutiveStaleRecordsAndTheirRows) {
    HideAfter(1, true);
    Scan({{1, -50}, {2, -50}, {3, -50}, {4, -50}, {5, -50}});
    cycle_.UpdateConnectionStatus();
    ASSERT_EQ(table_.RowCount(), 5u);
    Scan({{1, -50}, {4, -50}});  // every age is 1, equal to the limit: nothing goes
    EXPECT_EQ(networks_.Size(), 5u);
    Scan({{1, -50}, {4, -50}});  // 2, 3 and 5 are 2 scans old
    ASSERT_EQ(networks_.Size(), 2u);
    EXPECT_EQ(networks_.Records()[0], RecordOf(1));
    EXPECT_EQ(networks_.Records()[1], RecordOf(4));
    EXPECT_EQ(RowOrder(), (std::vector<int>{1, 4}));
    EXPECT_EQ(RecordOf(3), nullptr);
    EXPECT_EQ(networks_.AgeOf(*RecordOf(4)), 1u);
}

TEST_F(ScanCycleTest, ScanningOffFreezesAgesButThePurgeStillRuns) {
    HideAfter(3, true);
    Scan({{1, -50}});
    adapter_.scanning = false;
    for (int i = 0; i < 5; ++i) Scan({{2, -50}});
    EXPECT_EQ(adapter_.fetches.size(), 1u);
    EXPECT_EQ(networks_.ScanCounter(), 1u);
    EXPECT_EQ(networks_.Size(), 1u);
    networks_.SetScanCounter(10);  // as when a scan file is opened
    Scan({{2, -50}});
    EXPECT_TRUE(networks_.Empty());
    EXPECT_EQ(adapter_.fetches.size(), 1u);
}

TEST_F(ScanCycleTest, ShownRssiRangeOnlyWidens) {
    EXPECT_EQ(cycle_.RssiRange(), (ShownRssiRange{0, -190}));
    filter_.rejectedMacBytes = {4};
    Scan({{1, -40}, {2, -80}, {4, -20}});
    cycle_.UpdateConnectionStatus();
    EXPECT_EQ(cycle_.RssiRange(), (ShownRssiRange{-80, -40}));
    const std::uint32_t counter = networks_.ScanCounter();
    cycle_.ClearAllNetworks();
    EXPECT_TRUE(networks_.Empty());
    EXPECT_EQ(table_.RowCount(), 0u);
    EXPECT_EQ(networks_.ScanCounter(), counter);
    Scan({{3, -60}});
    cycle_.UpdateConnectionStatus();
    EXPECT_EQ(cycle_.RssiRange(), (ShownRssiRange{-80, -40}));
    EXPECT_EQ(RowOrder(), (std::vector<int>{3}));
}

TEST_F(ScanCycleTest, FailuresShowTheirStatusTextsAndChangeNothing) {
    StatusTexts status;
    Scan({{1, -50}});
    adapter_.fetchResult = RES_BSSID_LIST_FAILED;
    Scan({{1, -50}, {2, -50}});
    EXPECT_EQ(networks_.ScanCounter(), 1u);
    EXPECT_EQ(networks_.Size(), 1u);
    ASSERT_EQ(status.texts.size(), 1u);
    EXPECT_EQ(status.texts[0], "Could not perform wireless scanning using the selected adapter.");
    adapter_.statusResult = RES_CONNECTION_QUERY_FAILED;
    cycle_.UpdateConnectionStatus();
    EXPECT_EQ(table_.RowCount(), 0u);
    ASSERT_EQ(status.texts.size(), 2u);
    EXPECT_EQ(status.texts[1], "Could not query driver for connection information.");
}

// A connection in progress skips the status query; the button follows the
// scanning switch.
TEST_F(ScanCycleTest, ConnectionInProgressAndTheScanningButton) {
    std::atomic<bool> connecting{true};
    cycle_.SetConnectionInProgressFlag(&connecting);
    Scan({{1, -50}});
    cycle_.UpdateConnectionStatus();
    EXPECT_EQ(adapter_.statusRefreshes, 0);
    EXPECT_EQ(table_.RowCount(), 1u);
    connecting = false;
    cycle_.UpdateConnectionStatus();
    EXPECT_EQ(adapter_.statusRefreshes, 1);
    cycle_.ToggleScanning();
    cycle_.ToggleScanning();
    EXPECT_TRUE(adapter_.scanning);
    cycle_.StopScanning();
    EXPECT_FALSE(adapter_.scanning);
    EXPECT_EQ(button_.texts,
              (std::vector<std::string>{"Start Scanning", "Stop Scanning", "Start Scanning"}));
}

}  // namespace
}  // namespace tarvik
