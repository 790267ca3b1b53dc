#include "networks/NetworkColumns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>
#include <thread>
#include <tuple>

#include "networks/ColumnIds.h"
#include "networks/CoordinateText.h"
#include "platform/RegistryStore.h"
#include "tests/core/TempFolder.h"
#include "tests/networks/ColumnsTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

// WPA elements: pairwise {WEP-40, TKIP}; pairwise {NONE} only.
const Bytes kWpaWep40Tkip = Hex("dd1a0050f20101000050f20202000050f2010050f20201000050f202");
const Bytes kWpaNoneOnly = Hex("dd160050f20101000050f20201000050f20001000050f202");

class ColumnsTest : public ::testing::Test {
  protected:
    std::string Text(CBssid& record, int column) {
        return ColumnText(record, column, env.Context());
    }
    ScopedTimeZone utc{"UTC"};
    ColumnEnvironment env;
};

TEST_F(ColumnsTest, SsidText) {
    const std::string full32(32, 'x');
    const struct {
        std::uint32_t length;
        std::string bytes, expected;
    } cases[] = {{32, full32, full32},
                 {0, "hidden", ""},
                 {33, full32, ""},  // above 32: nothing
                 {8, std::string("ab\0cdefg", 8), "ab"},
                 {3, "linksys", "lin"}};
    for (const auto& c : cases) {
        ndis::BssidEntryFields fields = Fields();
        fields.ssid = {};
        std::copy(c.bytes.begin(), c.bytes.end(), fields.ssid.begin());
        fields.ssidLength = c.length;
        auto record = Record(fields);
        EXPECT_EQ(Text(*record, COLUMN_SSID), c.expected) << c.length;
        EXPECT_EQ(SsidText(*record), c.expected) << c.length;
    }
}

TEST_F(ColumnsTest, SignalTextInDbmOrPercent) {
    const std::tuple<std::int32_t, std::int32_t, const char*> cases[] = {
        {1, -57, "-57 dBm"}, {2, -57, "72%"},    // 100 + trunc(-28.5)
        {0, -40, "80%"},     {2, -250, "-25%"},  // not clamped
        {2, 20, "110%"},     {2, std::numeric_limits<std::int32_t>::min(), "-1073741724%"}};
    for (const auto& [setting, dbm, expected] : cases) {
        env.options.UseDbmOrPercentage = setting;
        EXPECT_EQ(SignalText(dbm, env.options), expected) << setting << " " << dbm;
        EXPECT_EQ(Text(*Record(Fields(0x01, dbm)), COLUMN_SIGNAL), expected);
    }
}

TEST_F(ColumnsTest, SpeedFromTheHighestRate) {
    const struct {
        std::vector<std::uint8_t> rates;
        const char* expected;
        std::uint32_t maxRate;
    } cases[] = {{{0xec}, "54 Mbps", 108},  // basic-rate bit masked
                 {{0x82, 0x84, 0x0b}, "5 Mbps", 11},
                 {{0x00, 0x6c}, "0 Mbps", 0},        // empty list
                 {{0x02, 0x00, 0x6c}, "1 Mbps", 2},  // a zero byte ends the list
                 {{2, 4, 11, 12, 2, 4, 11, 12, 2, 4, 11, 12, 2, 4, 11, 0x90}, "8 Mbps", 16}};
    for (const auto& c : cases) {
        ndis::BssidEntryFields fields = Fields();
        fields.supportedRates = {};
        std::copy(c.rates.begin(), c.rates.end(), fields.supportedRates.begin());
        auto record = Record(fields);
        EXPECT_EQ(Text(*record, COLUMN_SPEED), c.expected) << c.maxRate;
        EXPECT_EQ(record->TextCache().maxRate, c.maxRate);
    }
}

