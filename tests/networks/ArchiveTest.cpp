#include "networks/Archive.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tarvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Stored(const std::string& text) {
    Archive archive = Archive::ForStoring();
    archive.WriteString(text);
    return archive.Data();
}

TEST(ArchiveTest, IntegersAreLittleEndian) {
    Archive out = Archive::ForStoring();
    out.WriteU8(0x01);
    out.WriteU16(0x0302);
    out.WriteU32(0x07060504);
    out.WriteI32(-2);
    EXPECT_EQ(out.Data(), (Bytes{1, 2, 3, 4, 5, 6, 7, 0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(ArchiveTest, CountedStringPrefixGrowsWithTheLength) {
    EXPECT_EQ(Stored("BSSID"), (Bytes{0x05, 'B', 'S', 'S', 'I', 'D'}));
    EXPECT_EQ(Stored(""), Bytes{0x00});
    const std::pair<std::size_t, Bytes> cases[] = {
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}}};
    for (const auto& [length, prefix] : cases) {
        const std::string text(length, 'x');
        const Bytes bytes = Stored(text);
        ASSERT_EQ(bytes.size(), prefix.size() + length) << length;
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + prefix.size()), prefix) << length;
        Archive in = Archive::ForLoading(bytes);
        EXPECT_EQ(in.ReadString(), text) << length;
        EXPECT_TRUE(in.AtEnd());
        EXPECT_FALSE(in.Failed());
    }
}

TEST(ArchiveTest, ReadsSixteenBitCharacters) {
    const std::tuple<const char*, Bytes, std::string> cases[] = {
        {"short prefix", {0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0}, "abc"},
        {"huge prefix", {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 'z', 0}, "z"},
        {"latin letter", {0xFF, 0xFE, 0xFF, 0x01, 0xE9, 0x00}, "\xC3\xA9"},
        {"surrogate pair", {0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
        {"lone surrogate", {0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 'a', 0}, "?a"}};
    for (const auto& [name, bytes, text] : cases) {
        Archive in = Archive::ForLoading(bytes);
        EXPECT_EQ(in.ReadString(), text) << name;
        EXPECT_FALSE(in.Failed()) << name;
        EXPECT_TRUE(in.AtEnd()) << name;
    }
}

TEST(ArchiveTest, MalformedOrShortInputFailsAndStaysFailed) {
    const Bytes cases[] = {
        {},                                               // no prefix
        {0x05, 'B', 'S'},                                 // text cut short
        {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF, 'a'},  // 4 GiB declared, nothing there
        {0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b'}             // odd byte count
    };
    for (const Bytes& bytes : cases) {
        Archive in = Archive::ForLoading(bytes);
        EXPECT_EQ(in.ReadString(), "");
        EXPECT_TRUE(in.Failed());
        // Sticky: even a read that would fit now gives nothing.
        EXPECT_EQ(in.ReadU8(), 0);
        EXPECT_EQ(in.Remaining(), 0u);
        EXPECT_TRUE(in.Failed());
    }
    // Reading past the end gives zeros, also into a byte buffer.
    Archive in = Archive::ForLoading({1, 2, 3});
    EXPECT_EQ(in.ReadU16(), 0x0201);
    std::array<std::uint8_t, 4> out{9, 9, 9, 9};
    EXPECT_FALSE(in.ReadBytes(out));
    EXPECT_EQ(out, (std::array<std::uint8_t, 4>{}));
    EXPECT_TRUE(in.Failed());
}

}  // namespace
}  // namespace tarvik
