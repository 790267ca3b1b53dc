#include "connect/SecurityElement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
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
constexpr std::uint32_t PSK = KEY_MGMT_PSK;
constexpr std::uint32_t EAP = KEY_MGMT_IEEE8021X;

SecurityElementInfo Info(std::uint32_t protocol, std::uint32_t pairwise, std::uint32_t group,
                         std::uint32_t keyManagement, std::uint32_t capabilities = 0,
                         std::uint32_t pmkidCount = 0, std::uint32_t firstPmkid = PMKID_NONE) {
    return {protocol, pairwise, group, keyManagement, capabilities, pmkidCount, firstPmkid};
}

struct DecodeRow {
    const char* name;
    std::string hex;
    std::optional<SecurityElementInfo> info;  // nullopt: refused
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
    // An exact-size heap copy: a read past the element trips the sanitizer.
    const Bytes element = Hex(row.hex);
    DebugRecorder debug;
    SecurityElementInfo info;
    EXPECT_EQ(ParseSecurityElement(element, info), row.info ? 0 : -1);
    EXPECT_EQ(info, row.info.value_or(info));  // what a refusal leaves is not checked
    EXPECT_EQ(debug.Text(), row.messages);
    for (const auto& line : debug.lines) EXPECT_EQ(line.first, WPA_MSG_DEBUG);
}

const std::optional<SecurityElementInfo> kRefused;
const std::string kPmkid = "000102030405060708090a0b0c0d0e0f";
const std::string kRsnPskCcmp = "0100 000fac04 0100 000fac04 0100 000fac02 0000";

const DecodeRow kWpaRows[] = {
    {"HeaderOnlyGivesDefaults", "dd06 0050f201 0100", Info(1, T, T, EAP), ""},
    {"GroupOnly", "dd0a 0050f201 0100 0050f204", Info(1, T, C, EAP), ""},
    {"PskTkip", "dd16 0050f201 0100 0050f202 0100 0050f202 0100 0050f202", Info(1, T, T, PSK), ""},
    {"WpaNoneAndPairwiseNone", "dd16 0050f201 0100 0050f202 0100 0050f200 0100 0050f200",
     Info(1, CIPHER_NONE, T, KEY_MGMT_WPA_NONE), ""},
    {"AllCipherTypes",
     "dd22 0050f201 0100 0050f201 0400 0050f200 0050f201 0050f205 0050f204 0100 0050f201",
     Info(1, CIPHER_NONE | CIPHER_WEP40 | CIPHER_WEP104 | C, CIPHER_WEP40, EAP), ""},
    {"UnknownAndForeignSelectorsAddNoFlag",
     "dd1a 0050f201 0100 0050f202 0200 0050f203 000fac04 0100 0050f202", Info(1, 0, T, PSK), ""},
    {"TrailingByteIgnored", "dd19 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 0000 ab",
     Info(1, T, T, PSK), "Function: ie has 1 trailing bytes - ignored"},
    {"Empty", "", kRefused, ""},
    {"TooShort", "dd05 0050f201 01", kRefused, "wpa_parse_wpa_ie_wpa: ie len too short 7"},
    {"WrongId", "dc06 0050f201 0100", kRefused, ""},
    {"LengthByteDisagrees", "dd07 0050f201 0100", kRefused, ""},
    {"WrongOui", "dd06 0050f301 0100", kRefused, ""},
    {"WmmTypeIsNotWpa", "dd07 0050f202 0001 00", kRefused, ""},
    {"Version2", "dd06 0050f201 0200", kRefused, ""},
    {"PartialGroup", "dd08 0050f201 0100 0050", kRefused,
     "Function: ie length mismatch, 2 too much"},
    {"PairwiseCountZero", "dd0c 0050f201 0100 0050f202 0000", kRefused,
     "Function: ie count botch (pairwise), count 0 left 0"},
    {"PairwiseCountHuge", "dd10 0050f201 0100 0050f202 ffff 0050f202", kRefused,
     "Function: ie count botch (pairwise), count 65535 left 4"},
    {"OneByteAfterGroup", "dd0b 0050f201 0100 0050f202 00", kRefused,
     "Function: ie too short (for key mgmt)"},
    {"OneByteAfterPairwise", "dd11 0050f201 0100 0050f202 0100 0050f202 00", kRefused,
     "Function: ie too short (for capabilities)"},
    {"KeyManagementCountZero", "dd12 0050f201 0100 0050f202 0100 0050f202 0000", kRefused,
     "Function: ie count botch (key mgmt), count 0 left 0"},
    {"OneByteAfterKeyManagementIsTrailing",
     "dd17 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 00", Info(1, T, T, PSK),
     "Function: ie has 1 trailing bytes - ignored"},
};
INSTANTIATE_TEST_SUITE_P(Wpa, DecodeTest, testing::ValuesIn(kWpaRows), PrintRowName);

