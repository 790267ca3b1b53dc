#include "profiles/NetworkKey.h"

#include <gtest/gtest.h>

#include "networks/Bssid.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

// WPA with a group cipher of none of the four known ones: the best cipher is undetermined.
const Bytes kUnknownGroupWpa = Hex("dd160050f20101000050f20601000050f20201000050f202");

// A record for "home" (or `ssid`) on AP ...:01 with the given security.
std::unique_ptr<CBssid> Record(const std::string& ssid, std::uint32_t privacy,
                               std::vector<Bytes> elements = {}, std::uint8_t mac = 0x01,
                               std::uint32_t mode = 1) {
    ndis::BssidEntryFields fields = WithElements(Fields(mac, -50, privacy), elements);
    fields.SetSsid(ssid);
    fields.infrastructureMode = mode;
    return std::make_unique<CBssid>(Entry(fields), 1);
}

TEST(NetworkKeyTest, FillFromRecordTakesClassAndCipherLevel) {
    struct Row {
        const char* name;
        std::uint32_t privacy;
        std::vector<Bytes> elements;
        bool adapterChosen;
        std::int32_t securityClass;
        std::uint32_t cipherLevel;
    };
    const Row rows[] = {
        {"open", 0, {}, true, 1, 1},
        {"wep", 1, {}, true, 2, 0},
        {"wpaTkip", 1, {kWpaPskTkip}, true, 3, 4},
        {"wpa2Ccmp", 1, {kRsnPskCcmp}, true, 4, 6},
        {"wpa2NoAdapter", 1, {kRsnPskCcmp}, false, 4, 1},
        {"undeterminedCipherAsksForAes", 1, {kUnknownGroupWpa}, true, 3, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto record = Record("home", row.privacy, row.elements, 0x07, 0);
        CNetworkKey profile;
        profile.keyLength = 9;
        profile.FillFromRecord(*record, row.adapterChosen);
        EXPECT_EQ(profile.SsidText(), "home");
        EXPECT_EQ(profile.BssidText(), "00:0c:41:82:b2:07");
        EXPECT_EQ(profile.ModeText(), "Ad-Hoc");
        EXPECT_EQ(profile.securityClass, row.securityClass);
        EXPECT_EQ(profile.cipherLevel, row.cipherLevel);
        EXPECT_EQ(profile.keyLength, row.adapterChosen ? 0u : 9u);
    }
}

TEST(NetworkKeyTest, MatchesSameSsidModeClassAndWithMatchOnTheBssid) {
    CNetworkKey profile;
    profile.FillFromRecord(*Record("home", 1, {kRsnPskCcmp}), true);
    struct Row {
        const char* name;
        std::unique_ptr<CBssid> record;
        bool matchesAny, matchesThisAp;
    };
    Row rows[] = {
        {"sameAp", Record("home", 1, {kRsnPskCcmp}), true, true},
        {"otherAp", Record("home", 1, {kRsnPskCcmp}, 0x02), true, false},
        {"longerSsid", Record("home2", 1, {kRsnPskCcmp}), false, false},
        {"shorterSsid", Record("hom", 1, {kRsnPskCcmp}), false, false},
        {"nowWpaOnly", Record("home", 1, {kWpaPskTkip}), false, false},
        {"adHoc", Record("home", 1, {kRsnPskCcmp}, 0x01, 0), false, false},
        {"noEntry", std::make_unique<CBssid>(), false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        profile.matchBssid = 0;
        EXPECT_EQ(ProfileMatches(profile, *row.record), row.matchesAny);
        profile.matchBssid = 1;
        EXPECT_EQ(ProfileMatches(profile, *row.record), row.matchesThisAp);
    }
    profile.ssidLength = 36;  // past the field: names no network
    profile.matchBssid = 0;
    EXPECT_FALSE(ProfileMatches(profile, *rows[0].record));
    EXPECT_EQ(profile.SsidText(), "");
}

TEST(NetworkKeyTest, KeyFromTextAndItsTexts) {
    struct Row {
        const char* name;
        std::string text;
        std::uint32_t type;
        std::int32_t securityClass;
        int result;
        std::string keyText, keyTypeText, lengthText;
    };
    const Row rows[] = {
        {"hexTen", "0A1b2C3d4E", 2, 2, 0, "0a1b2c3d4e", "Hex", "5"},
        {"asciiTen", "0A1b2C3d4E", 1, 3, 0, "0A1b2C3d4E", "ASCII", "10"},
        {"hexOddLength", "1g x9", 2, 2, -1, "", "ASCII", "0"},
        {"badPairsEven", "1gx9zz", 2, 2, 0, "010000", "Hex", "3"},
        {"open", "secret", 1, 1, 0, "Not Available", "NA", "6"},
        {"empty", "", 1, 3, -1, "", "ASCII", "0"},
        {"at500", std::string(500, 'k'), 1, 4, 0, std::string(500, 'k'), "ASCII", "500"},
        {"above500", std::string(501, 'k'), 1, 4, -1, "", "ASCII", "0"},
        {"hex500", std::string(500, 'f'), 2, 4, 0, std::string(500, 'f'), "Hex", "250"},
        {"unknownType", "secret", 3, 4, -1, "", "ASCII", "0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CNetworkKey profile;
        profile.securityClass = row.securityClass;
        EXPECT_EQ(profile.SetKeyFromText(row.text, row.type), row.result);
        EXPECT_EQ(profile.KeyText(), row.keyText);
        EXPECT_EQ(profile.KeyTypeText(), row.keyTypeText);
        EXPECT_EQ(profile.KeyLengthText(), row.lengthText);
    }
}

TEST(NetworkKeyTest, ClassAndKeyTypeTextsKeepThePreviousTextForUnknownValues) {
    CNetworkKey profile;
    const char* expected[] = {"", "Open", "WEP", "WPA", "WPA2", "WPA2"};
    for (std::int32_t value = 0; value <= 5; ++value) {
        profile.securityClass = value;
        EXPECT_EQ(profile.ClassText(), expected[value]) << value;
    }
    profile.keyType = KEY_TYPE_HEX;
    EXPECT_EQ(profile.KeyTypeText(), "Hex");
    profile.keyType = 7;
    EXPECT_EQ(profile.KeyTypeText(), "Hex");
    EXPECT_EQ(CNetworkKey().AutoConnectText() + CNetworkKey().MatchBssidText(), "YesNo");
    EXPECT_EQ(CNetworkKey().PriorityText(), "1");
}

TEST(NetworkKeyTest, WepKeyCheckAndHexDecoding) {
    const std::pair<const char*, Result> wep[] = {
        {"abcde", RES_WEP_KEY_VALID},
        {"abcdef", RES_WEP_KEY_BAD_LENGTH},
        {"abcdefghij", RES_WEP_KEY_NOT_HEX},
        {"0123456789", RES_WEP_KEY_VALID},
        {"thirteen char", RES_WEP_KEY_VALID},
        {"0123456789ABCDEFabcdef0123", RES_WEP_KEY_VALID},
        {"0123456789ABCDEFabcdef012g", RES_WEP_KEY_NOT_HEX},
        {"", RES_WEP_KEY_BAD_LENGTH},
    };
    for (const auto& [text, result] : wep) EXPECT_EQ(CheckWepKey(text), result) << text;

    std::array<std::uint8_t, 4> out;
    out.fill(0xee);
    EXPECT_TRUE(DecodeHexText("ff0g", out, 4));
    EXPECT_EQ(EncodeHexText(out), "ff000000");          // the rest of the output is cleared
    EXPECT_FALSE(DecodeHexText("0102030405", out, 8));  // more than the output holds
    EXPECT_FALSE(DecodeHexText("010203", out, 2));      // more than the capacity
    EXPECT_FALSE(DecodeHexText("", out, 4));
}

}  // namespace
}  // namespace tarvik
