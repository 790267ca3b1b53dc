#include "profiles/NetworkKey.h"

#include <gtest/gtest.h>

#include "networks/Bssid.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

// WPA whose group cipher is none of the four known ones: the best cipher is undetermined.
const Bytes kUnknownGroupWpa = Hex("dd160050f20101000050f20601000050f20201000050f202");

std::unique_ptr<CBssid> Record(const std::string& ssid, std::uint32_t privacy,
                               std::vector<Bytes> elements = {}, std::uint8_t mac = 1,
                               std::uint32_t mode = 1) {
    ndis::BssidEntryFields fields = WithElements(Fields(mac, -50, privacy), elements);
    fields.SetSsid(ssid);
    fields.infrastructureMode = mode;
    return std::make_unique<CBssid>(Entry(fields), 1);
}

TEST(NetworkKeyTest, FillFromRecordTakesClassAndCipherLevel) {
    // name, privacy, elements, adapter chosen, class, cipher level
    const std::tuple<const char*, std::uint32_t, std::vector<Bytes>, bool, std::int32_t,
                     std::uint32_t>
        rows[] = {
            {"open", 0, {}, true, 1, 1},
            {"wep", 1, {}, true, 2, 0},
            {"wpaTkip", 1, {kWpaPskTkip}, true, 3, 4},
            {"wpa2Ccmp", 1, {kRsnPskCcmp}, true, 4, 6},
            {"wpa2NoAdapter", 1, {kRsnPskCcmp}, false, 4, 1},
            {"undeterminedCipherAsksForAes", 1, {kUnknownGroupWpa}, true, 3, 6},
        };
    for (const auto& [name, privacy, elements, adapterChosen, securityClass, level] : rows) {
        SCOPED_TRACE(name);
        CNetworkKey profile;
        profile.keyLength = 9;
        profile.FillFromRecord(*Record("home", privacy, elements, 7, 0), adapterChosen);
        EXPECT_EQ(profile.SsidText() + profile.BssidText() + profile.ModeText(),
                  "home00:0c:41:82:b2:07Ad-Hoc");
        EXPECT_EQ(std::tuple(profile.securityClass, profile.cipherLevel, profile.keyLength),
                  std::tuple(securityClass, level, adapterChosen ? 0u : 9u));
    }
}

TEST(NetworkKeyTest, MatchesSameSsidModeAndClassAndWithMatchOnTheBssid) {
    CNetworkKey profile;
    profile.FillFromRecord(*Record("home", 1, {kRsnPskCcmp}), true);
    const std::tuple<const char*, std::unique_ptr<CBssid>, bool, bool> rows[] = {
        {"sameAp", Record("home", 1, {kRsnPskCcmp}), true, true},
        {"otherAp", Record("home", 1, {kRsnPskCcmp}, 2), true, false},
        {"longerSsid", Record("home2", 1, {kRsnPskCcmp}), false, false},
        {"nowWpaOnly", Record("home", 1, {kWpaPskTkip}), false, false},
        {"adHoc", Record("home", 1, {kRsnPskCcmp}, 1, 0), false, false},
        {"noEntry", std::make_unique<CBssid>(), false, false},
    };
    for (const auto& [name, record, matchesAny, matchesThisAp] : rows) {
        SCOPED_TRACE(name);
        profile.matchBssid = 0;
        EXPECT_EQ(ProfileMatches(profile, *record), matchesAny);
        profile.matchBssid = 1;
        EXPECT_EQ(ProfileMatches(profile, *record), matchesThisAp);
    }
    profile.ssidLength = 36;  // past the field: names no network
    profile.matchBssid = 0;
    EXPECT_FALSE(ProfileMatches(profile, *std::get<1>(rows[0])));
    EXPECT_EQ(profile.SsidText(), "");
}

TEST(NetworkKeyTest, KeyFromTextAndItsTexts) {
    const std::tuple<const char*, std::string, std::uint32_t, std::int32_t, int, std::string>
        rows[] = {
            {"hexTen", "0A1b2C3d4E", 2, 2, 0, "0a1b2c3d4e Hex 5"},
            {"asciiTen", "0A1b2C3d4E", 1, 3, 0, "0A1b2C3d4E ASCII 10"},
            {"badPairsKeepLeadingDigits", "1gx9zz", 2, 2, 0, "010000 Hex 3"},
            {"hexOddLength", "1gx9z", 2, 2, -1, " ASCII 0"},
            {"open", "secret", 1, 1, 0, "Not Available NA 6"},
            {"empty", "", 1, 3, -1, " ASCII 0"},
            {"above500", std::string(501, 'k'), 1, 4, -1, " ASCII 0"},
            {"hex500", std::string(500, 'f'), 2, 4, 0, std::string(500, 'f') + " Hex 250"},
            {"unknownType", "secret", 3, 4, -1, " ASCII 0"},
        };
    for (const auto& [name, text, type, securityClass, result, texts] : rows) {
        SCOPED_TRACE(name);
        CNetworkKey profile;
        profile.securityClass = securityClass;
        EXPECT_EQ(profile.SetKeyFromText(text, type), result);
        EXPECT_EQ(profile.KeyText() + " " + profile.KeyTypeText() + " " + profile.KeyLengthText(),
                  texts);
    }
    // Class and key-type texts keep the previous text for unknown values.
    CNetworkKey profile;
    std::string texts;
    for (std::int32_t value : {0, 1, 2, 3, 4, 5})
        texts += (profile.securityClass = value, profile.ClassText()) + ",";
    EXPECT_EQ(texts, ",Open,WEP,WPA,WPA2,WPA2,");
    profile.keyType = KEY_TYPE_HEX, profile.KeyTypeText(), profile.keyType = 7;
    EXPECT_EQ(profile.KeyTypeText() + profile.AutoConnectText() + profile.MatchBssidText() +
                  profile.PriorityText(),
              "HexYesNo1");
}

TEST(NetworkKeyTest, WepKeyCheckAndHexDecoding) {
    const std::pair<Result, std::vector<std::string>> wep[] = {
        {RES_WEP_KEY_VALID, {"abcde", "0123456789", "thirteen char", "0123456789ABCDEFabcdef0123"}},
        {RES_WEP_KEY_BAD_LENGTH, {"abcdef", "", "0123456789abcd"}},
        {RES_WEP_KEY_NOT_HEX, {"abcdefghij", "0123456789ABCDEFabcdef012g"}}};
    for (const auto& [result, texts] : wep)
        for (const std::string& text : texts) EXPECT_EQ(CheckWepKey(text), result) << text;
    std::array<std::uint8_t, 4> out;
    out.fill(0xee);
    EXPECT_TRUE(DecodeHexText("ff0g", out, 4));
    EXPECT_EQ(EncodeHexText(out), "ff000000");          // the rest of the output is cleared
    EXPECT_FALSE(DecodeHexText("0102030405", out, 8));  // more than the output holds
    EXPECT_FALSE(DecodeHexText("010203", out, 2));      // more than the capacity
}

}  // namespace
}  // namespace tarvik
