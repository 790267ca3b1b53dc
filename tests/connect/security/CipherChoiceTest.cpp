#include "connect/CipherChoice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/LogCapture.h"

namespace tarvik {
namespace {

constexpr std::uint32_t T = CIPHER_TKIP;
constexpr std::uint32_t C = CIPHER_CCMP;

NetworkSecurity Network(std::uint32_t privacy) {
    return {privacy, false, {}};
}

NetworkSecurity Decoded(std::uint32_t protocol, std::uint32_t pairwise, std::uint32_t group,
                        std::uint32_t keyManagement = KEY_MGMT_PSK) {
    return {1, true, {protocol, pairwise, group, keyManagement, 0, 0, PMKID_NONE}};
}

struct ClassRow {
    const char* name;
    NetworkSecurity network;
    bool open, wep, wpa, wpa2, keyManagementSupported;
};

void PrintTo(const ClassRow& row, std::ostream* os) {
    *os << row.name;
}

class ClassificationTest : public testing::TestWithParam<ClassRow> {};

TEST_P(ClassificationTest, FollowsPrivacyAndTheDecodedElement) {
    const ClassRow& row = GetParam();
    EXPECT_EQ(IsOpenNetwork(row.network), row.open);
    EXPECT_EQ(IsWepNetwork(row.network), row.wep);
    EXPECT_EQ(IsWpaNetwork(row.network), row.wpa);
    EXPECT_EQ(IsWpa2Network(row.network), row.wpa2);
    EXPECT_EQ(IsKeyManagementSupported(row.network), row.keyManagementSupported);
}

const ClassRow kClassRows[] = {
    {"Open", Network(0), true, false, false, false, false},
    {"PrivacyWithoutElementIsWep", Network(1), false, true, false, false, true},
    {"WpaPsk", Decoded(1, T, T), false, false, true, false, true},
    {"Wpa2Psk", Decoded(2, C, C), false, false, false, true, true},
    {"Wpa2EnterpriseOnly", Decoded(2, C, C, KEY_MGMT_IEEE8021X), false, false, false, true, false},
    {"WpaWithWepPairwiseIsBoth", Decoded(1, CIPHER_WEP40 | T, T, KEY_MGMT_IEEE8021X), false, true,
     true, false, true},
    {"PairwiseNoneOnlyIsNothing", Decoded(2, CIPHER_NONE, C), false, false, false, false, false},
    {"OddPrivacyValueIsNothing", Network(2), false, false, false, false, false},
};
INSTANTIATE_TEST_SUITE_P(Networks, ClassificationTest, testing::ValuesIn(kClassRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BestUsableCipherTest, IsTheWeakerOfTheBestPairwiseAndGroupCipher) {
    EXPECT_EQ(BestUsableCipher(Decoded(1, T | C, T)), static_cast<int>(T));
    EXPECT_EQ(BestUsableCipher(Decoded(2, C, C)), static_cast<int>(C));
    EXPECT_EQ(BestUsableCipher(Decoded(1, C, CIPHER_WEP40)), static_cast<int>(CIPHER_WEP40));
    EXPECT_EQ(BestUsableCipher(Decoded(1, CIPHER_WEP104 | CIPHER_WEP40, CIPHER_WEP104)),
              static_cast<int>(CIPHER_WEP104));
}

TEST(BestUsableCipherTest, LogsWhenThereIsNone) {
    const NetworkSecurity networks[] = {Decoded(2, CIPHER_NONE, C), Decoded(2, C, 0), Network(1)};
    for (const NetworkSecurity& network : networks) {
        TempFolder folder;
        LogCapture log(folder.Path());
        EXPECT_EQ(BestUsableCipher(network), -1);
        EXPECT_THAT(
            log.Messages(),
            ::testing::ElementsAre(
                "App: Error: Error determining the best usable group and pairwise ciphers"));
    }
}

struct LevelRow {
    const char* name;
    NetworkSecurity network;
    std::uint32_t capability;
    Result result;
    std::uint32_t level;  // checked when the result is RES_SUCCESS
};

void PrintTo(const LevelRow& row, std::ostream* os) {
    *os << row.name;
}

class ChooseCipherLevelTest : public testing::TestWithParam<LevelRow> {};

TEST_P(ChooseCipherLevelTest, PicksTheLevelOrTellsWhatIsMissing) {
    const LevelRow& row = GetParam();
    constexpr std::uint32_t kUntouched = 0xABCD;
    std::uint32_t level = kUntouched;
    EXPECT_EQ(ChooseCipherLevel({row.capability}, row.network, level), row.result);
    EXPECT_EQ(level, row.result == RES_SUCCESS ? row.level : kUntouched);
}

const LevelRow kLevelRows[] = {
    {"OpenOnAnyAdapter", Network(0), ENCRYPTION_CAPABILITY_NONE, RES_SUCCESS, CIPHER_LEVEL_OPEN},
    {"WepNeedsEncryption", Network(1), ENCRYPTION_CAPABILITY_NONE, RES_WEP_NOT_AVAILABLE, 0},
    {"WepOnWepAdapter", Network(1), ENCRYPTION_CAPABILITY_WEP, RES_SUCCESS, CIPHER_LEVEL_WEP},
    {"TkipGroupLimitsToTkip", Decoded(1, T | C, T), ENCRYPTION_CAPABILITY_AES, RES_SUCCESS,
     CIPHER_LEVEL_TKIP},
    {"CcmpOnAesAdapter", Decoded(2, C, C), ENCRYPTION_CAPABILITY_AES, RES_SUCCESS,
     CIPHER_LEVEL_CCMP},
    {"CcmpFallsBackToTkip", Decoded(2, C, C), ENCRYPTION_CAPABILITY_TKIP, RES_SUCCESS,
     CIPHER_LEVEL_TKIP},
    {"CcmpOnWepAdapter", Decoded(2, C, C), ENCRYPTION_CAPABILITY_WEP, RES_CCMP_NOT_AVAILABLE, 0},
    {"TkipOnWepAdapter", Decoded(1, T, T), ENCRYPTION_CAPABILITY_WEP, RES_TKIP_NOT_AVAILABLE, 0},
    {"TkipOnTkipAdapter", Decoded(1, T, T), ENCRYPTION_CAPABILITY_TKIP, RES_SUCCESS,
     CIPHER_LEVEL_TKIP},
    {"WepGroupIsNoWpaConfiguration", Decoded(1, C, CIPHER_WEP40), ENCRYPTION_CAPABILITY_AES,
     RES_NO_USABLE_WPA_CONFIGURATION, 0},
    {"NeitherWepNorWpa", Decoded(2, CIPHER_NONE, C), ENCRYPTION_CAPABILITY_AES,
     RES_NO_USABLE_WPA_CONFIGURATION, 0},
    {"UnknownGroupCipher", Decoded(2, C, 0), ENCRYPTION_CAPABILITY_AES, RES_FAILURE, 0},
};
INSTANTIATE_TEST_SUITE_P(Networks, ChooseCipherLevelTest, testing::ValuesIn(kLevelRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct SupportRow {
    const char* name;
    NetworkSecurity network;
    std::uint32_t capability;
    int result;
    const char* shown;  // "" when nothing is shown
};

void PrintTo(const SupportRow& row, std::ostream* os) {
    *os << row.name;
}

class CheckNetworkSupportedTest : public testing::TestWithParam<SupportRow> {};

TEST_P(CheckNetworkSupportedTest, RefusesWithTheMessageOrLetsThrough) {
    const SupportRow& row = GetParam();
    std::vector<std::string> shown;
    const int result =
        CheckNetworkSupported({row.capability}, row.network, "Lab %s net", "IEEE 802.1X/EAP",
                              [&shown](const std::string& text) { shown.push_back(text); });
    EXPECT_EQ(result, row.result);
    if (*row.shown == '\0') {
        EXPECT_TRUE(shown.empty());
    } else {
        EXPECT_EQ(shown, std::vector<std::string>{row.shown});
    }
}

const SupportRow kSupportRows[] = {
    {"EnterpriseWpa", Decoded(1, T, T, KEY_MGMT_IEEE8021X), ENCRYPTION_CAPABILITY_AES, 0,
     "Selected network Lab %s net is using IEEE 802.1X/EAP key management, which is not "
     "supported."},
    {"NoWepOnAdapter", Network(1), ENCRYPTION_CAPABILITY_NONE, 0,
     "Selected network Lab %s net requires WEP cipher suite, which is not available on the "
     "chosen wireless device."},
    {"NoCcmpOnAdapter", Decoded(2, C, C), ENCRYPTION_CAPABILITY_WEP, 0,
     "Selected network Lab %s net requires CCMP cipher suite, which is not available on the "
     "chosen wireless device."},
    {"NoTkipOnAdapter", Decoded(1, T, T), ENCRYPTION_CAPABILITY_NONE, 0,
     "Selected network Lab %s net requires TKIP cipher suite, which is not available on the "
     "chosen wireless device."},
    {"SupportedWpa2", Decoded(2, C, C), ENCRYPTION_CAPABILITY_TKIP, 1, ""},
    {"OpenNetwork", Network(0), ENCRYPTION_CAPABILITY_NONE, 1, ""},
    {"NoUsableConfigurationGoesOn", Decoded(2, CIPHER_NONE, C), ENCRYPTION_CAPABILITY_AES, 1, ""},
    {"UndeterminedCiphersGoOn", Decoded(2, C, 0), ENCRYPTION_CAPABILITY_AES, 1, ""},
};
INSTANTIATE_TEST_SUITE_P(Networks, CheckNetworkSupportedTest, testing::ValuesIn(kSupportRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik
