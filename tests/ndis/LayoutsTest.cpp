// The small structures: SSID, keys, association information, configuration.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "ndis/AssociationInformation.h"
#include "ndis/ByteOrder.h"
#include "ndis/Configuration.h"
#include "ndis/Keys.h"
#include "ndis/Ssid.h"

namespace tarvik::ndis {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SsidTest, BuildsThirtySixBytesAndParsesBack) {
    const auto bytes = BuildSsid("Harkonen");
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 36u);
    EXPECT_EQ(LoadLe32(bytes->data()), 8u);
    EXPECT_EQ((*bytes)[4], 'H');
    EXPECT_EQ((*bytes)[12], 0);
    EXPECT_EQ(ParseSsid(*bytes), Bytes({'H', 'a', 'r', 'k', 'o', 'n', 'e', 'n'}));
    EXPECT_FALSE(BuildSsid(std::string(33, 's')));
    EXPECT_EQ(BuildSsid(std::string(32, 's'))->size(), 36u);
}

TEST(SsidTest, RefusesLengthsThatDoNotFit) {
    NdisError error = NdisError::None;
    EXPECT_FALSE(ParseSsid(Bytes{7, 0, 0}, &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
    Bytes tooLong(36, 0);
    tooLong[0] = 33;
    EXPECT_FALSE(ParseSsid(tooLong, &error));
    EXPECT_EQ(error, NdisError::ValueTooLong);
    EXPECT_FALSE(ParseSsid(Bytes{5, 0, 0, 0, 'a', 'b'}, &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
    EXPECT_EQ(ParseSsid(Bytes{2, 0, 0, 0, 'a', 'b'}, &error), Bytes({'a', 'b'}));
    EXPECT_EQ(error, NdisError::None);
}

TEST(KeyTest, WepKeyForTheAdapterHasThePublishedLayout) {
    Key80211 key;
    key.keyIndex = kKeyIndexTransmit;
    key.bssid = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    key.keyMaterial = Bytes(13, 0x5a);
    const Bytes b = BuildKey(key);
    ASSERT_EQ(b.size(), 45u);
    EXPECT_EQ(LoadLe32(&b[0]), 45u);
    EXPECT_EQ(LoadLe32(&b[4]), 0x80000000u);
    EXPECT_EQ(LoadLe32(&b[8]), 13u);
    EXPECT_EQ(b[12], 0xff);
    EXPECT_EQ(b[17], 0xff);
    EXPECT_EQ(Bytes(b.begin() + 18, b.begin() + 32), Bytes(14, 0));  // padding, RSC 0
    EXPECT_EQ(b[32], 0x5a);
    EXPECT_EQ(ParseKey(b), key);
}

TEST(KeyTest, PairwiseKeyWithRscRoundTrips) {
    Key80211 key;
    key.keyIndex = kKeyIndexTransmit | kKeyIndexPairwise | kKeyIndexRscValid;
    key.bssid = {0x00, 0x0c, 0x41, 0x82, 0xb2, 0x55};
    key.keyRsc = 0x060504030201;
    key.keyMaterial = Bytes(32, 0x11);
    const Bytes b = BuildKey(key);
    EXPECT_EQ(Bytes(b.begin() + 24, b.begin() + 32), Bytes({1, 2, 3, 4, 5, 6, 0, 0}));
    EXPECT_EQ(LoadLe32(&b[4]), 0xE0000000u);
    EXPECT_EQ(ParseKey(b), key);
}

struct BadKeyRow {
    const char* name;
    std::size_t size;
    std::uint32_t length;
    std::uint32_t keyLength;
    NdisError expected;
};

// Rows print as their names in test listings.
void PrintTo(const BadKeyRow& row, std::ostream* os) {
    *os << row.name;
}

class BadKeyTest : public testing::TestWithParam<BadKeyRow> {};

TEST_P(BadKeyTest, KeyAndWepRefuseBadLengths) {
    const BadKeyRow& row = GetParam();
    Bytes b(row.size, 0);
    if (b.size() >= 12) {
        StoreLe32(&b[0], row.length);
        StoreLe32(&b[8], row.keyLength);
    }
    NdisError error = NdisError::None;
    EXPECT_FALSE(ParseKey(b, &error));
    EXPECT_EQ(error, row.expected);
    // The same numbers relative to the WEP structure's 12-byte fixed part.
    Bytes w(row.size >= 20 ? row.size - 20 : 0, 0);
    if (w.size() >= 12) {
        StoreLe32(&w[0], row.length >= 20 ? row.length - 20 : 0);
        StoreLe32(&w[8], row.keyLength);
        EXPECT_FALSE(ParseWep(w, &error));
        EXPECT_EQ(error, row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadKeyTest,
    testing::Values(BadKeyRow{"Empty", 0, 0, 0, NdisError::TruncatedHeader},
                    BadKeyRow{"FixedPartCut", 31, 31, 0, NdisError::TruncatedHeader},
                    BadKeyRow{"LengthBelowFixedPart", 45, 20, 0, NdisError::LengthFieldMismatch},
                    BadKeyRow{"LengthPastBytes", 45, 46, 13, NdisError::LengthFieldMismatch},
                    BadKeyRow{"KeyLengthPastLength", 45, 45, 14, NdisError::ValueTooLong},
                    BadKeyRow{"KeyLengthHuge", 45, 45, 0xFFFFFFFF, NdisError::ValueTooLong}),
    [](const testing::TestParamInfo<BadKeyRow>& info) { return info.param.name; });

TEST(WepTest, RoundTripsWithTheKeyBehindTwelveBytes) {
    const Wep80211 wep{kKeyIndexTransmit | 1, Bytes{1, 2, 3, 4, 5}};
    const Bytes b = BuildWep(wep);
    ASSERT_EQ(b.size(), 17u);
    EXPECT_EQ(LoadLe32(&b[0]), 17u);
    EXPECT_EQ(LoadLe32(&b[8]), 5u);
    EXPECT_EQ(b[12], 1);
    EXPECT_EQ(ParseWep(b), wep);
}

AssociationInformation SampleAssociation() {
    AssociationInformation info;
    info.availableRequestFixedIes =
        NDIS_802_11_AI_REQFI_CAPABILITIES | NDIS_802_11_AI_REQFI_LISTENINTERVAL;
    info.requestCapabilities = 0x0431;
    info.listenInterval = 10;
    info.currentApAddress = {1, 2, 3, 4, 5, 6};
    info.availableResponseFixedIes = NDIS_802_11_AI_RESFI_ASSOCIATIONID;
    info.responseCapabilities = 0x0411;
    info.statusCode = 0;
    info.associationId = 0xC001;
    info.requestIes = {0, 1, 'x', 48, 2, 1, 0};
    info.responseIes = {1, 1, 0x82};
    return info;
}

TEST(AssociationInformationTest, HeaderOffsetsAndRoundTrip) {
    const Bytes b = BuildAssociationInformation(SampleAssociation());
    ASSERT_EQ(b.size(), 40u + 7 + 3);
    EXPECT_EQ(LoadLe32(&b[0]), 40u);
    EXPECT_EQ(LoadLe16(&b[4]), 3u);
    EXPECT_EQ(LoadLe16(&b[6]), 0x0431u);
    EXPECT_EQ(LoadLe16(&b[8]), 10u);
    EXPECT_EQ(b[10], 1);
    EXPECT_EQ(b[15], 6);
    EXPECT_EQ(LoadLe32(&b[16]), 7u);
    EXPECT_EQ(LoadLe32(&b[20]), 40u);
    EXPECT_EQ(LoadLe16(&b[24]), 4u);
    EXPECT_EQ(LoadLe16(&b[26]), 0x0411u);
    EXPECT_EQ(LoadLe16(&b[30]), 0xC001u);
    EXPECT_EQ(LoadLe32(&b[32]), 3u);
    EXPECT_EQ(LoadLe32(&b[36]), 47u);
    EXPECT_EQ(b[40], 0);
    EXPECT_EQ(b[47], 1);
    EXPECT_EQ(ParseAssociationInformation(b), SampleAssociation());
}

TEST(AssociationInformationTest, RefusesRegionsOutsideTheBuffer) {
    const Bytes good = BuildAssociationInformation(SampleAssociation());
    NdisError error = NdisError::None;
    EXPECT_FALSE(ParseAssociationInformation(Bytes(good.begin(), good.begin() + 39), &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
    EXPECT_FALSE(ParseAssociationInformation(Bytes(good.begin(), good.end() - 1), &error));
    EXPECT_EQ(error, NdisError::RegionPastBuffer);
    for (std::size_t field : {16u, 20u, 32u, 36u}) {
        Bytes bad = good;
        StoreLe32(&bad[field], 0xFFFFFFF8);  // offset + length wraps in 32 bits
        EXPECT_FALSE(ParseAssociationInformation(bad, &error)) << field;
        EXPECT_EQ(error, NdisError::RegionPastBuffer);
    }
}

TEST(ConfigurationTest, RoundTripsAndNeedsThirtyTwoBytes) {
    const Configuration80211 config{100, 2, 5180000, {1, 2, 3}};
    const Bytes b = BuildConfiguration(config);
    ASSERT_EQ(b.size(), 32u);
    EXPECT_EQ(LoadLe32(&b[0]), 32u);
    EXPECT_EQ(LoadLe32(&b[12]), 5180000u);
    EXPECT_EQ(LoadLe32(&b[16]), 16u);
    EXPECT_EQ(ParseConfiguration(b), config);
    NdisError error = NdisError::None;
    EXPECT_FALSE(ParseConfiguration(Bytes(31, 0), &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
}

}  // namespace
}  // namespace tarvik::ndis
