#include "ndis/BssidList.h"

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace layout = bssid_list_layout;

namespace {

template <typename Item, typename BytesOf>
std::vector<std::uint8_t> JoinItems(std::span<const Item> items, BytesOf bytesOf) {
    std::vector<std::uint8_t> out;
    AppendLe32(out, static_cast<std::uint32_t>(items.size()));
    for (const Item& item : items) {
        const auto bytes = bytesOf(item);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> BuildBssidList(std::span<const BssidEntryFields> entries) {
    return JoinItems(entries, [](const BssidEntryFields& f) { return BuildBssidEntry(f); });
}

std::vector<std::uint8_t> BuildBssidList(std::span<const BssidEntry> entries) {
    return JoinItems(entries, [](const BssidEntry& e) { return e.Bytes(); });
}

std::string DescribeBssidListIssue(const BssidListIssue& issue) {
    return "BSSID list item " + std::to_string(issue.itemIndex) + " at offset " +
           std::to_string(issue.offset) + ": " + DescribeNdisError(issue.error);
}

BssidList ParseBssidList(std::span<const std::uint8_t> bytes) {
    BssidList list;
    if (bytes.size() < layout::kItems) {
        list.issues.push_back({NdisError::TruncatedHeader, 0, 0});
        return list;
    }
    list.numberOfItems = LoadLe32(bytes.data() + layout::kNumberOfItems);
    std::size_t offset = layout::kItems;
    for (std::uint32_t index = 0; index < list.numberOfItems; ++index) {
        if (offset == bytes.size()) {
            list.issues.push_back({NdisError::ItemCountExceedsItems, index, offset});
            break;
        }
        std::uint32_t length = 0;
        const auto rest = bytes.subspan(offset);
        const NdisError error = CheckBssidItem(rest, length);
        if (error != NdisError::None) {
            list.issues.push_back({error, index, offset});
            break;
        }
        list.entries.push_back(*BssidEntry::FromBytes(rest.first(length)));
        if (list.entries.back().IesCut()) {
            list.issues.push_back({NdisError::IeLengthPastItem, index, offset});
        }
        offset += length;
    }
    return list;
}

}  // namespace tarvik::ndis
