// The Device Information texts of simulated cards, read twice through
// tarvik-driverd (the second read shows which texts a reply out of its list
// leaves standing), and the formatting of hostile replies.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <map>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "ndis/ByteOrder.h"

namespace tarvik::testing {
namespace {

const std::string kInfoCard = "\\DEVICE\\{AD000051-0000-4000-8000-000000000051}";
const std::string kIdleCard = "\\DEVICE\\{AD000052-0000-4000-8000-000000000052}";
const std::string kWiredCard = "\\DEVICE\\{AD000053-0000-4000-8000-000000000053}";

using Reads = std::array<std::array<std::string, DI_FIELD_COUNT>, 2>;

struct TextRow {
    const char* name;
    const std::string* card;
    DeviceInfoField field;
    const char* first;
    const char* second;  // null: the same as the first
};

void PrintTo(const TextRow& row, std::ostream* out) {
    *out << row.name;
}

const TextRow kTextRows[] = {
    {"Vendor", &kInfoCard, DI_VENDOR_DESCRIPTION, "Info Card", nullptr},
    {"Registry", &kInfoCard, DI_REGISTRY_DESCRIPTION, "Info Card", nullptr},
    {"DeviceId", &kInfoCard, DI_DEVICE_ID, kInfoCard.c_str(), nullptr},
    {"WirelessMedium", &kInfoCard, DI_PHYSICAL_MEDIUM, "Wireless LAN", nullptr},
    {"WiredMedium", &kWiredCard, DI_PHYSICAL_MEDIUM, "Non-WLAN", nullptr},
    {"LinkSpeed540000", &kInfoCard, DI_LINK_SPEED, "54 Mbps", nullptr},
    {"LinkSpeed55000", &kIdleCard, DI_LINK_SPEED, "5 Mbps", nullptr},
    {"WiredLinkSpeed", &kWiredCard, DI_LINK_SPEED, "100 Mbps", nullptr},
    {"Signal", &kInfoCard, DI_SIGNAL_STRENGTH, "-57 dBm", nullptr},
    {"SignalUnassociated", &kIdleCard, DI_SIGNAL_STRENGTH, "Not Supported", nullptr},
    {"CurrentMac", &kInfoCard, DI_CURRENT_ADDRESS, "02:13:e8:51:00:0a", nullptr},
    {"PermanentMac", &kInfoCard, DI_PERMANENT_ADDRESS, "00:13:e8:51:00:01", nullptr},
    {"NetworkTypes", &kInfoCard, DI_NETWORK_TYPES, "DS, OFDM", nullptr},
    {"NetworkTypesFhDs", &kIdleCard, DI_NETWORK_TYPES, "FH, DS", nullptr},
    {"NetworkTypesWired", &kWiredCard, DI_NETWORK_TYPES, "Not Supported", nullptr},
    {"IpAddress", &kInfoCard, DI_IP_ADDRESS, "10.5.1.7", nullptr},
    {"SubnetMask", &kInfoCard, DI_SUBNET_MASK, "255.255.0.0", nullptr},
    {"Gateway", &kInfoCard, DI_DEFAULT_GATEWAY, "10.5.0.1", nullptr},
    {"GatewayNone", &kIdleCard, DI_DEFAULT_GATEWAY, "None", nullptr},
    {"DnsServers", &kInfoCard, DI_DNS_SERVERS, "10.5.0.2, 10.5.0.3", nullptr},
    {"DnsNone", &kIdleCard, DI_DNS_SERVERS, "None", nullptr},
    {"TransmitPower", &kIdleCard, DI_TRANSMIT_POWER, "15 mW", nullptr},
    {"RssiTrigger", &kIdleCard, DI_RSSI_TRIGGER, "-85 dBm", nullptr},
    {"BestRate54", &kInfoCard, DI_BEST_RATE, "54 Mbps", nullptr},
    {"BestRate5Point5", &kIdleCard, DI_BEST_RATE, "5 Mbps", nullptr},
    {"BestRateWired", &kWiredCard, DI_BEST_RATE, "Not Supported", nullptr},
    {"DhcpOff", &kInfoCard, DI_DHCP_ENABLED, "No", nullptr},
    {"DhcpOn", &kWiredCard, DI_DHCP_ENABLED, "Yes", nullptr},
    {"LeaseNever", &kInfoCard, DI_LEASE_EXPIRES, "Never", nullptr},
    {"WinsNone", &kInfoCard, DI_WINS_SERVERS, "None", nullptr},
    {"MediaOutOfListKept", &kInfoCard, DI_MEDIA_STATE, "Connected", "Connected"},
    {"MediaDisconnected", &kIdleCard, DI_MEDIA_STATE, "Disconnected", nullptr},
    {"ModeOutOfListKept", &kIdleCard, DI_NETWORK_MODE, "Auto", "Auto"},
    {"ModeInfrastructure", &kInfoCard, DI_NETWORK_MODE, "Infrastructure", nullptr},
    {"ModeWired", &kWiredCard, DI_NETWORK_MODE, "Not Supported", nullptr},
    {"AuthOutOfListKept", &kIdleCard, DI_AUTHENTICATION_MODE, "WPA2-PSK", "WPA2-PSK"},
    {"AuthOpen", &kInfoCard, DI_AUTHENTICATION_MODE, "Open", nullptr},
    {"EncryptionOutOfListKept", &kIdleCard, DI_ENCRYPTION_STATUS, "Encryption 2 Key Absent",
     "Encryption 2 Key Absent"},
    {"EncryptionDisabled", &kInfoCard, DI_ENCRYPTION_STATUS, "Encryption Disabled", nullptr},
    {"Ssid", &kInfoCard, DI_SSID, "InfoNet", nullptr},
    {"SsidUnset", &kIdleCard, DI_SSID, "Not Set", nullptr},
    {"SsidWired", &kWiredCard, DI_SSID, "Not Supported", nullptr},
    {"Bssid", &kInfoCard, DI_BSSID, "00:18:39:51:00:01", nullptr},
    {"BssidUnassociated", &kIdleCard, DI_BSSID, "Not Set", nullptr},
    {"BssidWired", &kWiredCard, DI_BSSID, "Not Supported", nullptr},
};

class DeviceInfoText : public ::testing::TestWithParam<TextRow> {
  protected:
    // Every card read twice, once for the whole suite.
    static void SetUpTestSuite() {
        TempFolder folder;
        LogCapture log(folder.Path());
        DaemonProcess daemon(ScenarioPath("devinfo.json"));
        ASSERT_TRUE(daemon.ready());
        for (const std::string* card : {&kInfoCard, &kIdleCard, &kWiredCard}) {
            CAdapter adapter(*card, log.Settings());
            ASSERT_EQ(adapter.OpenChannel(), 0);
            Reads& reads = reads_[*card];
            for (auto& read : reads) {
                for (int field = 0; field < DI_FIELD_COUNT; ++field) {
                    read[field] = adapter.ReadDeviceInfoText(static_cast<DeviceInfoField>(field));
                }
            }
        }
    }
    static std::map<std::string, Reads> reads_;
};

std::map<std::string, Reads> DeviceInfoText::reads_;

TEST_P(DeviceInfoText, ReadThroughTheDriver) {
    const TextRow& row = GetParam();
    const Reads& reads = reads_.at(*row.card);
    EXPECT_EQ(reads[0][row.field], row.first);
    EXPECT_EQ(reads[1][row.field], row.second ? row.second : row.first);
}

INSTANTIATE_TEST_SUITE_P(Cards, DeviceInfoText, ::testing::ValuesIn(kTextRows),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<std::uint8_t> U32s(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t value : values) ndis::AppendLe32(bytes, value);
    return bytes;
}

// Replies the driver could send: counts and lengths beyond the reply, odd
// bytes, and times asctime cannot write.
TEST(DeviceInfoFormat, HostileRepliesStayWithinTheirBytes) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::vector<std::uint8_t> longSsid = U32s({4000000000u});
    longSsid.resize(4 + 40, 'x');
    const struct {
        const char* name;
        std::string text;
        std::string expected;
    } rows[] = {
        {"types count beyond reply", FormatNetworkTypes(U32s({4000000000u, 0, 3})), "FH, OFDM"},
        {"types unknown skipped", FormatNetworkTypes(U32s({3, 7, 2, 1})), "OFDM5, DS"},
        {"types none", FormatNetworkTypes(U32s({0})), ""},
        {"types truncated", FormatNetworkTypes(std::vector<std::uint8_t>{1, 0}), ""},
        {"rate basic flag", FormatBestRate(std::vector<std::uint8_t>{0x82, 0xec, 0, 0xff}),
         "54 Mbps"},
        {"rate none", FormatBestRate(std::vector<std::uint8_t>{0, 108}), "0 Mbps"},
        {"ssid longer than 32", FormatSsid(longSsid), std::string(32, 'x')},
        {"ssid shorter reply", FormatSsid(std::vector<std::uint8_t>{5, 0, 0, 0, 'a', 'b'}), "ab"},
        {"lease", FormatLeaseTime(1000000000), "Sun Sep  9 01:46:40 2001"},
        {"lease year 10000", FormatLeaseTime(253402300800), "Sat Jan  1 00:00:00 10000"},
        {"lease never", FormatLeaseTime(0), "Never"},
        {"wins zero primary", FormatWins("0.0.0.0", "10.1.1.2"), "10.1.1.2"},
        {"list of eleven", JoinListed(std::vector<std::string>(11, "a"), "None"),
         "a, a, a, a, a, a, a, a, a, a"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.text, row.expected);
    }
    ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace tarvik::testing
