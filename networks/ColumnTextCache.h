// What a network record keeps for the table: the last text of each column
// and the two values the texts derive. The sort never reads it: its keys
// come from the record itself, painted or not. Rebuilt by the
// column text operations (NetworkColumns.h); never stored in scan files.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "networks/ColumnIds.h"

namespace tarvik {

struct ColumnTextCache {
    // Indexed by column identifier; all "" at first. Rebuilding a text of the
    // same or shorter length reuses the string's storage.
    std::array<std::string, kNetworkColumnCount> texts;
    // Highest supported rate in 500 kbit/s units, basic-rate bit cleared.
    std::uint32_t maxRate = 0;
    // The channel as the channel rule last stored it; types it has no case
    // for leave it unchanged (and sort by it), so it stays 0 until a known
    // type is seen.
    std::uint32_t channel = 0;
};

}  // namespace tarvik