// One record seen again and again; an unknown network type keeps the
// channel computed before (0 when there was none).
TEST_F(ColumnsTest, FrequencyAndChannel) {
    using ndis::Ndis802_11DS, ndis::Ndis802_11OFDM5;
    const std::tuple<std::uint32_t, std::uint32_t, const char*, const char*> cases[] = {
        {2437000, 7, "2.437 Ghz (0)", "0"},
        {2412000, Ndis802_11DS, "2.412 Ghz (1)", "1"},
        {2437000, Ndis802_11DS, "2.437 Ghz (6)", "6"},
        {2412000, 7, "2.412 Ghz (6)", "6"},
        {2462000, ndis::Ndis802_11OFDM24, "2.462 Ghz (11)", "11"},
        {2484000, Ndis802_11DS, "2.484 Ghz (15)", "15"},  // no case for 2484 MHz
        {5180000, Ndis802_11OFDM5, "5.180 Ghz (36)", "36"},
        {5745000, Ndis802_11OFDM5, "5.745 Ghz (148)", "148"},    // 149 reads one lower
        {24370, Ndis802_11DS, "2.437 Ghz (6)", "6"},             // 100 kHz units
        {999999, Ndis802_11DS, "100.000 Ghz (19518)", "19518"},  // still 100 kHz units
        // Below the band: the unsigned arithmetic wraps, printed as "%d".
        {2407000, Ndis802_11DS, "2.407 Ghz (858993459)", "858993459"}};
    std::unique_ptr<CBssid> record;
    for (const auto& [dsConfig, type, frequency, channel] : cases) {
        ndis::BssidEntryFields fields = Fields();
        fields.configuration.dsConfig = dsConfig;
        fields.networkTypeInUse = type;
        record ? Update(*record, fields) : void(record = Record(fields));
        EXPECT_EQ(Text(*record, COLUMN_FREQUENCY), frequency) << dsConfig;
        EXPECT_EQ(Text(*record, COLUMN_CHANNEL), channel) << dsConfig;
        EXPECT_EQ(std::to_string(record->TextCache().channel), channel);
    }
}

TEST(ColumnSetTextTest, CipherAndKeyManagementSets) {
    const std::tuple<std::uint32_t, const char*, const char*> cases[] = {
        {0, "", ""},
        {1, "None", "IEEE 802.1X/EAP"},
        {2, "WEP-40", "PSK"},
        {4, "WEP-104", "None"},
        {8, "TKIP", "IEEE 802.1X"},
        {16, "CCMP", ""},  // WPA-None adds nothing
        {31, "None, WEP-40, WEP-104, TKIP, CCMP", "IEEE 802.1X/EAP, PSK, None, IEEE 802.1X"},
        {2 | 16 | 32, "WEP-40, CCMP", "PSK"}};
    for (const auto& [flags, ciphers, keyManagement] : cases) {
        EXPECT_EQ(CipherSetText(flags), ciphers) << flags;
        EXPECT_EQ(KeyManagementSetText(flags), keyManagement) << flags;
    }
}

// Encryption: the last applicable rule wins; where none applies (pairwise
// NONE only, a privacy value other than 0 or 1) the earlier text stays.
TEST_F(ColumnsTest, SecurityColumns) {
    const struct {
        std::uint32_t privacy;
        std::vector<Bytes> elements;
        const char *encryption, *pairwise, *group, *keyManagement;
    } rows[] = {{0, {}, "None", "None", "None", "None"},
                {1, {}, "WEP", "WEP", "WEP", "Not known"},  // privacy without an element
                {1, {kWpaWep40Tkip}, "WPA", "WEP-40, TKIP", "TKIP", "PSK"},  // WPA replaces WEP
                {1, {kRsnPskCcmp}, "WPA2", "CCMP", "CCMP", "PSK"},
                {0, {kWpaPskTkip}, "None", "TKIP", "TKIP", "PSK"},  // open with an element
                {1, {kWpaNoneOnly}, "", "None", "TKIP", "PSK"},
                {3, {}, "", "Unknown", "Unknown", ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pairwise);
        auto record = Record(WithElements(Fields(0x01, -50, row.privacy), row.elements));
        EXPECT_EQ(Text(*record, COLUMN_ENCRYPTION), row.encryption);
        EXPECT_EQ(Text(*record, COLUMN_PAIRWISE_CIPHERS), row.pairwise);
        EXPECT_EQ(Text(*record, COLUMN_GROUP_CIPHERS), row.group);
        EXPECT_EQ(Text(*record, COLUMN_KEY_MANAGEMENT), row.keyManagement);
        EXPECT_EQ(KeyManagementText(*record), row.keyManagement);
    }
    auto record = Record(WithElements(Fields(0x01, -50, 1), {kWpaPskTkip}));
    EXPECT_EQ(Text(*record, COLUMN_ENCRYPTION), "WPA");
    EXPECT_EQ(Text(*record, COLUMN_KEY_MANAGEMENT), "PSK");
    Update(*record, WithElements(Fields(0x01, -50, 1), {kWpaNoneOnly}));
    EXPECT_EQ(Text(*record, COLUMN_ENCRYPTION), "WPA");
    Update(*record, Fields(0x01, -50, 3));
    EXPECT_EQ(Text(*record, COLUMN_KEY_MANAGEMENT), "PSK");
}

