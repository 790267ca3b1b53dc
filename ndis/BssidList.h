// NDIS_802_11_BSSID_LIST_EX, the reply to OID_802_11_BSSID_LIST:
//   0 NumberOfItems (u32)   4 the items, each NDIS_WLAN_BSSID_EX, each
//   followed by the next at the distance of its own Length.
//
// ParseBssidList never reads past the bytes it is given (pass the byte count
// the driver returned, not the whole allocation). What is wrong it reports as
// issues, and it keeps every item it could reach:
//   - fewer than 4 bytes:                 TruncatedHeader, no items
//   - an item Length below 116 or past the end, or a header cut off:
//     that item and everything after it are dropped (the next item's place is
//     unknown); ItemLengthBelowFixedPart / ItemLengthPastBuffer / TruncatedHeader
//   - an IELength running past its item:  the item is kept, its elements are
//     read only as far as the item reaches; IeLengthPastItem
//   - NumberOfItems larger than the items present: the items present are kept;
//     ItemCountExceedsItems
// Bytes after the last counted item are ignored (drivers over-allocate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ndis/BssidEntry.h"
#include "ndis/NdisError.h"

namespace tarvik::ndis {

namespace bssid_list_layout {
inline constexpr std::size_t kNumberOfItems = 0;
inline constexpr std::size_t kItems = 4;
}  // namespace bssid_list_layout

std::vector<std::uint8_t> BuildBssidList(std::span<const BssidEntryFields> entries);
std::vector<std::uint8_t> BuildBssidList(std::span<const BssidEntry> entries);

struct BssidListIssue {
    NdisError error = NdisError::None;
    std::uint32_t itemIndex = 0;  // 0-based index of the item concerned
    std::size_t offset = 0;       // byte offset of that item (or of the header)
    bool operator==(const BssidListIssue&) const = default;
};

// "BSSID list item 2 at offset 236: a BSSID item's length runs past ..."
std::string DescribeBssidListIssue(const BssidListIssue& issue);

struct BssidList {
    std::uint32_t numberOfItems = 0;  // as declared by the list
    std::vector<BssidEntry> entries;  // the good items, in list order
    std::vector<BssidListIssue> issues;
    bool Clean() const { return issues.empty(); }
};

BssidList ParseBssidList(std::span<const std::uint8_t> bytes);

}  // namespace tarvik::ndis
