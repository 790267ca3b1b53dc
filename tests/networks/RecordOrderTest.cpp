#include "networks/RecordOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <tuple>

#include "tests/networks/ColumnsTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

TEST(ByteWiseTest, ComparesLeastSignificantByteFirst) {
    const std::tuple<std::int32_t, std::int32_t, int> cases[] = {
        {1, 1, 0},     {1, 6, -1},
        {6, 1, 1},     {-60, -50, -1},  // agrees with numeric order within -256..-1
        {-1, -256, 1}, {256, 1, -1},    // 00 01 .. before 01 00 ..
        {0, -50, -1},                   // 0 before -50
        {-50, 5, 1},   {0x01000000, 0x02000000, -1},
        {255, 0, 1}};
    for (const auto& [a, b, expected] : cases) {
        EXPECT_EQ(CompareByteWise(a, b), expected) << a << " vs " << b;
    }
}

class RecordOrderTest : public ::testing::Test {
  protected:
    int Compare(CBssid& a, CBssid& b, int column, bool ascending = true) {
        return CompareRecords(a, b, NetworkSortState{column, ascending}, env.Context());
    }
    // The records sorted by `column`, as their SSIDs.
    std::vector<std::string> SortedSsids(std::vector<std::unique_ptr<CBssid>>& records, int column,
                                         bool ascending = true) {
        std::stable_sort(records.begin(), records.end(), [&](const auto& a, const auto& b) {
            return Compare(*a, *b, column, ascending) < 0;
        });
        std::vector<std::string> ssids;
        for (const auto& record : records) ssids.push_back(SsidText(*record));
        return ssids;
    }
    static std::unique_ptr<CBssid> Named(const char* ssid, std::int32_t rssi = -50) {
        ndis::BssidEntryFields fields = Fields(0x01, rssi);
        fields.SetSsid(ssid);
        return Record(fields);
    }
    ScopedTimeZone utc{"UTC"};
    ColumnEnvironment env;
};

// Signal sorts strongest first. A left click on the sort column flips it,
// on another column sorts that one ascending; other buttons do nothing.
TEST_F(RecordOrderTest, HeaderClicksChooseAndFlipTheSort) {
    std::vector<std::unique_ptr<CBssid>> records;
    for (const auto& [ssid, rssi] : {std::pair{"weak", -80},
                                     {"strong", -40},
                                     {"middle", -60},
                                     {"extreme", std::numeric_limits<std::int32_t>::max()},
                                     {"floor", std::numeric_limits<std::int32_t>::min()}}) {
        records.push_back(Named(ssid, rssi));
    }
    NetworkSortState state;
    EXPECT_EQ(state.column, COLUMN_STATUS);
    EXPECT_TRUE(state.ascending);
    using enum HeaderMouseButton;
    using Ssids = std::vector<std::string>;
    const Ssids bySignal = {"extreme", "strong", "middle", "weak", "floor"};
    const Ssids bySsid = {"extreme", "floor", "middle", "strong", "weak"};
    const Ssids signalReversed(bySignal.rbegin(), bySignal.rend());
    const std::tuple<int, HeaderMouseButton, bool, Ssids> clicks[] = {
        {COLUMN_SIGNAL, Left, true, bySignal},
        {COLUMN_SIGNAL, Left, true, signalReversed},
        {COLUMN_SSID, Right, false, signalReversed},
        {COLUMN_SIGNAL, Middle, false, signalReversed},
        {COLUMN_SSID, Left, true, bySsid},
        {COLUMN_SSID, Left, true, Ssids(bySsid.rbegin(), bySsid.rend())},
        {COLUMN_SIGNAL, Left, true, bySignal}};
    for (const auto& [column, button, sorts, expected] : clicks) {
        EXPECT_EQ(ApplyHeaderClick(state, column, button), sorts);
        EXPECT_EQ(SortedSsids(records, state.column, state.ascending), expected);
    }
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
    EXPECT_EQ(Compare(*lower, *beta, COLUMN_SSID, false), 1);
    EXPECT_EQ(Compare(*lower, *Named("alphabet"), COLUMN_SSID), -1);
    // Case-sensitive columns: "WEP" (privacy, no element) after "None" (open).
    auto open = Record(Fields(0x01, -50, 0));
    auto wep = Record(Fields(0x02, -50, 1));
    EXPECT_EQ(Compare(*open, *wep, COLUMN_PAIRWISE_CIPHERS), -1);
    EXPECT_EQ(Compare(*open, *wep, COLUMN_KEY_MANAGEMENT), -1);  // "None" < "Not known"
    EXPECT_EQ(Compare(*wep, *wep, COLUMN_LATITUDE), 0);
}