TEST_F(ColumnsTest, StatusTextWithTheAddressList) {
    env.addresses = {"192.168.1.5", "10.0.0.2"};
    const std::pair<std::uint32_t, const char*> cases[] = {
        {STATUS_CONNECTING, "Connecting..."},
        {STATUS_CONNECTED, "Connected, 192.168.1.5, 10.0.0.2"},
        {STATUS_CONNECTED_MANUAL, "Connected, 192.168.1.5, 10.0.0.2 (Manual)"},
        {STATUS_CONNECTED_INVALID_IP, "Connected, Invalid IP"},
        {STATUS_DISCONNECTING, "Disconnecting"},
        {STATUS_NOT_CONNECTED, "Not Connected"},
        {STATUS_NOT_DETECTED, "Not Detected"},
        {8, "Unknown"}};
    auto record = Record(Fields());
    for (const auto& [status, expected] : cases) {
        record->SetConnectionStatus(status);
        EXPECT_EQ(Text(*record, COLUMN_STATUS), expected) << status;
    }
    env.addresses = {"192.168.1.5"};
    record->SetConnectionStatus(STATUS_CONNECTED);
    EXPECT_EQ(Text(*record, COLUMN_STATUS), "Connected, 192.168.1.5");
    env.addresses.clear();
    EXPECT_EQ(Text(*record, COLUMN_STATUS), "Connected, ");
}

TEST_F(ColumnsTest, ModePhyAndType) {
    const std::tuple<std::uint32_t, const char*, const char*, const char*> cases[] = {
        {0, "Ad Hoc", "FH", "802.11b"},
        {1, "Infrastructure", "DS", "802.11b"},
        {2, "Auto", "OFDM5", "802.11a"},
        {3, "Unknown", "OFDM", "802.11g"},
        {4, "Unknown", "Unknown", "802.11g"}};  // the type keeps the previous text
    auto record = Record(Fields());
    for (const auto& [value, mode, phy, type] : cases) {
        ndis::BssidEntryFields fields = Fields();
        fields.infrastructureMode = value;
        fields.networkTypeInUse = value;
        Update(*record, fields);
        EXPECT_EQ(Text(*record, COLUMN_MODE), mode) << value;
        EXPECT_EQ(Text(*record, COLUMN_PHY), phy) << value;
        EXPECT_EQ(Text(*record, COLUMN_TYPE), type) << value;
    }
}

TEST_F(ColumnsTest, NumbersOfTheEntryAndRecord) {
    ndis::BssidEntryFields fields = Fields(0x5f, -40);
    fields.macAddress = {0x00, 0x0C, 0xAB, 0x82, 0xb2, 0x5f};
    fields.configuration.beaconPeriod = 100;
    fields.configuration.atimWindow = 3;
    fields.configuration.fh = {7, 2, 0xFFFFFFFF};
    auto record = Record(fields, 42);
    env.scanCounter = 42;
    const std::pair<int, const char*> cases[] = {
        {COLUMN_MAC_ADDRESS, "00:0c:ab:82:b2:5f"},
        {COLUMN_OUI, "000cab"},
        {COLUMN_HITS, "42"},
        {COLUMN_SCORE, "85%"},
        {COLUMN_BEACON, "100 ms"},
        {COLUMN_ATIM_WINDOW, "3 ms"},
        {COLUMN_HOP_PATTERN, "7"},
        {COLUMN_HOP_SET, "2"},
        {COLUMN_DWELL_TIME, "-1 ms"}  // "%d" of a 32-bit field
    };
    for (const auto& [column, expected] : cases) {
        EXPECT_EQ(Text(*record, column), expected) << kNetworkColumns[column].title;
    }
    record->SetLastSeenScan(0xFFFFFFFF);
    EXPECT_EQ(Text(*record, COLUMN_HITS), "-1");
    EXPECT_EQ(Text(*record, COLUMN_SCORE), "0%");
}

