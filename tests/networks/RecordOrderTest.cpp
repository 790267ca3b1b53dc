#include "networks/RecordOrder.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>

#include "tests/networks/ColumnsTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

class RecordOrderTest : public ::testing::Test {
  protected:
    int Compare(CBssid& a, CBssid& b, int column, bool ascending = true) {
        return CompareRecords(a, b, NetworkSortState{column, ascending}, env.Context());
    }
    // The records sorted by `column` with SortRecords, as their SSIDs.
    std::vector<std::string> SortedSsids(const std::vector<std::unique_ptr<CBssid>>& records,
                                         int column, bool ascending = true) {
        std::vector<CBssid*> order;
        for (const auto& record : records) order.push_back(record.get());
        SortRecords(order, NetworkSortState{column, ascending}, env.Context());
        std::vector<std::string> ssids;
        for (CBssid* record : order) ssids.push_back(SsidText(*record));
        return ssids;
    }
    static std::unique_ptr<CBssid> Named(const char* ssid, std::int32_t rssi = -50) {
        ndis::BssidEntryFields fields = Fields(0x01, rssi);
        fields.SetSsid(ssid);
        return Record(fields);
    }
    ColumnEnvironment env;
};

// A left click on the sort column flips it, on another column sorts that one
// ascending; other buttons do nothing. Signal sorts strongest first.
TEST_F(RecordOrderTest, HeaderClicksChooseAndFlipTheSort) {
    NetworkSortState state;
    EXPECT_EQ(state.column, COLUMN_STATUS);
    EXPECT_TRUE(state.ascending);
    using enum HeaderMouseButton;
    const std::tuple<int, HeaderMouseButton, bool, int, bool> clicks[] = {
        {COLUMN_SIGNAL, Left, true, COLUMN_SIGNAL, true},
        {COLUMN_SIGNAL, Left, true, COLUMN_SIGNAL, false},
        {COLUMN_SSID, Right, false, COLUMN_SIGNAL, false},
        {COLUMN_SSID, Middle, false, COLUMN_SIGNAL, false},
        {COLUMN_SSID, Left, true, COLUMN_SSID, true},
        {COLUMN_SIGNAL, Left, true, COLUMN_SIGNAL, true}};
    for (const auto& [column, button, sorts, sortColumn, ascending] : clicks) {
        EXPECT_EQ(ApplyHeaderClick(state, column, button), sorts);
        EXPECT_EQ(state.column, sortColumn);
        EXPECT_EQ(state.ascending, ascending);
    }
    std::vector<std::unique_ptr<CBssid>> records;
    for (const auto& [ssid, rssi] : {std::pair{"weak", -80},
                                     {"strong", -40},
                                     {"extreme", std::numeric_limits<std::int32_t>::max()},
                                     {"floor", std::numeric_limits<std::int32_t>::min()}}) {
        records.push_back(Named(ssid, rssi));
    }
    const std::vector<std::string> bySignal = {"extreme", "strong", "weak", "floor"};
    EXPECT_EQ(SortedSsids(records, COLUMN_SIGNAL), bySignal);
    EXPECT_EQ(SortedSsids(records, COLUMN_SIGNAL, false),
              std::vector<std::string>(bySignal.rbegin(), bySignal.rend()));
}

TEST_F(RecordOrderTest, TextColumnsCompareWithOrWithoutCase) {
    auto lower = Named("alpha");
    auto upper = Named("ALPHA");
    auto beta = Named("Beta");
    auto under = Named("_x");  // '_' lies between the upper- and lower-case letters
    EXPECT_EQ(Compare(*lower, *upper, COLUMN_SSID), 0);
    EXPECT_EQ(Compare(*lower, *beta, COLUMN_SSID), -1);
    EXPECT_EQ(Compare(*beta, *upper, COLUMN_SSID), 1);
    EXPECT_EQ(Compare(*under, *lower, COLUMN_SSID), -1);
    EXPECT_EQ(Compare(*lower, *Named("alphabet"), COLUMN_SSID), -1);
    // Texts alike in their first eight letters are told apart by the rest.
    std::vector<std::unique_ptr<CBssid>> records;
    for (const char* ssid : {"network-B", "NETWORK-c", "Network-a"}) records.push_back(Named(ssid));
    EXPECT_EQ(SortedSsids(records, COLUMN_SSID),
              (std::vector<std::string>{"Network-a", "network-B", "NETWORK-c"}));
    // Case-sensitive columns: "WEP" (privacy, no element) after "None" (open).
    auto open = Record(Fields(0x01, -50, 0));
    auto wep = Record(Fields(0x02, -50, 1));
    EXPECT_EQ(Compare(*open, *wep, COLUMN_PAIRWISE_CIPHERS), -1);
    EXPECT_EQ(Compare(*open, *wep, COLUMN_KEY_MANAGEMENT), -1);  // "None" < "Not known"
    EXPECT_EQ(Compare(*wep, *wep, COLUMN_LATITUDE), 0);
}