const DecodeRow kRsnRows[] = {
    {"HeaderOnlyGivesDefaults", "3002 0100", Info(2, C, C, EAP), ""},
    {"PskCcmp", "3014 0100 000fac04 0100 000fac04 0100 000fac02 0000", Info(2, C, C, PSK), ""},
    {"UnknownSelectorsAddNoFlag", "3018 0100 000fac02 0200 000fac03 0050f204 0100 000fac00 0000",
     Info(2, 0, T, 0), ""},
    {"OnePmkid", ("3026" + kRsnPskCcmp + "0100" + kPmkid), Info(2, C, C, PSK, 0, 1, 24), ""},
    {"PmkidCountZero", ("3016" + kRsnPskCcmp + "0000"), Info(2, C, C, PSK), ""},
    {"PmkidUnderflowStillDecodes", ("3026" + kRsnPskCcmp + "0200" + kPmkid), Info(2, C, C, PSK),
     "Function: PMKID underflow (num_pmkid=2 left=16)\n"
     "Function: ie has 16 trailing bytes - ignored"},
    {"OneByte", "30", kRefused, "Function: ie len too short 1"},
    {"Version2", "3002 0200", kRefused, ""},
    {"LengthByteDisagrees", "3003 0100", kRefused, ""},
    {"KeyManagementCountPastEnd", "3012 0100 000fac04 0100 000fac04 0200 000fac02", kRefused,
     "Function: ie count botch (key mgmt), count 2 left 4"},
};
INSTANTIATE_TEST_SUITE_P(Rsn, DecodeTest, testing::ValuesIn(kRsnRows), PrintRowName);