TEST_F(ColumnsTest, TimeTextInLocalTime) {
    const std::pair<std::int32_t, const char*> utcCases[] = {
        {0, "Thu Jan 01 00:00:00 1970"},
        {-1, "Wed Dec 31 23:59:59 1969"},
        {std::numeric_limits<std::int32_t>::max(), "Tue Jan 19 03:14:07 2038"},
        {std::numeric_limits<std::int32_t>::min(), "Fri Dec 13 20:45:52 1901"}};
    for (const auto& [time, expected] : utcCases) {
        EXPECT_EQ(RecordTimeText(time), expected) << time;
    }
    auto record = Record(Fields());
    Update(*record, Fields(), 0);
    EXPECT_EQ(Text(*record, COLUMN_FIRST_SEEN), "Tue Nov 14 22:13:20 2023");
    EXPECT_EQ(Text(*record, COLUMN_LAST_SEEN), "Thu Jan 01 00:00:00 1970");
    ScopedTimeZone cet("CET-1");
    EXPECT_EQ(Text(*record, COLUMN_FIRST_SEEN), "Tue Nov 14 23:13:20 2023");
}

TEST_F(ColumnsTest, CoordinatesOfThePositionAtTheWeakestSignal) {
    auto record = Record(Fields());
    PositionSnapshot position;  // latitude and longitude at 32 and 40, little-endian
    const double coordinates[] = {-33.5, 151.2075};
    std::memcpy(&position.fix[32], coordinates, sizeof coordinates);
    record->SetPositionAtMinRssi(position);
    const std::tuple<std::int32_t, const char*, const char*> cases[] = {
        {0, " 33.500000 S", "151.207500 E"},
        {1, " 33 30.0000' S", "151 12.4500' E"},
        {2, " 33 30' 00.000\" S", "151 12' 27.000\" E"}};
    for (const auto& [format, latitude, longitude] : cases) {
        env.options.GpsAngleFormat = format;
        EXPECT_EQ(Text(*record, COLUMN_LATITUDE), latitude) << format;
        EXPECT_EQ(Text(*record, COLUMN_LONGITUDE), longitude) << format;
    }
}

TEST(CoordinateTextTest, OutOfRangeValuesReadNan) {
    const double kNan = std::numeric_limits<double>::quiet_NaN();
    const std::tuple<double, bool, std::int32_t, const char*> cases[] = {
        {kNan, true, 0, "nan N"},
        {-400.0, false, 1, "nan W"},
        {std::numeric_limits<double>::infinity(), false, 2, "nan E"},
        {360.0, false, 0, "360.000000 E"},
        {10.9999999, true, 0, " 10.999999 N"},  // truncated, not rounded
        {-0.25, true, 2, "  0 15' 00.000\" S"}};
    for (const auto& [value, latitude, format, expected] : cases) {
        std::string text;
        FormatCoordinate(value, latitude, format, text);
        EXPECT_EQ(text, expected) << value;
    }
}

class VendorTest : public ColumnsTest {
  protected:
    void StoreVendor(const std::string& name, const std::string& vendor) {
        ASSERT_TRUE(store.WriteString(SectionKey(), name, vendor));
        env.vendors.Reload(store, SectionKey());
    }
    std::string SectionKey() const { return env.options.SectionKey(kOuiLookupSection); }
    TempFolder folder;
    RegistryStore store{folder.Path() / "user.reg", "HKEY_CURRENT_USER"};
};

