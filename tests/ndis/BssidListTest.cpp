#include "ndis/BssidList.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {
namespace {

BssidEntryFields Station(std::uint8_t last, std::size_t elementBytes) {
    BssidEntryFields f;
    f.macAddress = {0x02, 0x00, 0x00, 0x00, 0x00, last};
    f.SetSsid("net" + std::to_string(last));
    f.rssi = -40 - last;
    f.elements.assign(elementBytes, 0xdd);
    return f;
}

std::vector<BssidEntryFields> ThreeStations() {
    // Item lengths: 128, 132 (131 padded), 140.
    return {Station(1, 0), Station(2, 3), Station(3, 12)};
}

TEST(BssidListTest, RoundTripKeepsItemsInOrder) {
    const auto stations = ThreeStations();
    const auto bytes = BuildBssidList(stations);
    EXPECT_EQ(bytes.size(), 4u + 128 + 132 + 140);
    EXPECT_EQ(LoadLe32(bytes.data()), 3u);

    const BssidList list = ParseBssidList(bytes);
    EXPECT_TRUE(list.Clean());
    EXPECT_EQ(list.numberOfItems, 3u);
    ASSERT_EQ(list.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(list.entries[i].ToFields(), stations[i]);
    EXPECT_EQ(BuildBssidList(list.entries), bytes);
}

TEST(BssidListTest, BytesAfterTheCountedItemsAreIgnored) {
    auto bytes = BuildBssidList(ThreeStations());
    bytes.resize(bytes.size() + 500, 0xee);  // an over-allocated reply buffer
    const BssidList list = ParseBssidList(bytes);
    EXPECT_TRUE(list.Clean());
    EXPECT_EQ(list.entries.size(), 3u);
}

// Offsets of the three items in the good list.
constexpr std::size_t kItem0 = 4, kItem1 = 132, kItem2 = 264, kEnd = 404;

struct BadListRow {
    const char* name;
    std::size_t keep;     // bytes handed to the parser (SIZE_MAX: all)
    std::size_t patchAt;  // offset of a u32 to overwrite (SIZE_MAX: none)
    std::uint32_t patch;
    std::size_t goodEntries;
    std::vector<BssidListIssue> issues;
};

// Rows print as their names in test listings.
void PrintTo(const BadListRow& row, std::ostream* os) {
    *os << row.name;
}

class BadListTest : public testing::TestWithParam<BadListRow> {};

TEST_P(BadListTest, KeepsTheGoodItemsAndReportsTheRest) {
    const BadListRow& row = GetParam();
    auto bytes = BuildBssidList(ThreeStations());
    ASSERT_EQ(bytes.size(), kEnd);
    if (row.patchAt != SIZE_MAX) StoreLe32(&bytes[row.patchAt], row.patch);
    if (row.keep != SIZE_MAX) bytes.resize(row.keep);
    // An exact-size copy, so ASan catches any read past it.
    const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    const BssidList list = ParseBssidList(exact);
    EXPECT_EQ(list.entries.size(), row.goodEntries);
    EXPECT_EQ(list.issues, row.issues);
}

constexpr std::size_t kAll = SIZE_MAX;
constexpr std::size_t kNoPatch = SIZE_MAX;
constexpr std::size_t kIeLengthField = 112;

INSTANTIATE_TEST_SUITE_P(
    Rows, BadListTest,
    testing::Values(
        BadListRow{"Empty", 0, kNoPatch, 0, 0, {{NdisError::TruncatedHeader, 0, 0}}},
        BadListRow{"TruncatedCount", 3, kNoPatch, 0, 0, {{NdisError::TruncatedHeader, 0, 0}}},
        BadListRow{"ZeroItems", kAll, 0, 0, 0, {}}, BadListRow{"ZeroItemsNoBody", 4, 0, 0, 0, {}},
        BadListRow{
            "CountLargerThanItems", kAll, 0, 5, 3, {{NdisError::ItemCountExceedsItems, 3, kEnd}}},
        BadListRow{
            "HugeCount", kAll, 0, 0xFFFFFFFF, 3, {{NdisError::ItemCountExceedsItems, 3, kEnd}}},
        BadListRow{
            "CountButNoItems", 4, kNoPatch, 0, 0, {{NdisError::ItemCountExceedsItems, 0, kItem0}}},
        BadListRow{
            "ItemHeaderCut", kItem1 + 2, kNoPatch, 0, 1, {{NdisError::TruncatedHeader, 1, kItem1}}},
        BadListRow{"ItemLengthZero",
                   kAll,
                   kItem1,
                   0,
                   1,
                   {{NdisError::ItemLengthBelowFixedPart, 1, kItem1}}},
        BadListRow{"ItemLengthBelowFixedPart",
                   kAll,
                   kItem0,
                   104,
                   0,
                   {{NdisError::ItemLengthBelowFixedPart, 0, kItem0}}},
        BadListRow{"ItemLengthPastBuffer",
                   kAll,
                   kItem2,
                   141,
                   2,
                   {{NdisError::ItemLengthPastBuffer, 2, kItem2}}},
        BadListRow{"ItemLengthHuge",
                   kAll,
                   kItem1,
                   0xFFFFFFFF,
                   1,
                   {{NdisError::ItemLengthPastBuffer, 1, kItem1}}},
        BadListRow{"LastItemCut",
                   kEnd - 1,
                   kNoPatch,
                   0,
                   2,
                   {{NdisError::ItemLengthPastBuffer, 2, kItem2}}},
        BadListRow{"IeLengthPastItemSkipsOnlyThatItem",
                   kAll,
                   kItem1 + kIeLengthField,
                   17,
                   2,
                   {{NdisError::IeLengthPastItem, 1, kItem1}}},
        BadListRow{"IeLengthWrapsU32",
                   kAll,
                   kItem0 + kIeLengthField,
                   0xFFFFFF90,
                   2,
                   {{NdisError::IeLengthPastItem, 0, kItem0}}}),
    [](const testing::TestParamInfo<BadListRow>& info) { return info.param.name; });

TEST(BssidListTest, IssueTextNamesItemOffsetAndReason) {
    const BssidListIssue issue{NdisError::ItemLengthPastBuffer, 2, 264};
    EXPECT_EQ(DescribeBssidListIssue(issue),
              "BSSID list item 2 at offset 264: a BSSID item's length runs past the end of the "
              "buffer");
}

}  // namespace
}  // namespace tarvik::ndis