// Every cut of a valid element, its length byte kept or corrected, decoded
// from a buffer that goes on past the cut: once with the rest of the element,
// once with 0xff bytes. The bytes past the cut change nothing, and a cut whose
// length byte still claims the whole element is refused.
TEST(ParseSecurityElementTest, TruncatedElementsStayInsideTheirBytes) {
    for (const std::string& hex :
         {"3026" + kRsnPskCcmp + "0100" + kPmkid,
          std::string("dd18 0050f201 0100 0050f202 0100 0050f202 0100 0050f202 0c00")}) {
        const Bytes whole = Hex(hex);
        for (std::size_t n = 0; n <= whole.size(); ++n) {
            for (bool fixLength : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << hex << " cut at " << n << " fixed " << fixLength);
                Bytes withRest = whole, withJunk = whole;
                std::fill(withJunk.begin() + n, withJunk.end(), 0xff);
                if (fixLength && n >= 2) withRest[1] = withJunk[1] = std::uint8_t(n - 2);
                SecurityElementInfo restInfo, junkInfo;
                DebugRecorder debug;
                const int result = ParseSecurityElement(std::span(withRest).first(n), restInfo);
                const std::string restText = debug.Text();
                EXPECT_EQ(ParseSecurityElement(std::span(withJunk).first(n), junkInfo), result);
                EXPECT_EQ(debug.Text(), restText + (restText.empty() ? "" : "\n") + restText);
                EXPECT_EQ(restInfo, junkInfo);
                EXPECT_TRUE(fixLength || n == whole.size() || result == -1);
                EXPECT_TRUE(n < whole.size() || result == 0);
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

struct BuildRow {
    const char* name;
    bool rsn;
    std::uint32_t group, pairwise, keyManagement;
    const char* hex;                // the element, or nullptr when refused
    const char* refusal = nullptr;  // the warning when refused
};

void PrintTo(const BuildRow& row, std::ostream* os) {
    *os << row.name;
}

class BuildTest : public testing::TestWithParam<BuildRow> {};

// The station's default elements, byte for byte, decode back to the values
// they were built from; values an element cannot carry write nothing.
TEST_P(BuildTest, WritesTheElementOrRefusesWithAWarning) {
    const BuildRow& row = GetParam();
    std::array<std::uint8_t, 64> buffer{};
    DebugRecorder debug;
    const int length = row.rsn
                           ? BuildRsnElement(row.group, row.pairwise, row.keyManagement, buffer)
                           : BuildWpaElement(row.group, row.pairwise, row.keyManagement, buffer);
    if (row.hex == nullptr) {
        EXPECT_EQ(length, -1);
        EXPECT_EQ(buffer, (std::array<std::uint8_t, 64>{}));
        EXPECT_EQ(debug.lines,
                  (std::vector{std::pair<int, std::string>(WPA_MSG_WARNING, row.refusal)}));
        return;
    }
    ASSERT_EQ(length, static_cast<int>(Hex(row.hex).size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), Hex(row.hex));
    SecurityElementInfo info;
    ASSERT_EQ(ParseSecurityElement(std::span(buffer).first(length), info), 0);
    EXPECT_EQ(info, Info(row.rsn ? 2 : 1, row.pairwise, row.group, row.keyManagement));
}

const BuildRow kBuildRows[] = {
    {"WpaTkip", false, T, T, PSK, "dd16 0050f201 0100 0050f202 0100 0050f202 0100 0050f202"},
    {"WpaCcmp", false, C, C, PSK, "dd16 0050f201 0100 0050f204 0100 0050f204 0100 0050f202"},
    {"RsnCcmp", true, C, C, PSK, "3014 0100 000fac04 0100 000fac04 0100 000fac02 0000"},
    {"RsnTkip", true, T, T, PSK, "3014 0100 000fac02 0100 000fac02 0100 000fac02 0000"},
    {"WpaWep40GroupNonePairwiseWpaNone", false, CIPHER_WEP40, CIPHER_NONE, KEY_MGMT_WPA_NONE,
     "dd16 0050f201 0100 0050f201 0100 0050f200 0100 0050f200"},
    {"RsnWep104Group8021X", true, CIPHER_WEP104, C, EAP,
     "3014 0100 000fac05 0100 000fac04 0100 000fac01 0000"},
    {"WpaNoneGroup", false, CIPHER_NONE, T, PSK, nullptr, "Invalid group cipher (1)."},
    {"RsnTwoGroups", true, T | C, C, PSK, nullptr, "Invalid group cipher (24)."},
    {"WpaWep40Pairwise", false, T, CIPHER_WEP40, PSK, nullptr, "Invalid pairwise cipher (2)."},
    {"RsnWep104Pairwise", true, C, CIPHER_WEP104, PSK, nullptr, "Invalid pairwise cipher (4)."},
    {"WpaTwoKeyManagements", false, T, T, PSK | EAP, nullptr, "Invalid key management type (3)."},
    {"RsnWpaNone", true, C, C, KEY_MGMT_WPA_NONE, nullptr, "Invalid key management type (16)."},
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

}  // namespace
}  // namespace tarvik