TEST_F(RecordOrderTest, SpeedFrequencyAndBeaconSortAsText) {
    ndis::BssidEntryFields slow = Fields(0x01);
    slow.configuration.beaconPeriod = 20;
    slow.supportedRates = {0x16};  // 11 Mbps
    slow.configuration.dsConfig = 5180000;
    ndis::BssidEntryFields fast = Fields(0x02);
    fast.configuration.beaconPeriod = 100;
    fast.supportedRates = {0x6c};  // 54 Mbps
    fast.configuration.dsConfig = 24370;
    auto a = Record(slow);
    auto b = Record(fast);
    EXPECT_EQ(Compare(*b, *a, COLUMN_BEACON), -1);  // "100 ms" before "20 ms"
    EXPECT_EQ(Compare(*a, *b, COLUMN_SPEED), -1);   // "11 Mbps" before "54 Mbps"
    EXPECT_EQ(Compare(*b, *a, COLUMN_FREQUENCY), -1);
    // Comparing rebuilds both records' caches.
    EXPECT_EQ(a->TextCache().texts[COLUMN_BEACON], "20 ms");
    EXPECT_EQ(b->TextCache().texts[COLUMN_FREQUENCY], "2.437 Ghz (6)");
}

TEST_F(RecordOrderTest, NumericColumns) {
    auto a = Record(Fields(0x01, -40), 3);
    auto b = Record(Fields(0x02, -40), 9);
    Update(*a, Fields(0x01, -40), kRecordTime - 5);
    b->SetNotSuitableForHopping(true);  // scores 0; a, 6 scans old, scores 85
    env.scanCounter = 9;
    const std::pair<int, int> cases[] = {
        {COLUMN_HITS, -1},       // 3 before 9
        {COLUMN_SCORE, 1},       // 85 after 0
        {COLUMN_FIRST_SEEN, 0},  // both first seen at kRecordTime
        {COLUMN_LAST_SEEN, -1},  // a's last sighting is earlier
        {COLUMN_OUI, 0},         // same first three bytes
        {COLUMN_AVERAGE_RSSI, 0}, {kNetworkColumnCount, 0}, {-3, 0}};
    for (const auto& [column, expected] : cases) {
        EXPECT_EQ(Compare(*a, *b, column), expected) << column;
        EXPECT_EQ(Compare(*a, *b, column, false), -expected) << column;
    }
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

TEST_F(RecordOrderTest, SortRecordsRefreshesTheSortColumn) {
    std::vector<std::unique_ptr<CBssid>> records;
    for (const char* ssid : {"b", "C", "a"}) records.push_back(Named(ssid));
    std::vector<CBssid*> order;
    for (const auto& record : records) order.push_back(record.get());
    SortRecords(order, NetworkSortState{COLUMN_SSID, true}, env.Context());
    std::vector<std::string> cached;
    for (CBssid* record : order) cached.push_back(record->TextCache().texts[COLUMN_SSID]);
    EXPECT_EQ(cached, (std::vector<std::string>{"a", "b", "C"}));
}

// SortRecords gives the order of a stable sort with CompareRecords, and that
// comparison is antisymmetric and consistent for every column.
TEST_F(RecordOrderTest, SortingHundredsOfRecordsByEveryColumnIsConsistent) {
    std::vector<std::unique_ptr<CBssid>> records;
    for (int i = 0; i < 300; ++i) {
        ndis::BssidEntryFields fields = Fields(static_cast<std::uint8_t>(i), -30 - (i * 7) % 70,
                                               static_cast<std::uint32_t>(i % 3));
        fields.macAddress[1] = static_cast<std::uint8_t>(i * 13);
        fields.SetSsid((i % 2 ? "Net" : "net") + std::to_string((i * 37) % 101) +
                       std::string(static_cast<std::size_t>(i % 11), i % 3 ? 'x' : 'X'));
        fields.configuration.atimWindow = static_cast<std::uint32_t>((i * 41) % 600) - 50;
        fields.configuration.fh.hopPattern = static_cast<std::uint32_t>(i) * 0x01010101u;
        fields.networkTypeInUse = static_cast<std::uint32_t>(i % 5);
        fields.configuration.dsConfig = 2412000 + 5000 * static_cast<std::uint32_t>(i % 13);
        records.push_back(Record(fields, static_cast<std::uint32_t>(i % 17)));
        records.back()->SetConnectionStatus(static_cast<std::uint32_t>(i % 8));
    }
    for (int i = 0; i < 3; ++i) records.push_back(std::make_unique<CBssid>());
    env.scanCounter = 17;
    for (int column = 0; column < kNetworkColumnCount; ++column) {
        for (bool ascending : {true, false}) {
            std::vector<CBssid*> order;
            for (const auto& record : records) order.push_back(record.get());
            std::stable_sort(order.begin(), order.end(), [&](CBssid* a, CBssid* b) {
                return Compare(*a, *b, column, ascending) < 0;
            });
            std::vector<CBssid*> sorted;
            for (const auto& record : records) sorted.push_back(record.get());
            SortRecords(sorted, NetworkSortState{column, ascending}, env.Context());
            ASSERT_EQ(sorted, order) << kNetworkColumns[column].title;
            for (std::size_t i = 1; i < order.size(); ++i) {
                ASSERT_LE(Compare(*order[i - 1], *order[i], column, ascending), 0)
                    << kNetworkColumns[column].title;
                ASSERT_EQ(Compare(*order[i - 1], *order[i], column, ascending),
                          -Compare(*order[i], *order[i - 1], column, ascending));
            }
        }
    }
}

}  // namespace
}  // namespace tarvik
