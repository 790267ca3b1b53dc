#include "networks/Bssid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/core/LogCapture.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

constexpr std::int32_t kNow = 1700000000;

// Any one byte makes another BSSID; a match counts as a sighting.
TEST(BssidTest, MatchesOnlyItsBssid) {
    CBssid record(Entry(Fields(0x01, -40)), 7, kNow);
    for (std::size_t i = 0; i < 6; ++i) {
        ndis::BssidEntryFields other = Fields();
        other.macAddress[i] ^= 0x01;
        EXPECT_FALSE(record.MatchesEntry(Entry(other), 8)) << i;
    }
    EXPECT_EQ(record.LastSeenScan(), 7u);
    ndis::BssidEntryFields same = Fields(0x01, -90);
    same.SetSsid("other");
    EXPECT_TRUE(record.MatchesEntry(Entry(same), 8));
    EXPECT_EQ(record.LastSeenScan(), 8u);
}

TEST(BssidTest, OversizedEntryIsStillTakenWhole) {
    Bytes vendor = Hex("dd c8 00 10 18 02");  // 202 bytes of a vendor element
    vendor.resize(202, 0x55);
    std::vector<Bytes> elements(50, vendor);
    elements.push_back(kWpaPskTkip);
    const ndis::BssidEntry entry = SecuredEntry(elements);
    ASSERT_GT(entry.Length(), kLargeEntryLength);
    TempFolder folder;
    LogCapture log(folder.Path());
    CBssid record(entry, 1, kNow);
    EXPECT_THAT(
        log.Messages(),
        ::testing::ElementsAre("App: Warn: pBssid reported to be over 10000 bytes long, ignoring"));
    ASSERT_NE(record.Entry(), nullptr);
    EXPECT_EQ(*record.Entry(), entry);
    EXPECT_TRUE(record.IsWpa());
}

// Which element's summary the record keeps; an element that runs past the
// end ends the walk, and what came before it stands.
TEST(BssidTest, ElementWalkKeepsTheWinningElement) {
    const Bytes wpaCcmp = Hex("dd160050f20101000050f20401000050f20401000050f202");
    const struct {
        const char* name;
        std::vector<Bytes> elements;
        std::uint32_t protocol;  // 0: nothing decoded
        std::uint32_t pairwise;
    } rows[] = {
        {"NoElements", {}, 0, 0},
        {"WpaThenOtherVendor", {kWpaPskTkip, kWmm}, SECURITY_PROTOCOL_WPA, CIPHER_TKIP},
        {"RsnBeforeWpa", {kRsnPskCcmp, kWpaPskTkip}, SECURITY_PROTOCOL_RSN, CIPHER_CCMP},
        {"WpaBeforeRsn", {kWpaPskTkip, kRsnPskCcmp}, SECURITY_PROTOCOL_RSN, CIPHER_CCMP},
        {"LaterOfTwoWpaWins", {kWpaPskTkip, wpaCcmp}, SECURITY_PROTOCOL_WPA, CIPHER_CCMP},
        {"BadRsnLetsWpaStand", {Hex("3002 0200"), kWpaPskTkip}, SECURITY_PROTOCOL_WPA, CIPHER_TKIP},
        {"ElementPastTheEnd",
         {kWpaPskTkip, Hex("3014 0100 000fac04")},
         SECURITY_PROTOCOL_WPA,
         CIPHER_TKIP}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const CBssid record(SecuredEntry(row.elements), 1, kNow);
        EXPECT_EQ(record.HasSecurityElement(), row.protocol != 0);
        if (row.protocol == 0) continue;
        EXPECT_EQ(record.Security().protocol, row.protocol);
        EXPECT_EQ(record.Security().pairwiseCiphers, row.pairwise);
    }
}

// An update without tagged elements drops the decoded element: WEP again.
TEST(BssidTest, SecurityClassesAndBands) {
    const Bytes pairwiseNone = Hex("dd160050f20101000050f20201000050f20001000050f202");
    const std::pair<ndis::BssidEntry, int> classes[] = {
        {Entry(Fields()), SECURITY_CLASS_OPEN},
        {SecuredEntry({}), SECURITY_CLASS_WEP},
        {SecuredEntry({kWpaPskTkip}), SECURITY_CLASS_WPA},
        {SecuredEntry({kRsnPskCcmp}), SECURITY_CLASS_WPA2},
        {SecuredEntry({pairwiseNone}), SECURITY_CLASS_NONE}};
    for (const auto& [entry, expected] : classes) {
        EXPECT_EQ(CBssid(entry, 1, kNow).SecurityClass(), expected) << expected;
    }
    CBssid record(SecuredEntry({kWpaPskTkip}), 1, kNow);
    ASSERT_TRUE(record.UpdateFromEntry(SecuredEntry({}), kNow));
    ASSERT_EQ(record.Entry()->IeLength(), 12u);
    EXPECT_FALSE(record.HasSecurityElement());
    EXPECT_TRUE(record.IsWep());
    const std::pair<std::uint32_t, const char*> bands[] = {{ndis::Ndis802_11FH, "b"},
                                                           {ndis::Ndis802_11DS, "b"},
                                                           {ndis::Ndis802_11OFDM5, "a"},
                                                           {ndis::Ndis802_11OFDM24, "g"},
                                                           {ndis::Ndis802_11Automode, ""}};
    for (const auto& [type, expected] : bands) {
        ndis::BssidEntryFields fields = Fields();
        fields.networkTypeInUse = type;
        const CBssid band(Entry(fields), 1, kNow);
        EXPECT_EQ(std::string(band.Is80211a() ? "a" : "") + (band.Is80211b() ? "b" : "") +
                      (band.Is80211g() ? "g" : ""),
                  expected);
    }
}

TEST(BssidTest, ScoreFollowsTheAverageAndTheAge) {
    const auto score = [](std::int32_t rssi, std::uint32_t mode = ndis::Ndis802_11Infrastructure) {
        ndis::BssidEntryFields fields = Fields(0x01, rssi);
        fields.infrastructureMode = mode;
        return CBssid(Entry(fields), 100, kNow).Score(100);
    };
    // Not clamped above -10 dBm; ad hoc and automatic networks score half.
    for (const auto& [rssi, expected] :
         {std::pair{-40, 85}, {-60, 74}, {-100, 53}, {-200, 0}, {-10, 100}, {0, 105}}) {
        EXPECT_EQ(score(rssi), expected) << rssi;
    }
    EXPECT_EQ(score(-40, ndis::Ndis802_11IBSS), 42);
    CBssid record(Entry(Fields(0x01, -10)), 100, kNow);
    EXPECT_EQ(record.Score(110), 100);
    EXPECT_EQ(record.Score(111), 0);
    record.ToggleNotSuitableForHopping();
    EXPECT_EQ(record.Score(100), 0);
    record.ToggleNotSuitableForHopping();
    EXPECT_EQ(record.Score(100), 100);
    EXPECT_EQ(CBssid(SecuredEntry({}), 1, kNow).Score(1), 0);
}

}  // namespace
}  // namespace tarvik
