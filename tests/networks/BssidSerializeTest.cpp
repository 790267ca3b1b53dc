#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "networks/Archive.h"
#include "networks/Bssid.h"
#include "tests/core/LogCapture.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using ::testing::ElementsAre;
using namespace testing_support;

constexpr std::int32_t kNow = 1700000000;
// Offsets in a stored record: signature (6 bytes), version (5), then u32s.
constexpr std::size_t kVersionOffset = 6;
constexpr std::size_t kSecurityOffset = 6 + 5 + 7 * 4;
constexpr std::size_t kEntryLengthOffset = kSecurityOffset + 32 + 4;

PositionSnapshot Position(std::uint8_t seed) {
    PositionSnapshot position;
    for (std::size_t i = 0; i < position.fix.size(); ++i) {
        position.fix[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return position;
}

// A record with every stored field set to something other than its default.
void Fill(CBssid& record) {
    record.UpdateFromEntry(SecuredEntry({kRsnPskCcmp}), kNow);
    record.UpdateFromEntry(SecuredEntry({kRsnPskCcmp}), kNow + 60);  // rssi -50 twice
    record.SetLastSeenScan(42);
    record.SetConnectionStatus(STATUS_CONNECTED_MANUAL);
    record.ToggleNotSuitableForHopping();
    record.SetPositionAtMinRssi(Position(1));
    record.SetPositionAtMaxRssi(Position(2));
    record.AppendRssiSample(-50.0, 10);
}

Bytes Store(CBssid& record) {
    Archive archive = Archive::ForStoring();
    EXPECT_EQ(record.Serialize(archive), 0);
    return archive.Data();
}

Bytes StoredRecord() {
    CBssid record;
    Fill(record);
    return Store(record);
}

void ExpectSameStoredFields(const CBssid& read, const CBssid& written) {
    ASSERT_NE(read.Entry(), nullptr);
    EXPECT_EQ(*read.Entry(), *written.Entry());
    EXPECT_EQ(read.LastSeenScan(), written.LastSeenScan());
    EXPECT_EQ(read.FirstSeen(), written.FirstSeen());
    EXPECT_EQ(read.LastSeen(), written.LastSeen());
    EXPECT_EQ(read.RssiMin(), written.RssiMin());
    EXPECT_EQ(read.RssiMax(), written.RssiMax());
    EXPECT_EQ(read.RssiAverage(), written.RssiAverage());
    EXPECT_EQ(read.ConnectionStatus(), written.ConnectionStatus());
    EXPECT_EQ(read.Security(), written.Security());
    EXPECT_EQ(read.HasSecurityElement(), written.HasSecurityElement());
    EXPECT_EQ(read.NotSuitableForHopping(), written.NotSuitableForHopping());
    EXPECT_EQ(read.PositionAtMinRssi(), written.PositionAtMinRssi());
}

TEST(BssidSerializeTest, RoundTripKeepsEveryStoredField) {
    CBssid written;
    Fill(written);
    const Bytes bytes = Store(written);
    const std::size_t entryLength = written.Entry()->Length();
    EXPECT_EQ(bytes.size(), kEntryLengthOffset + 4 + entryLength + 2 * (4 + kGpsFixBlockSize));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 11),
              (Bytes{0x05, 'B', 'S', 'S', 'I', 'D', 0x04, '1', '.', '2', '1'}));
    Archive archive = Archive::ForLoading(bytes);
    CBssid read;
    ASSERT_EQ(read.Serialize(archive), 0);
    EXPECT_TRUE(archive.AtEnd());
    EXPECT_FALSE(archive.Failed());
    ExpectSameStoredFields(read, written);
    EXPECT_EQ(read.PositionAtMaxRssi(), written.PositionAtMaxRssi());
    EXPECT_TRUE(read.RssiHistory().Empty());
    EXPECT_TRUE(read.IsWpa2());
    // The security block: six fields, a zero and the element flag.
    Archive block = Archive::ForLoading(Bytes(bytes.begin() + kSecurityOffset, bytes.end()));
    for (std::uint32_t value :
         {SECURITY_PROTOCOL_RSN, CIPHER_CCMP, CIPHER_CCMP, KEY_MGMT_PSK, 0u, 0u, 0u, 1u}) {
        EXPECT_EQ(block.ReadU32(), value);
    }
}

// The older layout: version "1.2" and no max-RSSI position.
TEST(BssidSerializeTest, ReadsTheOlderVersionWithoutMaxPosition) {
    Bytes bytes = StoredRecord();
    bytes.erase(bytes.end() - (4 + kGpsFixBlockSize), bytes.end());
    bytes.erase(bytes.begin() + kVersionOffset + 4);  // "1.21" -> "1.2"
    bytes[kVersionOffset] = 3;
    TempFolder folder;
    LogCapture log(folder.Path());
    Archive archive = Archive::ForLoading(bytes);
    CBssid read;
    ASSERT_EQ(read.Serialize(archive), 0);
    EXPECT_THAT(log.Messages(), ElementsAre("App: Warn: Older version of bssid, upgrading"));
    EXPECT_TRUE(archive.AtEnd());
    CBssid written;
    Fill(written);
    ExpectSameStoredFields(read, written);
    EXPECT_FALSE(read.PositionAtMaxRssi());
}

