#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "driver/sim/ScenarioLoader.h"

namespace tarvik::driver::sim {
namespace {

struct BadScenario {
    const char* name;
    const char* json;
    const char* error;  // the whole message
    bool accessPointFields = true;
};

// CTest lists a row by its name, not by its bytes.
void PrintTo(const BadScenario& row, std::ostream* out) {
    *out << row.name;
}

class ScenarioRejection : public testing::TestWithParam<BadScenario> {};

TEST_P(ScenarioRejection, NamesThePath) {
    Scenario scenario;
    std::string error;
    const std::string json =
        GetParam().accessPointFields
            ? std::string(R"({"accessPoints":[{"bssid":"00:11:22:33:44:55",)") + GetParam().json +
                  "}]}"
            : GetParam().json;
    EXPECT_FALSE(ParseScenario(json, scenario, error));
    EXPECT_EQ(error, (GetParam().accessPointFields ? "accessPoints[0]." : "") +
                         std::string(GetParam().error));
}

// Rows: an access point's fields after its BSSID and the message about
// accessPoints[0], or (false) a whole scenario and the whole message.
const BadScenario kBadScenarios[] = {
    {"ChannelOutOfBand",
     R"({"accessPoints":[{"bssid":"00:11:22:33:44:55"},{"bssid":"00:11:22:33:44:56"},
         {"bssid":"00:11:22:33:44:57"},{"bssid":"00:11:22:33:44:58","channel":20}]})",
     "accessPoints[3].channel: must be 1-14 or 36-165", false},
    {"ChannelNotANumber", R"("channel":"six")", "channel: must be a whole number"},
    {"FrequencyDisagrees", R"("channel":1,"frequencyMHz":2437)",
     "frequencyMHz: does not match \"channel\""},
    {"MissingBssid", R"({"accessPoints":[{"ssid":"x"}]})", "accessPoints[0].bssid: is required",
     false},
    {"BadBssid", R"({"accessPoints":[{"bssid":"00:11:22:33:44"}]})",
     "accessPoints[0].bssid: must be a MAC address like 00:0f:b5:12:34:56", false},
    {"RepeatedBssid",
     R"({"accessPoints":[{"bssid":"00:11:22:33:44:55"},{"bssid":"00:11:22:33:44:55"}]})",
     "accessPoints[1].bssid: repeats accessPoints[0].bssid", false},
    {"LongSsid", R"("ssid":"123456789012345678901234567890123")", "ssid: must be at most 32 bytes"},
    {"UnknownField", R"("chanel":6)", "chanel: unknown field"},
    {"RootNotObject", R"([1,2])", "must be an object", false},
    {"Ofdm5On24", R"("channel":6,"networkType":"OFDM5")",
     "networkType: OFDM5 needs a 5 GHz channel"},
    {"BadSecurity", R"("security":"wpa3")",
     "security: must be one of open, wep, wpa-psk, wpa2-psk, wpa-wpa2-psk, "
     "wpa2-eap"},
    {"WepKeyLength", R"("wepKeys":["0102030405","0102"])",
     "wepKeys[1]: must be 10 or 26 hex digits (WEP-40 or WEP-104)"},
    {"RateNotHalfMbps", R"("rates":[1,2,5.25])",
     "rates[2]: must be a multiple of 0.5 from 0.5 to 63.5 Mbit/s"},
    {"BasicRateNotListed", R"("rates":[1,2],"basicRates":[11])",
     "basicRates[0]: must also be listed in \"rates\""},
    {"RawRsnLengthByte", R"("rsn":"30 05 01 00")",
     "rsn: element length byte does not match its size"},
    {"RawRsnCountPastEnd", R"("rsn":"30 0a 01 00 00 0f ac 04 05 00 00 0f")",
     "rsn: malformed cipher suite lists"},
    {"RawNotHex", R"("wpa":"dd 0g")", "wpa: must be hexadecimal bytes"},
    {"UnknownCipher", R"("rsn":{"pairwise":["GCMP"]})",
     "rsn.pairwise[0]: must be one of NONE, TKIP, CCMP"},
    {"KeyframesOutOfOrder", R"("signal":{"keyframes":[{"t":5,"rssi":-50},{"t":5,"rssi":-60}]})",
     "signal.keyframes[1].t: must be later than the previous keyframe"},
    {"RepeatTooShort",
     R"("signal":{"keyframes":[{"t":0,"rssi":-50},{"t":60,"rssi":-60}],"repeat":30})",
     "signal.repeat: must not be shorter than the last keyframe's time"},
    {"DhcpAddress", R"("dhcp":{"address":"192.168.1.300"})",
     "dhcp.address: must be a dotted IPv4 address"},
    {"DhcpDns", R"("dhcp":{"dns":["1.1.1.1","dns.example"]})",
     "dhcp.dns[1]: must be a dotted IPv4 address"},
    {"LeaseTooShort", R"("dhcp":{"leaseSeconds":5})", "dhcp.leaseSeconds: must be 60 to 31536000"},
    {"TrafficShare", R"("traffic":{"arpShare":1.5})", "traffic.arpShare: must be 0 to 1"},
    {"PassphraseNotHexKey",
     R"("passphrase":"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdeg")",
     "passphrase: must be 8 to 63 characters, or 64 hex digits"},
    {"AnonceShort", R"("authenticator":{"anonce":"0102"})",
     "authenticator.anonce: must be 64 hex digits"},
    {"CcmpGtkLength",
     R"("security":"wpa2-psk","authenticator":{"gtk":"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20"})",
     "authenticator.gtk: must be 32 hex digits (a CCMP group key)"},
    {"AuthenticatorUnknownField", R"("authenticator":{"rekey":30})",
     "authenticator.rekey: unknown field"},
    {"ExternalRelative", R"("security":"wpa2-psk","authenticator":{"external":"ap.sock"})",
     "authenticator.external: must be an absolute socket path"},
    {"ExternalOnOpenNetwork", R"("authenticator":{"external":"/run/ap.sock"})",
     "authenticator.external: needs a WPA or RSN network"},
    {"Wpa2WithoutWpa", R"({"adapters":[{"capabilities":{"wpa":false,"wpa2":true}}]})",
     "adapters[0].capabilities.wpa2: needs \"wpa\" true", false},
    {"AssociationUnknownAp", R"({"adapters":[{"association":{"bssid":"00:11:22:33:44:55"}}]})",
     "adapters[0].association.bssid: no access point has this BSSID", false},
    {"WiredAssociation",
     R"({"adapters":[{"type":"wired","association":{"bssid":"00:11:22:33:44:55"}}]})",
     "adapters[0].association: only a wireless adapter associates", false},
    {"WirelessDhcp", R"({"adapters":[{"dhcp":{}}]})",
     "adapters[0].dhcp: a wireless adapter gets DHCP from its access point", false},
    {"CounterRange", R"({"adapters":[{"counters":{"rcvOk":4294967296}}]})",
     "adapters[0].counters.rcvOk: must be 0 to 4294967295", false},
    {"ReplyUnknownOid", R"({"adapters":[{"replies":{"OID_NOPE":1}}]})",
     "adapters[0].replies.OID_NOPE: must name an OID", false},
    {"ReplyTooLarge", R"({"adapters":[{"replies":{"0x00010114":[0,4294967296]}}]})",
     "adapters[0].replies.0x00010114: replies must be integers from -2147483648 to 4294967295",
     false},
    {"ReplyNone", R"({"adapters":[{"replies":{"OID_802_11_SSID":[]}}]})",
     "adapters[0].replies.OID_802_11_SSID: must hold 1 to 64 replies", false},
    {"ServiceNotBool", R"({"competingService":{"running":"yes"}})",
     "competingService.running: must be true or false", false},
};

