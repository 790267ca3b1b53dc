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

// The adapter capabilities and refusals of the rows below.
constexpr std::uint32_t kAes = ENCRYPTION_CAPABILITY_AES, kTkip = ENCRYPTION_CAPABILITY_TKIP;
constexpr std::uint32_t kWep = ENCRYPTION_CAPABILITY_WEP, kNone = ENCRYPTION_CAPABILITY_NONE;
constexpr const char* kEnterprise =
    "is using IEEE 802.1X/EAP key management, which is not supported.";
std::string Missing(const std::string& suite) {
    return "requires " + suite +
           " cipher suite, which is not available on the chosen wireless device.";
}

// The classes a network is in, e.g. "wpa2 km" (km: key management supported).
std::string Classes(const NetworkSecurity& n) {
    const std::string all = std::string(IsOpenNetwork(n) ? " open" : "") +
                            (IsWepNetwork(n) ? " wep" : "") + (IsWpaNetwork(n) ? " wpa" : "") +
                            (IsWpa2Network(n) ? " wpa2" : "") +
                            (IsKeyManagementSupported(n) ? " km" : "");
    return all.empty() ? all : all.substr(1);
}

// How a network is classified, what ChooseCipherLevel picks and what
// CheckNetworkSupported then shows.
struct AdmissionRow {
    const char* name;
    NetworkSecurity network;
    const char* classes;
    std::uint32_t capability;
    Result result;
    std::uint32_t level;  // CIPHER_LEVEL_*, checked when the result is RES_SUCCESS
    std::string refusal;  // after "Selected network Lab %s net "; "" when let through
};

void PrintTo(const AdmissionRow& row, std::ostream* os) {
    *os << row.name;
}

class AdmissionTest : public testing::TestWithParam<AdmissionRow> {};

TEST_P(AdmissionTest, ClassifiesPicksTheLevelOrShowsWhatIsMissing) {
    const AdmissionRow& row = GetParam();
    EXPECT_EQ(Classes(row.network), row.classes);
    constexpr std::uint32_t kUntouched = 0xABCD;
    std::uint32_t level = kUntouched;
    EXPECT_EQ(ChooseCipherLevel({row.capability}, row.network, level), row.result);
    EXPECT_EQ(level, row.result == RES_SUCCESS ? row.level : kUntouched);

    std::vector<std::string> shown;
    EXPECT_EQ(CheckNetworkSupported({row.capability}, row.network, "Lab %s net", "IEEE 802.1X/EAP",
                                    [&shown](const std::string& text) { shown.push_back(text); }),
              row.refusal.empty() ? 1 : 0);
    EXPECT_EQ(shown, row.refusal.empty()
                         ? std::vector<std::string>{}
                         : std::vector{"Selected network Lab %s net " + row.refusal});
}

const AdmissionRow kAdmissionRows[] = {
    {"OpenOnAnyAdapter", Network(0), "open", kNone, RES_SUCCESS, CIPHER_LEVEL_OPEN, ""},
    {"WepNeedsEncryption", Network(1), "wep km", kNone, RES_WEP_NOT_AVAILABLE, 0, Missing("WEP")},
    {"WepOnWepAdapter", Network(1), "wep km", kWep, RES_SUCCESS, CIPHER_LEVEL_WEP, ""},
    {"TkipGroupLimitsToTkip", Decoded(1, T | C, T), "wpa km", kAes, RES_SUCCESS, CIPHER_LEVEL_TKIP,
     ""},
    {"CcmpOnAesAdapter", Decoded(2, C, C), "wpa2 km", kAes, RES_SUCCESS, CIPHER_LEVEL_CCMP, ""},
    {"CcmpFallsBackToTkip", Decoded(2, C, C), "wpa2 km", kTkip, RES_SUCCESS, CIPHER_LEVEL_TKIP, ""},
    {"CcmpOnWepAdapter", Decoded(2, C, C), "wpa2 km", kWep, RES_CCMP_NOT_AVAILABLE, 0,
     Missing("CCMP")},
    {"TkipOnWepAdapter", Decoded(1, T, T), "wpa km", kWep, RES_TKIP_NOT_AVAILABLE, 0,
     Missing("TKIP")},
    {"TkipOnTkipAdapter", Decoded(1, T, T), "wpa km", kTkip, RES_SUCCESS, CIPHER_LEVEL_TKIP, ""},
    {"EnterpriseWpaIsRefused", Decoded(1, T, T, KEY_MGMT_IEEE8021X), "wpa", kAes, RES_SUCCESS,
     CIPHER_LEVEL_TKIP, kEnterprise},
    {"WepGroupIsNoWpaConfiguration", Decoded(1, C, CIPHER_WEP40), "wpa km", kAes,
     RES_NO_USABLE_WPA_CONFIGURATION, 0, ""},
    {"NeitherWepNorWpa", Decoded(2, CIPHER_NONE, C), "", kAes, RES_NO_USABLE_WPA_CONFIGURATION, 0,
     ""},
    {"Wpa2EnterpriseIsRefused", Decoded(2, C, C, KEY_MGMT_IEEE8021X), "wpa2", kAes, RES_SUCCESS,
     CIPHER_LEVEL_CCMP, kEnterprise},
    {"WpaWithWepPairwiseIsBoth", Decoded(1, CIPHER_WEP40 | T, T, KEY_MGMT_IEEE8021X), "wep wpa km",
     kAes, RES_SUCCESS, CIPHER_LEVEL_WEP, ""},
    {"OddPrivacyValueIsNothing", Network(2), "", kAes, RES_NO_USABLE_WPA_CONFIGURATION, 0, ""},
    {"UnknownGroupCipher", Decoded(2, C, 0), "wpa2 km", kAes, RES_FAILURE, 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Networks, AdmissionTest, testing::ValuesIn(kAdmissionRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik
