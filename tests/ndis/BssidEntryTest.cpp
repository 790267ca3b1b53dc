#include "ndis/BssidEntry.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {
namespace {

BssidEntryFields SampleFields() {
    BssidEntryFields f;
    f.macAddress = {0x00, 0x0c, 0x41, 0x82, 0xb2, 0x55};
    f.SetSsid("linksys");
    f.privacy = 1;
    f.rssi = -67;
    f.networkTypeInUse = Ndis802_11OFDM24;
    f.configuration = {100, 3, 2437000, {7, 2, 390}};
    f.infrastructureMode = Ndis802_11Infrastructure;
    f.supportedRates = {0x82, 0x84, 0x8b, 0x96, 0x24, 0x30, 0x48, 0x6c};
    f.timestamp = 0x0102030405060708;
    f.beaconInterval = 100;
    f.capabilityInfo = 0x0411;
    f.elements = {0x00, 0x07, 'l', 'i', 'n', 'k', 's', 'y', 's', 0x03, 0x01, 0x06};
    return f;
}

TEST(BssidEntryTest, BuildPlacesFieldsAtPublishedOffsets) {
    const std::vector<std::uint8_t> b = BuildBssidEntry(SampleFields());
    // 116 fixed + 12 fixed IE bytes + 12 element bytes = 140, already aligned.
    ASSERT_EQ(b.size(), 140u);
    EXPECT_EQ(LoadLe32(&b[0]), 140u);
    EXPECT_EQ(b[4], 0x00);
    EXPECT_EQ(b[9], 0x55);
    EXPECT_EQ(b[10], 0);
    EXPECT_EQ(b[11], 0);
    EXPECT_EQ(LoadLe32(&b[12]), 7u);
    EXPECT_EQ(b[16], 'l');
    EXPECT_EQ(b[23], 0);
    EXPECT_EQ(LoadLe32(&b[48]), 1u);
    EXPECT_EQ(LoadLe32(&b[52]), 0xFFFFFFBDu);  // -67
    EXPECT_EQ(LoadLe32(&b[56]), 3u);
    EXPECT_EQ(LoadLe32(&b[60]), 32u);  // Configuration.Length
    EXPECT_EQ(LoadLe32(&b[64]), 100u);
    EXPECT_EQ(LoadLe32(&b[68]), 3u);
    EXPECT_EQ(LoadLe32(&b[72]), 2437000u);
    EXPECT_EQ(LoadLe32(&b[76]), 16u);  // FHConfig.Length
    EXPECT_EQ(LoadLe32(&b[80]), 7u);
    EXPECT_EQ(LoadLe32(&b[84]), 2u);
    EXPECT_EQ(LoadLe32(&b[88]), 390u);
    EXPECT_EQ(LoadLe32(&b[92]), 1u);
    EXPECT_EQ(b[96], 0x82);
    EXPECT_EQ(b[103], 0x6c);
    EXPECT_EQ(b[104], 0);
    EXPECT_EQ(LoadLe32(&b[112]), 24u);
    EXPECT_EQ(LoadLe64(&b[116]), 0x0102030405060708u);
    EXPECT_EQ(LoadLe16(&b[124]), 100u);
    EXPECT_EQ(LoadLe16(&b[126]), 0x0411u);
    EXPECT_EQ(b[128], 0x00);
    EXPECT_EQ(b[139], 0x06);
}

TEST(BssidEntryTest, LengthIsPaddedToFourBytes) {
    BssidEntryFields f = SampleFields();
    f.elements = {0x03, 0x01, 0x0b};  // IELength 15
    const auto b = BuildBssidEntry(f);
    ASSERT_EQ(b.size(), 132u);  // 116 + 15 = 131, padded
    EXPECT_EQ(LoadLe32(&b[0]), 132u);
    EXPECT_EQ(LoadLe32(&b[112]), 15u);
    EXPECT_EQ(b[131], 0);
}

TEST(BssidEntryTest, RoundTripThroughBytes) {
    const BssidEntryFields fields = SampleFields();
    NdisError error = NdisError::InvalidArgument;
    const auto entry = BssidEntry::FromBytes(BuildBssidEntry(fields), &error);
    ASSERT_TRUE(entry);
    EXPECT_EQ(error, NdisError::None);
    EXPECT_EQ(entry->ToFields(), fields);
    EXPECT_EQ(entry->Rssi(), -67);
    EXPECT_EQ(std::string(entry->Ssid().begin(), entry->Ssid().end()), "linksys");
    EXPECT_EQ(entry->GetConfiguration().dsConfig, 2437000u);
    EXPECT_EQ(entry->TaggedElements().size(), 12u);
    EXPECT_EQ(entry->Ies().size(), 24u);
    EXPECT_EQ(*entry, BssidEntry::FromFields(fields));
}

TEST(BssidEntryTest, SsidLengthAboveCapacityIsCutInTheAccessorOnly) {
    BssidEntryFields f = SampleFields();
    f.ssidLength = 200;
    const auto entry = BssidEntry::FromFields(f);
    EXPECT_EQ(entry.SsidLength(), 200u);
    EXPECT_EQ(entry.Ssid().size(), 32u);
    BssidEntryFields longName;
    longName.SetSsid(std::string(40, 'x'));
    EXPECT_EQ(longName.ssidLength, 32u);
}

TEST(BssidEntryTest, IeLengthBelowFixedFieldsHasNoFixedFieldsOrElements) {
    std::vector<std::uint8_t> b = BuildBssidEntry(SampleFields());
    StoreLe32(&b[112], 5);
    const auto entry = BssidEntry::FromBytes(b);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->HasFixedFields());
    EXPECT_EQ(entry->Timestamp(), 0u);
    EXPECT_EQ(entry->BeaconInterval(), 0u);
    EXPECT_TRUE(entry->TaggedElements().empty());
    EXPECT_EQ(entry->Ies().size(), 5u);
}