INSTANTIATE_TEST_SUITE_P(Loader, ScenarioRejection, testing::ValuesIn(kBadScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// Broken JSON names the line; a number no type can hold (found by fuzzing:
// it once escaped the loader as an exception) is broken JSON too.
TEST(ScenarioLoader, BrokenJsonIsRefused) {
    for (const auto& [json, where] : {std::pair{"{\n\"adapters\": [,]\n}", "line 2"},
                                      {R"({"adapters": [{"linkSpeed": 1e999}]})", ""}}) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(json, scenario, error));
        EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
        EXPECT_NE(error.find(where), std::string::npos) << error;
    }
}

TEST(ScenarioLoader, FileErrorsNameTheFile) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tarvik-sim-bad-" + std::to_string(::getpid()) + ".json");
    std::ofstream(path) << R"({"accessPoints":[{"bssid":"00:11:22:33:44:55","channel":0}]})";
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(LoadScenario(path.string(), scenario, error));
    EXPECT_EQ(error, path.string() + ": accessPoints[0].channel: must be 1-14 or 36-165");
    std::filesystem::remove(path);
    EXPECT_FALSE(LoadScenario(path.string(), scenario, error));
    EXPECT_EQ(error, path.string() + ": cannot open the scenario file");
}

TEST(ScenarioLoader, DefaultsShorthandsAndDerivedValues) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"({"adapters":[{}],"accessPoints":[
        {"bssid":"00:18:39:20:00:04"},
        {"bssid":"00:18:39:20:00:01","frequencyMHz":5180,"security":"wpa-wpa2-psk"},
        {"bssid":"00:18:39:20:00:02","channel":14,"rates":[1,2,5.5,11],"wepKeys":["0102030405"]},
        {"bssid":"00:18:39:20:00:03","rsn":"30 14 01 00 00 0f ac 02 01 00 00 0f ac 04 01 00 00 0f ac 01 00 00"}]})",
                              scenario, error))
        << error;
    // Empty objects derive names and a frequency.
    const Adapter& adapter = scenario.adapters.at(0);
    EXPECT_EQ(adapter.deviceName, "\\DEVICE\\" + adapter.guid);
    EXPECT_EQ(adapter.guid.size(), 38u);
    EXPECT_EQ(adapter.currentMac, adapter.permanentMac);
    const AccessPoint& plain = scenario.accessPoints[0];
    EXPECT_EQ(plain.channel, 6u);
    EXPECT_EQ(plain.frequencyKhz, 2437000u);
    EXPECT_EQ(plain.dhcp.server, plain.dhcp.gateway);

    const AccessPoint& mixed = scenario.accessPoints[1];
    EXPECT_EQ(mixed.channel, 36u);
    EXPECT_EQ(mixed.networkType, NetworkType::OFDM5);
    EXPECT_TRUE(mixed.privacy && mixed.wpa.present && mixed.rsn.present);
    EXPECT_EQ(mixed.rsn.pairwiseCiphers, kCipherCcmp | kCipherTkip);
    EXPECT_EQ(mixed.rsn.groupCipher, kCipherTkip);

    const AccessPoint& wep = scenario.accessPoints[2];
    EXPECT_EQ(wep.frequencyKhz, 2484000u);
    EXPECT_EQ(wep.networkType, NetworkType::DS);
    EXPECT_TRUE(wep.privacy);  // implied by the key

    const AccessPoint& raw = scenario.accessPoints[3];
    EXPECT_TRUE(raw.privacy);
    EXPECT_EQ(raw.rsn.groupCipher, kCipherTkip);
    EXPECT_EQ(raw.rsn.pairwiseCiphers, kCipherCcmp);
    EXPECT_EQ(raw.rsn.keyManagement, kAkm8021X);
}

}  // namespace
}  // namespace tarvik::driver::sim
