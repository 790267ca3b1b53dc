// Feeds arbitrary bytes to the BSSID list parser as an OID_802_11_BSSID_LIST
// reply, reads every field of what it accepts, and checks that the accepted
// items survive a rebuild unchanged.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "ndis/BssidList.h"
#include "ndis/ElementWalker.h"

using namespace tarvik::ndis;

namespace {

void ReadEverything(const BssidEntry& entry) {
    TARVIK_FUZZ_CHECK(entry.Bytes().size() == entry.Length());
    TARVIK_FUZZ_CHECK(entry.Ssid().size() <= 32);
    TARVIK_FUZZ_CHECK(bssid_ex_layout::kIes + entry.Ies().size() <= entry.Length());
    const BssidEntryFields fields = entry.ToFields();
    TARVIK_FUZZ_CHECK(fields.macAddress == entry.GetMacAddress());
    ElementWalker walker(entry.TaggedElements());
    std::size_t bytes = 0;
    while (auto element = walker.Next()) bytes += element->whole.size();
    TARVIK_FUZZ_CHECK(bytes <= entry.TaggedElements().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const BssidList list = ParseBssidList(std::span(data, size));
    TARVIK_FUZZ_CHECK(list.entries.size() <= list.numberOfItems);
    for (const BssidEntry& entry : list.entries) ReadEverything(entry);
    for (const BssidListIssue& issue : list.issues) {
        TARVIK_FUZZ_CHECK(issue.offset <= size);
        TARVIK_FUZZ_CHECK(!DescribeBssidListIssue(issue).empty());
    }

    // A kept item whose IELength runs past it is reported again, and nothing else.
    const BssidList again = ParseBssidList(BuildBssidList(list.entries));
    std::size_t cut = 0;
    for (const BssidEntry& entry : list.entries) cut += entry.IesCut() ? 1 : 0;
    TARVIK_FUZZ_CHECK(again.issues.size() == cut);
    for (const BssidListIssue& issue : again.issues) {
        TARVIK_FUZZ_CHECK(issue.error == NdisError::IeLengthPastItem);
    }
    TARVIK_FUZZ_CHECK(again.entries == list.entries);
    return 0;
}