struct BadEntryRow {
    const char* name;
    std::size_t size;        // bytes handed over (from a 140-byte good item)
    std::uint32_t length;    // Length field written
    std::uint32_t ieLength;  // IELength field written
    NdisError expected;
};

// Rows print as their names in test listings.
void PrintTo(const BadEntryRow& row, std::ostream* os) {
    *os << row.name;
}

class BadEntryTest : public testing::TestWithParam<BadEntryRow> {};

TEST_P(BadEntryTest, IsRefusedWithItsReason) {
    const BadEntryRow& row = GetParam();
    std::vector<std::uint8_t> b = BuildBssidEntry(SampleFields());
    StoreLe32(&b[0], row.length);
    StoreLe32(&b[112], row.ieLength);
    b.resize(row.size);
    NdisError error = NdisError::None;
    EXPECT_FALSE(BssidEntry::FromBytes(b, &error));
    EXPECT_EQ(error, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadEntryTest,
    testing::Values(
        BadEntryRow{"Empty", 0, 140, 24, NdisError::TruncatedHeader},
        BadEntryRow{"ThreeBytes", 3, 140, 24, NdisError::TruncatedHeader},
        BadEntryRow{"LengthZero", 140, 0, 24, NdisError::ItemLengthBelowFixedPart},
        BadEntryRow{"LengthOldLayout", 140, 104, 0, NdisError::ItemLengthBelowFixedPart},
        BadEntryRow{"LengthOneShort", 140, 115, 0, NdisError::ItemLengthBelowFixedPart},
        BadEntryRow{"FixedPartCut", 100, 140, 24, NdisError::ItemLengthPastBuffer},
        BadEntryRow{"LengthPastBuffer", 140, 141, 24, NdisError::ItemLengthPastBuffer},
        BadEntryRow{"LengthShortOfBytes", 140, 136, 20, NdisError::LengthFieldMismatch},
        BadEntryRow{"IeLengthOneTooMany", 140, 140, 25, NdisError::IeLengthPastItem},
        BadEntryRow{"IeLengthWrapsU32", 140, 140, 0xFFFFFFF0u, NdisError::IeLengthPastItem},
        BadEntryRow{"IeLengthMax", 140, 140, 0xFFFFFFFFu, NdisError::IeLengthPastItem}),
    [](const testing::TestParamInfo<BadEntryRow>& info) { return info.param.name; });

}  // namespace
}  // namespace tarvik::ndis
