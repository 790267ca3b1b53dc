// The small structures: SSID, keys, association information, configuration.
#include <gtest/gtest.h>

#include <vector>

#include "ndis/AssociationInformation.h"
#include "ndis/ByteOrder.h"
#include "ndis/Configuration.h"
#include "ndis/Keys.h"
#include "ndis/Ssid.h"
#include "tests/support/HexBytes.h"

namespace tarvik::ndis {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

TEST(SsidTest, BuildsThirtySixBytesAndRefusesLengthsThatDoNotFit) {
    EXPECT_EQ(BuildSsid("Harkonen"), Hex("08000000 4861726b6f6e656e" + std::string(48, '0')));
    EXPECT_EQ(ParseSsid(*BuildSsid("Harkonen")), Bytes({'H', 'a', 'r', 'k', 'o', 'n', 'e', 'n'}));
    EXPECT_FALSE(BuildSsid(std::string(33, 's')));
    EXPECT_EQ(BuildSsid(std::string(32, 's'))->size(), 36u);
    NdisError error = NdisError::None;
    EXPECT_FALSE(ParseSsid(Bytes{7, 0, 0}, &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
    EXPECT_FALSE(ParseSsid(Hex("21000000" + std::string(64, '0')), &error));
    EXPECT_EQ(error, NdisError::ValueTooLong);
    EXPECT_FALSE(ParseSsid(Bytes{5, 0, 0, 0, 'a', 'b'}, &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
    EXPECT_EQ(ParseSsid(Bytes{2, 0, 0, 0, 'a', 'b'}, &error), Bytes({'a', 'b'}));
}

TEST(KeyTest, KeysHaveThePublishedLayoutAndRoundTrip) {
    Key80211 wep{kKeyIndexTransmit, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, 0, Bytes(13, 0x5a)};
    EXPECT_EQ(BuildKey(wep), Hex("2d000000 00000080 0d000000 ffffffffffff 000000000000"
                                 "0000000000000000 5a5a5a5a5a5a5a5a5a5a5a5a5a"));
    EXPECT_EQ(ParseKey(BuildKey(wep)), wep);
    Key80211 pairwise{kKeyIndexTransmit | kKeyIndexPairwise | kKeyIndexRscValid,
                      {0x00, 0x0c, 0x41, 0x82, 0xb2, 0x55},
                      0x060504030201,
                      Bytes(32, 0x11)};
    const Bytes b = BuildKey(pairwise);
    EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 8), Hex("000000e0"));
    EXPECT_EQ(Bytes(b.begin() + 24, b.begin() + 32), Hex("0102030405060000"));
    EXPECT_EQ(ParseKey(b), pairwise);
    const Wep80211 wepKey{kKeyIndexTransmit | 1, Bytes{1, 2, 3, 4, 5}};
    EXPECT_EQ(BuildWep(wepKey), Hex("11000000 01000080 05000000 0102030405"));
    EXPECT_EQ(ParseWep(BuildWep(wepKey)), wepKey);
}

TEST(KeyTest, KeyAndWepRefuseBadLengths) {
    const struct {
        std::size_t size;
        std::uint32_t length, keyLength;
        NdisError expected;
    } rows[] = {
        {0, 0, 0, NdisError::TruncatedHeader},       {31, 31, 0, NdisError::TruncatedHeader},
        {45, 20, 0, NdisError::LengthFieldMismatch}, {45, 46, 13, NdisError::LengthFieldMismatch},
        {45, 45, 14, NdisError::ValueTooLong},       {45, 45, 0xFFFFFFFF, NdisError::ValueTooLong}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << " bytes, Length " << row.length);
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
        if (w.size() < 12) continue;
        StoreLe32(&w[0], row.length >= 20 ? row.length - 20 : 0);
        StoreLe32(&w[8], row.keyLength);
        EXPECT_FALSE(ParseWep(w, &error));
        EXPECT_EQ(error, row.expected);
    }
}

TEST(AssociationInformationTest, PublishedLayoutAndRegionsInsideTheBuffer) {
    // Request: capabilities and listen interval; response: association id.
    const AssociationInformation info{
        3,      0x0431, 10,     {1, 2, 3, 4, 5, 6},       4,
        0x0411, 0,      0xC001, {0, 1, 'x', 48, 2, 1, 0}, {1, 1, 0x82}};
    const Bytes good = BuildAssociationInformation(info);
    EXPECT_EQ(good, Hex("28000000 0300 3104 0a00 010203040506 07000000 28000000"
                        "0400 1104 0000 01c0 03000000 2f000000 00017830020100 010182"));
    EXPECT_EQ(ParseAssociationInformation(good), info);

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
    EXPECT_EQ(BuildConfiguration(config),
              Hex("20000000 64000000 02000000 600a4f00 10000000 01000000 02000000 03000000"));
    EXPECT_EQ(ParseConfiguration(BuildConfiguration(config)), config);
    NdisError error = NdisError::None;
    EXPECT_FALSE(ParseConfiguration(Bytes(31, 0), &error));
    EXPECT_EQ(error, NdisError::TruncatedHeader);
}

}  // namespace
}  // namespace tarvik::ndis
