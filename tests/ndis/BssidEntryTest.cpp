#include "ndis/BssidEntry.h"

#include <gtest/gtest.h>

#include <vector>

#include "ndis/ByteOrder.h"
#include "tests/support/HexBytes.h"

namespace tarvik::ndis {
namespace {

using testing_support::Hex;

BssidEntryFields SampleFields() {
    BssidEntryFields f;
    f.macAddress = {0x00, 0x0c, 0x41, 0x82, 0xb2, 0x55};
    f.SetSsid("linksys");
    f.privacy = 1;
    f.rssi = -67;
    f.networkTypeInUse = Ndis802_11OFDM24;
    f.configuration = {100, 3, 2437000, {7, 2, 390}};
    f.supportedRates = {0x82, 0x84, 0x8b, 0x96, 0x24, 0x30, 0x48, 0x6c};
    f.timestamp = 0x0102030405060708;
    f.capabilityInfo = 0x0411;
    f.elements = {0x00, 0x07, 'l', 'i', 'n', 'k', 's', 'y', 's', 0x03, 0x01, 0x06};
    return f;
}

// Every field at its published offset, little-endian.
TEST(BssidEntryTest, BuildPlacesFieldsAtPublishedOffsets) {
    EXPECT_EQ(BuildBssidEntry(SampleFields()),
              Hex("8c000000 000c4182b255 0000 07000000 6c696e6b737973" + std::string(50, '0') +
                  "01000000 bdffffff 03000000"                               // privacy, RSSI, type
                  "20000000 64000000 03000000 882f2500"                      // configuration
                  "10000000 07000000 02000000 86010000 01000000"             // FH, infrastructure
                  "82848b962430486c 0000000000000000 18000000"               // rates, IELength
                  "0807060504030201 6400 1104 00076c696e6b737973 030106"));  // IEs
    BssidEntryFields padded = SampleFields();
    padded.elements = {0x03, 0x01, 0x0b};  // IELength 15: 131 bytes, padded to 132
    const auto p = BuildBssidEntry(padded);
    ASSERT_EQ(p.size(), 132u);
    EXPECT_EQ(LoadLe32(&p[0]), 132u);
    EXPECT_EQ(LoadLe32(&p[112]), 15u);
}

TEST(BssidEntryTest, RoundTripThroughBytes) {
    BssidEntryFields fields = SampleFields();
    const auto entry = BssidEntry::FromBytes(BuildBssidEntry(fields));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->ToFields(), fields);
    EXPECT_EQ(std::string(entry->Ssid().begin(), entry->Ssid().end()), "linksys");
    EXPECT_EQ(*entry, BssidEntry::FromFields(fields));
    // An SSID length above 32 is kept, and cut in the accessor only.
    fields.ssidLength = 200;
    EXPECT_EQ(BssidEntry::FromFields(fields).SsidLength(), 200u);
    EXPECT_EQ(BssidEntry::FromFields(fields).Ssid().size(), 32u);
    fields.SetSsid(std::string(40, 'x'));
    EXPECT_EQ(fields.ssidLength, 32u);
}

// IELength as stored, and what the readers see of the 24 element bytes.
TEST(BssidEntryTest, ElementReadersStayInsideTheItem) {
    const struct {
        std::uint32_t ieLength;
        std::size_t ies, tagged;
        bool cut;
    } rows[] = {
        {5, 5, 0, false}, {24, 24, 12, false}, {25, 24, 12, true}, {0xFFFFFFF0, 24, 12, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ieLength);
        std::vector<std::uint8_t> b = BuildBssidEntry(SampleFields());
        StoreLe32(&b[112], row.ieLength);
        const auto entry = BssidEntry::FromBytes(b);  // ASan sees any read past the copy
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->IeLength(), row.ieLength);
        EXPECT_EQ(entry->Ies().size(), row.ies);
        EXPECT_EQ(entry->TaggedElements().size(), row.tagged);
        EXPECT_EQ(entry->HasFixedFields(), row.ies >= 12);
        EXPECT_EQ(entry->BeaconInterval(), row.ies >= 12 ? 100u : 0u);
        EXPECT_EQ(entry->IesCut(), row.cut);
    }
}

TEST(BssidEntryTest, BadLengthsAreRefusedWithTheirReason) {
    const struct {
        std::size_t size;      // bytes handed over (from a 140-byte good item)
        std::uint32_t length;  // Length field written
        NdisError expected;
    } rows[] = {{0, 140, NdisError::TruncatedHeader},
                {3, 140, NdisError::TruncatedHeader},
                {140, 0, NdisError::ItemLengthBelowFixedPart},
                {140, 115, NdisError::ItemLengthBelowFixedPart},
                {100, 140, NdisError::ItemLengthPastBuffer},
                {140, 141, NdisError::ItemLengthPastBuffer},
                {140, 136, NdisError::LengthFieldMismatch}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << " bytes, Length " << row.length);
        std::vector<std::uint8_t> b = BuildBssidEntry(SampleFields());
        StoreLe32(&b[0], row.length);
        b.resize(row.size);
        NdisError error = NdisError::None;
        EXPECT_FALSE(BssidEntry::FromBytes(b, &error));
        EXPECT_EQ(error, row.expected);
    }
}

}  // namespace
}  // namespace tarvik::ndis