TEST_F(VendorTest, PlaceholdersStoredVendorsAndTheCache) {
    auto record = Record(Fields());  // OUI 000c41
    EXPECT_EQ(Text(*record, COLUMN_VENDOR), "Lookup OUI?");
    EXPECT_EQ(record->VendorText(), "Lookup OUI?");
    EXPECT_TRUE(NeedsOuiLookup(*record, env.Context()));
    // A failed lookup's text survives the next refresh.
    record->SetVendorText("Error. Try again?");
    EXPECT_EQ(Text(*record, COLUMN_VENDOR), "Error. Try again?");
    EXPECT_TRUE(NeedsOuiLookup(*record, env.Context()));
    StoreVendor("000c41", "Cisco-Linksys");
    EXPECT_EQ(Text(*record, COLUMN_VENDOR), "Cisco-Linksys");
    EXPECT_FALSE(NeedsOuiLookup(*record, env.Context()));
    EXPECT_EQ(record->VendorText(), "Cisco-Linksys");
    // Ad hoc networks are never looked up.
    ndis::BssidEntryFields fields = Fields();
    fields.infrastructureMode = ndis::Ndis802_11IBSS;
    auto adHoc = Record(fields);
    adHoc->SetVendorText("Error. Try again?");
    EXPECT_EQ(Text(*adHoc, COLUMN_VENDOR), "Not Known (Ad Hoc)");
    EXPECT_FALSE(NeedsOuiLookup(*adHoc, env.Context()));
    // Only six-hex-digit names with string values are vendors.
    ASSERT_TRUE(store.WriteString(SectionKey(), "000C41", "Upper Case Name"));
    ASSERT_TRUE(store.WriteString(SectionKey(), "00c41", "Too Short"));
    ASSERT_TRUE(store.WriteString(SectionKey(), "00zz41", "Not Hex"));
    ASSERT_TRUE(store.WriteDword(SectionKey(), "001122", 5));
    env.vendors.Reload(store, SectionKey());
    EXPECT_EQ(env.vendors.Size(), 1u);
    EXPECT_EQ(env.vendors.Find({0x00, 0x0c, 0x41, 1, 2, 3}), "Upper Case Name");
    EXPECT_EQ(env.vendors.Find({0x00, 0x11, 0x22, 1, 2, 3}), std::nullopt);
    ASSERT_TRUE(store.DeleteValue(SectionKey(), "000C41"));
    env.vendors.Reload(store, SectionKey());
    EXPECT_EQ(env.vendors.Size(), 0u);
}

// A failed lookup sets the text on its worker thread while the table
// refreshes; whatever the interleaving, the text is one of the two.
TEST_F(VendorTest, WorkerThreadSetsTheErrorTextDuringRefresh) {
    auto record = Record(Fields());
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) record->SetVendorText("Error. Try again?");
    });
    for (int i = 0; i < 2000; ++i) {
        const std::string text = Text(*record, COLUMN_VENDOR);
        ASSERT_TRUE(text == "Lookup OUI?" || text == "Error. Try again?") << text;
    }
    worker.join();
    EXPECT_EQ(Text(*record, COLUMN_VENDOR), "Error. Try again?");
}

// Without an entry every column reads its field's initial value.
TEST_F(ColumnsTest, RecordWithoutEntry) {
    CBssid record;
    const std::map<int, std::string> texts = {{COLUMN_STATUS, "Unavailable"},
                                              {COLUMN_HITS, "0"},
                                              {COLUMN_SCORE, "0%"},
                                              {COLUMN_BEST_RSSI, "0 dBm"},
                                              {COLUMN_LOWEST_RSSI, "-200 dBm"},
                                              {COLUMN_AVERAGE_RSSI, "0 dBm"},
                                              {COLUMN_FIRST_SEEN, "Thu Jan 01 00:00:00 1970"},
                                              {COLUMN_LAST_SEEN, "Thu Jan 01 00:00:00 1970"},
                                              {COLUMN_LATITUDE, "Not Available"},
                                              {COLUMN_LONGITUDE, "Not Available"}};
    for (int column = 0; column < kNetworkColumnCount; ++column) {
        const auto text = texts.find(column);
        EXPECT_EQ(Text(record, column), text == texts.end() ? "" : text->second)
            << kNetworkColumns[column].title;
    }
    EXPECT_FALSE(NeedsOuiLookup(record, env.Context()));
    EXPECT_EQ(Text(record, -1), "");
    EXPECT_EQ(Text(record, kNetworkColumnCount), "");
}

}  // namespace
}  // namespace tarvik