Bytes WithString(std::size_t offset, std::size_t oldLength, const std::string& text) {
    Bytes bytes = StoredRecord();
    bytes.erase(bytes.begin() + offset, bytes.begin() + offset + 1 + oldLength);
    bytes.insert(bytes.begin() + offset, static_cast<std::uint8_t>(text.size()));
    bytes.insert(bytes.begin() + offset + 1, text.begin(), text.end());
    return bytes;
}

Bytes WithEntryLength(std::uint32_t length) {
    Bytes bytes = StoredRecord();
    for (int i = 0; i < 4; ++i) {
        bytes[kEntryLengthOffset + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    return bytes;
}

// A bad signature, version or entry fails the record (-1) with its message;
// a length that cannot be trusted fails the archive too, since nothing after
// it can be found.
TEST(BssidSerializeTest, RefusesWhatItCannotTrust) {
    const std::string kBadVersion = "App: Error: BSSID version is incorrect, cannot parse buffer";
    const auto badSignature = [](const std::string& text) {
        return "App: Error: File signature does not match " + text + ", cannot parse buffer";
    };
    const auto badLength = [](std::uint32_t length) {
        return "App: Error: Stored network entry length " + std::to_string(length) +
               " is not valid, cannot parse buffer";
    };
    Bytes damaged = StoredRecord();
    damaged[kEntryLengthOffset + 4] ^= 0x04;  // the entry's own Length field
    const struct {
        Bytes bytes;
        bool archiveFails;
        std::string message;
    } rows[] = {
        {WithString(0, 5, "bssid"), false, badSignature("bssid")},
        {WithString(0, 5, "%s%n"), false, badSignature("%s%n")},
        {WithString(kVersionOffset, 4, "1.21 "), false, kBadVersion},
        {WithString(kVersionOffset, 4, ""), false, kBadVersion},
        {WithEntryLength(0xFFFFFFF0u), true, badLength(0xFFFFFFF0u)},
        {WithEntryLength(115), true, badLength(115)},
        {damaged, false, "App: Error: Stored network entry is damaged, cannot parse buffer"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        TempFolder folder;
        LogCapture log(folder.Path());
        Archive archive = Archive::ForLoading(row.bytes);
        CBssid read;
        EXPECT_EQ(read.Serialize(archive), -1);
        EXPECT_EQ(archive.Failed(), row.archiveFails);
        EXPECT_EQ(read.Entry(), nullptr);
        EXPECT_THAT(log.Messages(), ElementsAre(row.message));
    }
}

TEST(BssidSerializeTest, EveryTruncationFailsTheRecord) {
    const Bytes bytes = StoredRecord();
    for (std::size_t n = 0; n < bytes.size(); n += (n < 200 ? 1 : 97)) {
        Archive archive = Archive::ForLoading(Bytes(bytes.begin(), bytes.begin() + n));
        CBssid read;
        EXPECT_EQ(read.Serialize(archive), -1) << n;
    }
}

// Consecutive records stay in step. A record without positions stores two
// zero flags and reads none back; a stored length of 0 reads no entry.
TEST(BssidSerializeTest, ConsecutiveRecordsStayInStep) {
    CBssid first(Entry(Fields(0x02, -40)), 1, kNow);
    CBssid second(SecuredEntry({kRsnPskCcmp}), 2, kNow);
    CBssid empty;
    const Bytes firstBytes = Store(first);
    ASSERT_EQ(firstBytes.size(), kEntryLengthOffset + 4 + first.Entry()->Length() + 8);
    EXPECT_EQ(Bytes(firstBytes.end() - 8, firstBytes.end()), Bytes(8, 0));
    Archive out = Archive::ForStoring();
    for (CBssid* record : {&first, &second, &empty}) ASSERT_EQ(record->Serialize(out), 0);
    Archive in = Archive::ForLoading(out.Data());
    CBssid a, b, c;
    a.SetPositionAtMaxRssi(Position(9));  // replaced by what is stored
    for (CBssid* record : {&a, &b, &c}) ASSERT_EQ(record->Serialize(in), 0);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(a.PositionAtMinRssi());
    EXPECT_FALSE(a.PositionAtMaxRssi());
    EXPECT_TRUE(a.IsOpen());
    EXPECT_TRUE(b.IsWpa2());
    EXPECT_TRUE(a.MatchesEntry(*first.Entry(), 3));
    EXPECT_FALSE(b.MatchesEntry(*first.Entry(), 3));
    EXPECT_EQ(c.Entry(), nullptr);
    EXPECT_EQ(c.SecurityClass(), SECURITY_CLASS_NONE);
}

}  // namespace
}  // namespace tarvik
