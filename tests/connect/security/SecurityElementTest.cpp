#include "connect/SecurityElement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tests/connect/security/SecurityTestSupport.h"
#include "tests/core/LogCapture.h"

namespace tarvik {
namespace {

using testing_support::Bytes;
using testing_support::DebugRecorder;
using testing_support::Hex;

constexpr std::uint32_t T = CIPHER_TKIP;
constexpr std::uint32_t C = CIPHER_CCMP;

SecurityElementInfo Info(std::uint32_t protocol, std::uint32_t pairwise, std::uint32_t group,
                         std::uint32_t keyManagement, std::uint32_t capabilities = 0,
                         std::uint32_t pmkidCount = 0, std::uint32_t firstPmkid = PMKID_NONE) {
    return {protocol, pairwise, group, keyManagement, capabilities, pmkidCount, firstPmkid};
}

struct DecodeRow {
    const char* name;
    std::string hex;
    int result;
    std::optional<SecurityElementInfo> info;  // checked when decoded
    const char* messages;                     // debug output, lines joined by '\n'
};

void PrintTo(const DecodeRow& row, std::ostream* os) {
    *os << row.name;
}

std::string PrintRowName(const testing::TestParamInfo<DecodeRow>& info) {
    return info.param.name;
}

class DecodeTest : public testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeTest, DecodesOrRejectsWithItsMessage) {
    const DecodeRow& row = GetParam();
    // An exact-size heap copy, so a read past the element trips the sanitizer.
    const Bytes element = Hex(row.hex);
    DebugRecorder debug;
    SecurityElementInfo info;
    EXPECT_EQ(ParseSecurityElement(element, info), row.result);
    if (row.info) {
        EXPECT_EQ(info, *row.info);
    }
    EXPECT_EQ(debug.Text(), row.messages);
    for (const auto& line : debug.Lines()) EXPECT_EQ(line.level, WPA_MSG_DEBUG);
}

const std::string kPmkid = "000102030405060708090a0b0c0d0e0f";
const std::string kRsnPskCcmp = "0100 000fac04 0100 000fac04 0100 000fac02 0000";

const DecodeRow kWpaRows[] = {
    {"HeaderOnlyGivesDefaults", "dd06 0050f201 0100", 0, Info(1, T, T, KEY_MGMT_IEEE8021X), ""},
    {"GroupOnly", "dd0a 0050f201 0100 0050f204", 0, Info(1, T, C, KEY_MGMT_IEEE8021X), ""},
    {"PskTkip", "dd16 0050f201 0100 0050f202 0100 0050f202 0100 0050f202", 0,
     Info(1, T, T, KEY_MGMT_PSK), ""},
    {"WithCapabilities", "dd18 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 0c00", 0,
     Info(1, T, T, KEY_MGMT_PSK, 0x0c), ""},
    {"WpaNoneAndPairwiseNone", "dd16 0050f201 0100 0050f202 0100 0050f200 0100 0050f200", 0,
     Info(1, CIPHER_NONE, T, KEY_MGMT_WPA_NONE), ""},
    {"AllCipherTypes",
     "dd22 0050f201 0100 0050f201 0400 0050f200 0050f201 0050f205 0050f204 0100 0050f201", 0,
     Info(1, CIPHER_NONE | CIPHER_WEP40 | CIPHER_WEP104 | C, CIPHER_WEP40, KEY_MGMT_IEEE8021X), ""},
    {"UnknownAndForeignSelectorsAddNoFlag",
     "dd1a 0050f201 0100 0050f202 0200 0050f203 000fac04 0100 0050f202", 0,
     Info(1, 0, T, KEY_MGMT_PSK), ""},
    {"TrailingByteIgnored", "dd19 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 0000 ab", 0,
     Info(1, T, T, KEY_MGMT_PSK), "Function: ie has 1 trailing bytes - ignored"},
    {"Empty", "", -1, std::nullopt, ""},
    {"TooShort", "dd05 0050f201 01", -1, std::nullopt, "wpa_parse_wpa_ie_wpa: ie len too short 7"},
    {"OneByte", "dd", -1, std::nullopt, "wpa_parse_wpa_ie_wpa: ie len too short 1"},
    {"WrongId", "dc06 0050f201 0100", -1, std::nullopt, ""},
    {"LengthByteDisagrees", "dd07 0050f201 0100", -1, std::nullopt, ""},
    {"WrongOui", "dd06 0050f301 0100", -1, std::nullopt, ""},
    {"WmmTypeIsNotWpa", "dd07 0050f202 0001 00", -1, std::nullopt, ""},
    {"Version2", "dd06 0050f201 0200", -1, std::nullopt, ""},
    {"PartialGroup", "dd08 0050f201 0100 0050", -1, std::nullopt,
     "Function: ie length mismatch, 2 too much"},
    {"PairwiseCountZero", "dd0c 0050f201 0100 0050f202 0000", -1, std::nullopt,
     "Function: ie count botch (pairwise), count 0 left 0"},
    {"PairwiseCountPastEnd", "dd10 0050f201 0100 0050f202 0200 0050f202", -1, std::nullopt,
     "Function: ie count botch (pairwise), count 2 left 4"},
    {"PairwiseCountHuge", "dd10 0050f201 0100 0050f202 ffff 0050f202", -1, std::nullopt,
     "Function: ie count botch (pairwise), count 65535 left 4"},
    {"OneByteAfterGroup", "dd0b 0050f201 0100 0050f202 00", -1, std::nullopt,
     "Function: ie too short (for key mgmt)"},
    {"OneByteAfterPairwise", "dd11 0050f201 0100 0050f202 0100 0050f202 00", -1, std::nullopt,
     "Function: ie too short (for capabilities)"},
    {"KeyManagementCountZero", "dd12 0050f201 0100 0050f202 0100 0050f202 0000", -1, std::nullopt,
     "Function: ie count botch (key mgmt), count 0 left 0"},
    {"OneByteAfterKeyManagementIsTrailing",
     "dd17 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 00", 0, Info(1, T, T, KEY_MGMT_PSK),
     "Function: ie has 1 trailing bytes - ignored"},
};
INSTANTIATE_TEST_SUITE_P(Wpa, DecodeTest, testing::ValuesIn(kWpaRows), PrintRowName);

const DecodeRow kRsnRows[] = {
    {"HeaderOnlyGivesDefaults", "3002 0100", 0, Info(2, C, C, KEY_MGMT_IEEE8021X), ""},
    {"PskCcmp", "3014 0100 000fac04 0100 000fac04 0100 000fac02 0000", 0,
     Info(2, C, C, KEY_MGMT_PSK), ""},
    {"UnknownSelectorsAddNoFlag", "3018 0100 000fac02 0200 000fac03 0050f204 0100 000fac00 0000", 0,
     Info(2, 0, T, 0), ""},
    {"OnePmkid", ("3026" + kRsnPskCcmp + "0100" + kPmkid), 0, Info(2, C, C, KEY_MGMT_PSK, 0, 1, 24),
     ""},
    {"PmkidCountZero", ("3016" + kRsnPskCcmp + "0000"), 0, Info(2, C, C, KEY_MGMT_PSK), ""},
    {"PmkidUnderflowStillDecodes", ("3026" + kRsnPskCcmp + "0200" + kPmkid), 0,
     Info(2, C, C, KEY_MGMT_PSK),
     "Function: PMKID underflow (num_pmkid=2 left=16)\n"
     "Function: ie has 16 trailing bytes - ignored"},
    {"TrailingByteIgnored", ("3015" + kRsnPskCcmp + "ab"), 0, Info(2, C, C, KEY_MGMT_PSK),
     "Function: ie has 1 trailing bytes - ignored"},
    {"OneByte", "30", -1, std::nullopt, "Function: ie len too short 1"},
    {"ThreeBytes", "3001 01", -1, std::nullopt, "Function: ie len too short 3"},
    {"Version2", "3002 0200", -1, std::nullopt, ""},
    {"LengthByteDisagrees", "3003 0100", -1, std::nullopt, ""},
    {"PartialGroup", "3005 0100 000fac", -1, std::nullopt,
     "Function: ie length mismatch, 3 too much"},
    {"PairwiseCountZero", "300e 0100 000fac04 0000 0100 000fac02", -1, std::nullopt,
     "Function: ie count botch (pairwise), count 0 left 6"},
    {"KeyManagementCountPastEnd", "3012 0100 000fac04 0100 000fac04 0200 000fac02", -1,
     std::nullopt, "Function: ie count botch (key mgmt), count 2 left 4"},
    {"OneByteAfterGroup", "3007 0100 000fac04 00", -1, std::nullopt,
     "Function: ie too short (for key mgmt)"},
    {"OneByteAfterPairwise", "300d 0100 000fac04 0100 000fac04 00", -1, std::nullopt,
     "Function: ie too short (for capabilities)"},
    {"OneByteAfterKeyManagementIsTrailing", "3013 0100 000fac04 0100 000fac04 0100 000fac02 00", 0,
     Info(2, C, C, KEY_MGMT_PSK), "Function: ie has 1 trailing bytes - ignored"},
};
INSTANTIATE_TEST_SUITE_P(Rsn, DecodeTest, testing::ValuesIn(kRsnRows), PrintRowName);

// Every cut of a valid element, with its length byte kept or corrected, in an
// exact-size buffer: the decoder stays inside and never crashes.
TEST(ParseSecurityElementTest, TruncatedElementsStayInsideTheirBytes) {
    for (const std::string& hex :
         {"3026" + kRsnPskCcmp + "0100" + kPmkid,
          std::string("dd18 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 0c00")}) {
        const Bytes whole = Hex(hex);
        for (std::size_t n = 0; n <= whole.size(); ++n) {
            for (bool fixLength : {false, true}) {
                Bytes cut(whole.begin(), whole.begin() + n);
                if (fixLength && n >= 2) cut[1] = static_cast<std::uint8_t>(n - 2);
                SecurityElementInfo info;
                const int result = ParseSecurityElement(cut, info);
                EXPECT_TRUE(result == 0 || result == -1);
                if (!fixLength && n < whole.size()) {
                    EXPECT_EQ(result, -1) << n;
                }
            }
        }
    }
}

TEST(ParseSecurityElementTest, DebugMessagesReachTheEventLogAsInfo) {
    TempFolder folder;
    LogCapture log(folder.Path());
    SecurityElementInfo info;
    EXPECT_EQ(ParseSecurityElement(Hex("30"), info), -1);
    EXPECT_THAT(log.Messages(), ::testing::ElementsAre("App: Info: Function: ie len too short 1"));
}

TEST(CipherNameTest, NamesEachFlagAndNothingElse) {
    EXPECT_STREQ(CipherName(CIPHER_NONE), "NONE");
    EXPECT_STREQ(CipherName(CIPHER_WEP40), "WEP-40");
    EXPECT_STREQ(CipherName(CIPHER_WEP104), "WEP-104");
    EXPECT_STREQ(CipherName(CIPHER_TKIP), "TKIP");
    EXPECT_STREQ(CipherName(CIPHER_CCMP), "CCMP");
    EXPECT_STREQ(CipherName(0), "UNKNOWN");
    EXPECT_STREQ(CipherName(CIPHER_TKIP | CIPHER_CCMP), "UNKNOWN");
}

struct BuildRow {
    const char* name;
    bool rsn;
    std::uint32_t group, pairwise, keyManagement;
    const char* hex;
};

void PrintTo(const BuildRow& row, std::ostream* os) {
    *os << row.name;
}

class BuildTest : public testing::TestWithParam<BuildRow> {};

// The station's default elements, byte for byte, and their decoding back
// to the values they were built from.
TEST_P(BuildTest, WritesTheElementAndItDecodesBack) {
    const BuildRow& row = GetParam();
    std::array<std::uint8_t, 64> buffer{};
    const int length = row.rsn
                           ? BuildRsnElement(row.group, row.pairwise, row.keyManagement, buffer)
                           : BuildWpaElement(row.group, row.pairwise, row.keyManagement, buffer);
    const Bytes expected = Hex(row.hex);
    ASSERT_EQ(length, static_cast<int>(expected.size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), expected);

    SecurityElementInfo info;
    ASSERT_EQ(ParseSecurityElement(std::span(buffer).first(length), info), 0);
    EXPECT_EQ(info, Info(row.rsn ? 2 : 1, row.pairwise, row.group, row.keyManagement));
}

const BuildRow kBuildRows[] = {
    {"WpaTkip", false, T, T, KEY_MGMT_PSK,
     "DD 16 00 50 F2 01 01 00 00 50 F2 02 01 00 00 50 F2 02 01 00 00 50 F2 02"},
    {"WpaCcmp", false, C, C, KEY_MGMT_PSK,
     "DD 16 00 50 F2 01 01 00 00 50 F2 04 01 00 00 50 F2 04 01 00 00 50 F2 02"},
    {"RsnCcmp", true, C, C, KEY_MGMT_PSK,
     "30 14 01 00 00 0F AC 04 01 00 00 0F AC 04 01 00 00 0F AC 02 00 00"},
    {"RsnTkip", true, T, T, KEY_MGMT_PSK,
     "30 14 01 00 00 0F AC 02 01 00 00 0F AC 02 01 00 00 0F AC 02 00 00"},
    {"WpaWep40GroupNonePairwiseWpaNone", false, CIPHER_WEP40, CIPHER_NONE, KEY_MGMT_WPA_NONE,
     "DD 16 00 50 F2 01 01 00 00 50 F2 01 01 00 00 50 F2 00 01 00 00 50 F2 00"},
    {"RsnWep104Group8021X", true, CIPHER_WEP104, C, KEY_MGMT_IEEE8021X,
     "30 14 01 00 00 0F AC 05 01 00 00 0F AC 04 01 00 00 0F AC 01 00 00"},
};
INSTANTIATE_TEST_SUITE_P(OwnElements, BuildTest, testing::ValuesIn(kBuildRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildElementTest, RefusesASmallBufferWithoutWriting) {
    std::array<std::uint8_t, 24> buffer{};
    EXPECT_EQ(BuildWpaElement(T, T, KEY_MGMT_PSK, std::span(buffer).first(23)), -1);
    EXPECT_EQ(BuildRsnElement(C, C, KEY_MGMT_PSK, std::span(buffer).first(21)), -1);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 24>{}));
    EXPECT_EQ(BuildWpaElement(T, T, KEY_MGMT_PSK, buffer), 24);
    EXPECT_EQ(BuildRsnElement(C, C, KEY_MGMT_PSK, std::span(buffer).first(22)), 22);
}

