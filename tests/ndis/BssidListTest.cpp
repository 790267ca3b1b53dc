#include "ndis/BssidList.h"

#include <gtest/gtest.h>

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

TEST(BssidListTest, RoundTripKeepsItemsInOrderAndIgnoresSlack) {
    const auto stations = ThreeStations();
    auto bytes = BuildBssidList(stations);
    EXPECT_EQ(bytes.size(), 4u + 128 + 132 + 140);
    EXPECT_EQ(LoadLe32(bytes.data()), 3u);
    const BssidList list = ParseBssidList(bytes);
    EXPECT_TRUE(list.Clean());
    ASSERT_EQ(list.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(list.entries[i].ToFields(), stations[i]);
    EXPECT_EQ(BuildBssidList(list.entries), bytes);
    bytes.resize(bytes.size() + 500, 0xee);  // an over-allocated reply buffer
    EXPECT_EQ(ParseBssidList(bytes).entries.size(), 3u);
    EXPECT_TRUE(ParseBssidList(bytes).Clean());
}

// Offsets of the three items in the good list, and of IELength in an item.
constexpr std::size_t kItem0 = 4, kItem1 = 132, kItem2 = 264, kEnd = 404, kIeLength = 112;
constexpr std::size_t kAll = SIZE_MAX, kNone = SIZE_MAX;

TEST(BssidListTest, KeepsTheItemsItCanReachAndReportsTheRest) {
    using E = NdisError;
    const struct {
        const char* name;
        std::size_t keep, patchAt;  // bytes handed over; where a u32 is overwritten
        std::uint32_t patch;
        std::size_t entries;  // items kept
        NdisError error;      // the one issue reported (None: clean)
        std::uint32_t index;
        std::size_t offset;
    } rows[] = {
        {"Empty", 0, kNone, 0, 0, E::TruncatedHeader, 0, 0},
        {"TruncatedCount", 3, kNone, 0, 0, E::TruncatedHeader, 0, 0},
        {"ZeroItems", kAll, 0, 0, 0, E::None, 0, 0},
        {"ZeroItemsNoBody", 4, 0, 0, 0, E::None, 0, 0},
        {"CountLargerThanItems", kAll, 0, 5, 3, E::ItemCountExceedsItems, 3, kEnd},
        {"HugeCount", kAll, 0, 0xFFFFFFFF, 3, E::ItemCountExceedsItems, 3, kEnd},
        {"CountButNoItems", 4, kNone, 0, 0, E::ItemCountExceedsItems, 0, kItem0},
        {"ItemHeaderCut", kItem1 + 2, kNone, 0, 1, E::TruncatedHeader, 1, kItem1},
        {"ItemLengthZero", kAll, kItem1, 0, 1, E::ItemLengthBelowFixedPart, 1, kItem1},
        {"ItemLengthBelowFixed", kAll, kItem0, 104, 0, E::ItemLengthBelowFixedPart, 0, kItem0},
        {"ItemLengthPastBuffer", kAll, kItem2, 141, 2, E::ItemLengthPastBuffer, 2, kItem2},
        {"ItemLengthHuge", kAll, kItem1, 0xFFFFFFFF, 1, E::ItemLengthPastBuffer, 1, kItem1},
        {"LastItemCut", kEnd - 1, kNone, 0, 2, E::ItemLengthPastBuffer, 2, kItem2},
        // The network stays; its elements are read only as far as the item goes.
        {"IeLengthPastItem", kAll, kItem1 + kIeLength, 17, 3, E::IeLengthPastItem, 1, kItem1},
        {"IeLengthWraps", kAll, kItem0 + kIeLength, 0xFFFFFF90, 3, E::IeLengthPastItem, 0, kItem0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto bytes = BuildBssidList(ThreeStations());
        if (row.patchAt != kNone) StoreLe32(&bytes[row.patchAt], row.patch);
        if (row.keep != kAll) bytes.resize(row.keep);
        const std::vector<std::uint8_t> exact(bytes);  // ASan sees any read past it
        const BssidList list = ParseBssidList(exact);
        EXPECT_EQ(list.entries.size(), row.entries);
        std::vector<BssidListIssue> issues;
        if (row.error != NdisError::None) issues.push_back({row.error, row.index, row.offset});
        EXPECT_EQ(list.issues, issues);
    }
    EXPECT_EQ(DescribeBssidListIssue({NdisError::ItemLengthPastBuffer, 2, 264}),
              "BSSID list item 2 at offset 264: a BSSID item's length runs past the end of the "
              "buffer");
}

}  // namespace
}  // namespace tarvik::ndis
