#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "profiles/NetworkKey.h"
#include "tests/core/LogCapture.h"
#include "tests/support/HexBytes.h"

namespace tarvik {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing_support::Bytes;

CNetworkKey SampleProfile() {
    CNetworkKey profile;
    profile.ssidLength = 4;
    std::copy_n("home", 4, profile.ssid.begin());
    profile.bssid = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    profile.securityClass = 2;
    profile.infrastructureMode = 0;
    profile.cipherLevel = 0;
    profile.autoConnect = 0;
    profile.priority = 200;
    profile.matchBssid = 1;
    profile.SetKeyFromText("13 characters", KEY_TYPE_ASCII);
    return profile;
}

std::uint32_t U32At(const Bytes& blob, std::size_t at) {
    return blob[at] | blob[at + 1] << 8 | blob[at + 2] << 16 | std::uint32_t{blob[at + 3]} << 24;
}

// The older form: the first 50 bytes, the key length, the key.
Bytes OlderBlob(std::uint32_t keyLength, std::size_t keyBytes) {
    Bytes blob;
    SampleProfile().Serialize(blob);
    blob.resize(50);
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<std::uint8_t>(keyLength >> (8 * i)));
    blob.insert(blob.end(), keyBytes, 'k');
    return blob;
}

class ProfileBlobTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    LogCapture log_{folder_.Path()};
};

TEST_F(ProfileBlobTest, WritesTheFieldsAtTheirOffsetsAndReadsThemBack) {
    const CNetworkKey profile = SampleProfile();
    Bytes blob;
    ASSERT_EQ(profile.Serialize(blob), 87);
    ASSERT_EQ(blob.size(), 87u);
    const std::pair<std::size_t, std::uint32_t> fields[] = {
        {0, 4}, {42, 1}, {46, 2}, {50, 0}, {54, 200}, {58, 1}, {62, 0}, {66, 0}, {70, 13}};
    for (const auto& [at, value] : fields) EXPECT_EQ(U32At(blob, at), value) << at;
    EXPECT_EQ(std::string(blob.begin() + 4, blob.begin() + 8), "home");
    EXPECT_EQ(blob[36], 0x00);
    EXPECT_EQ(blob[41], 0x5e);
    EXPECT_EQ(std::string(blob.begin() + 74, blob.end()), "13 characters");

    CNetworkKey read;
    ASSERT_EQ(read.ReadBlob(blob), 0);
    Bytes again;
    read.Serialize(again);
    EXPECT_EQ(again, blob);
    EXPECT_EQ(read.KeyText(), "13 characters");
}

TEST_F(ProfileBlobTest, OlderFormIsUpgradedWithDefaults) {
    CNetworkKey read;
    read.infrastructureMode = 0;
    ASSERT_EQ(read.ReadBlob(OlderBlob(5, 5)), 0);
    EXPECT_EQ(read.KeyText(), "kkkkk");
    EXPECT_EQ(read.SsidText(), "home");
    EXPECT_EQ(read.autoConnect + read.priority * 10 + read.matchBssid * 100, 11u);
    EXPECT_EQ(read.infrastructureMode, 0u);  // not in the older form
    EXPECT_THAT(log_.Messages(),
                ElementsAre("App: Warn: Pre-1.2B3 saved key detected, upgrading using default "
                            "settings"));
}

// Blobs shorter than their fields fail without reading past their end (the
// sanitizers watch), leaving no key.
TEST_F(ProfileBlobTest, ShortOrOversizedBlobsFailCleanly) {
    Bytes whole;
    SampleProfile().Serialize(whole);
    const auto cut = [&](std::size_t size) { return Bytes(whole.begin(), whole.begin() + size); };
    Bytes hugeKey = whole;
    hugeKey[73] = 0xf0;  // about four billion bytes
    Bytes overField = cut(74);
    overField[70] = 0xe9, overField[71] = 0x03;  // 1001
    overField.resize(74 + 1001, 'k');
    struct Row {
        const char* name;
        Bytes blob;
        std::uint32_t keyLengthAfter;  // 6: left as it was
    };
    const Row rows[] = {
        {"empty", {}, 6},
        {"below the older header", cut(53), 6},
        {"header cut short", cut(73), 6},
        {"older form with key one byte long", OlderBlob(1, 1), 6},
        {"key cut short", cut(86), 0},
        {"key length near four billion", hugeKey, 0},
        {"key longer than its field", overField, 0},
        {"older form with key cut short", OlderBlob(20, 19), 0},
        {"older form with key longer than its field", OlderBlob(1001, 1001), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CNetworkKey read;
        read.SetKeyFromText("before", KEY_TYPE_ASCII);
        EXPECT_EQ(read.ReadBlob(row.blob), -1);
        EXPECT_EQ(read.keyLength, row.keyLengthAfter);
    }
}

TEST_F(ProfileBlobTest, KeysAbove926BytesAreNotSaved) {
    CNetworkKey profile;
    Bytes blob{1};
    profile.keyLength = 926;
    EXPECT_EQ(profile.Serialize(blob), 1000);
    profile.keyLength = 927;
    EXPECT_EQ(profile.Serialize(blob), -1);
    EXPECT_TRUE(blob.empty());
    profile.keyLength = 1001;  // past the key field, whatever the capacity
    EXPECT_EQ(profile.Serialize(blob, 5000), -1);
    EXPECT_THAT(log_.Messages(), ElementsAre(HasSubstr("Error: Error saving key, buffer is too "
                                                       "small"),
                                             HasSubstr("buffer is too small")));
}

}  // namespace
}  // namespace tarvik