// Speed, frequency and beacon sort as their texts, the rest as numbers.
TEST_F(RecordOrderTest, ColumnsCompareAsNumbersOrAsText) {
    ndis::BssidEntryFields slow = Fields(0x01, -40);
    slow.configuration.beaconPeriod = 20;
    slow.supportedRates = {0x16};  // 11 Mbps
    slow.configuration.dsConfig = 5180000;
    ndis::BssidEntryFields fast = Fields(0x02, -40);
    fast.configuration.beaconPeriod = 100;
    fast.supportedRates = {0x6c};  // 54 Mbps
    fast.configuration.dsConfig = 24370;
    auto a = Record(slow, 3);
    auto b = Record(fast, 9);
    Update(*a, slow, kRecordTime - 5);
    b->SetNotSuitableForHopping(true);  // scores 0; a, 6 scans old, scores 85
    env.scanCounter = 9;
    const std::pair<int, int> cases[] = {
        {COLUMN_HITS, -1},       // 3 before 9
        {COLUMN_SCORE, 1},       // 85 after 0
        {COLUMN_FIRST_SEEN, 0},  // both first seen at kRecordTime
        {COLUMN_LAST_SEEN, -1},  // a's last sighting is earlier
        {COLUMN_OUI, 0},         // same first three bytes
        {COLUMN_AVERAGE_RSSI, 0}, {kNetworkColumnCount, 0}, {-3, 0},
        {COLUMN_BEACON, 1},  // "20 ms" after "100 ms"
        {COLUMN_SPEED, -1},  // "11 Mbps" before "54 Mbps"
        {COLUMN_FREQUENCY, 1}};
    for (const auto& [column, expected] : cases) {
        EXPECT_EQ(Compare(*a, *b, column), expected) << column;
        EXPECT_EQ(Compare(*a, *b, column, false), -expected) << column;
    }
    EXPECT_EQ(b->TextCache().texts[COLUMN_FREQUENCY], "2.437 Ghz (6)");  // comparing caches
    // Hits far apart do not wrap into the wrong sign.
    a->SetLastSeenScan(0);
    b->SetLastSeenScan(0xF0000000);
    EXPECT_EQ(Compare(*a, *b, COLUMN_HITS), -1);
}

TEST_F(RecordOrderTest, ByteWiseColumnsKeepTheirQuirks) {
    ndis::BssidEntryFields low = Fields(0x01, -50);
    low.macAddress = {0x00, 0x0c, 0x41, 0, 0, 1};
    low.configuration.atimWindow = 256;
    low.configuration.fh = {1, 0, 5};
    ndis::BssidEntryFields high = Fields(0x02, -60);
    high.macAddress = {0x00, 0x0d, 0x00, 0, 0, 1};
    high.configuration.atimWindow = 1;
    high.configuration.fh = {2, 0, 4};
    auto a = Record(low);
    auto b = Record(high);
    CBssid empty;  // rssiMin 0, rssiMax -200, average 0
    ndis::BssidEntryFields channel11 = Fields(0x03);
    channel11.configuration.dsConfig = 2462000;
    auto c = Record(channel11);
    const std::tuple<CBssid*, CBssid*, int, int> cases[] = {
        {a.get(), b.get(), COLUMN_ATIM_WINDOW, -1},  // 256 before 1
        {a.get(), b.get(), COLUMN_HOP_PATTERN, -1}, {a.get(), b.get(), COLUMN_HOP_SET, 0},
        {a.get(), b.get(), COLUMN_DWELL_TIME, 1},   {a.get(), b.get(), COLUMN_OUI, -1},
        {b.get(), a.get(), COLUMN_BEST_RSSI, -1},  // -60 before -50
        {&empty, a.get(), COLUMN_BEST_RSSI, -1},   // 0 before -50
        {a.get(), &empty, COLUMN_LOWEST_RSSI, 1},  // -50 (CE ..) after -200 (38 ..)
        {&empty, a.get(), COLUMN_OUI, -1},         // no entry reads as 00:00:00
        {a.get(), c.get(), COLUMN_CHANNEL, -1}};   // 6 before 11, from the entry
    for (const auto& [x, y, column, expected] : cases) {
        EXPECT_EQ(Compare(*x, *y, column), expected) << kNetworkColumns[column].title;
    }
    EXPECT_EQ(c->TextCache().channel, 0u);  // the sort needs no painted text and stores none
}

}  // namespace
}  // namespace tarvik