TEST(BuildElementTest, RefusesValuesTheElementCannotCarry) {
    struct Case {
        bool rsn;
        std::uint32_t group, pairwise, keyManagement;
        const char* message;
    };
    const Case cases[] = {
        {false, CIPHER_NONE, T, KEY_MGMT_PSK, "Invalid group cipher (1)."},
        {true, T | C, C, KEY_MGMT_PSK, "Invalid group cipher (24)."},
        {false, T, CIPHER_WEP40, KEY_MGMT_PSK, "Invalid pairwise cipher (2)."},
        {true, C, CIPHER_WEP104, KEY_MGMT_PSK, "Invalid pairwise cipher (4)."},
        {false, T, T, KEY_MGMT_PSK | KEY_MGMT_IEEE8021X, "Invalid key management type (3)."},
        {true, C, C, KEY_MGMT_WPA_NONE, "Invalid key management type (16)."},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 32> buffer{};
        DebugRecorder debug;
        const int length = c.rsn ? BuildRsnElement(c.group, c.pairwise, c.keyManagement, buffer)
                                 : BuildWpaElement(c.group, c.pairwise, c.keyManagement, buffer);
        EXPECT_EQ(length, -1) << c.message;
        EXPECT_EQ(buffer, (std::array<std::uint8_t, 32>{})) << c.message;
        ASSERT_EQ(debug.Lines().size(), 1u) << c.message;
        EXPECT_EQ(debug.Lines()[0].text, c.message);
        EXPECT_EQ(debug.Lines()[0].level, WPA_MSG_WARNING);
    }
}

}  // namespace
}  // namespace tarvik
