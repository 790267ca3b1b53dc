#include "networks/BssidListFetch.h"

#include <algorithm>
#include <vector>

#include "core/EventLog.h"
#include "ndis/Oids.h"

namespace tarvik {
namespace {

bool IsBufferTooSmall(Result result) {
    return result == ERROR_INSUFFICIENT_BUFFER || result == ERROR_INVALID_USER_BUFFER;
}

// The buffer for the next query: the size the driver asked for, or one step
// more when it told nothing larger than what it already had.
std::uint32_t NextSize(std::uint32_t size, std::uint32_t needed) {
    return needed > size ? needed : size + kBssidListBufferGrowth;
}

}  // namespace

Result FetchBssidList(bool scanFirst, const OidQuery& query, const OidSet& set,
                      const BssidListMerge& merge, std::uint32_t largestSize) {
    if (scanFirst && set(ndis::OID_802_11_BSSID_LIST_SCAN, {}) != 0) {
        return RES_SCAN_REQUEST_FAILED;
    }

    std::uint32_t size = std::min(kBssidListInitialBufferSize, largestSize);
    for (std::uint32_t attempt = 1;; ++attempt) {
        std::vector<std::uint8_t> buffer(size);
        std::uint32_t bytesReturned = 0;
        const Result result = query(ndis::OID_802_11_BSSID_LIST, buffer, bytesReturned);
        if (result == 0) {
            if (bytesReturned == 0) return RES_BSSID_LIST_FAILED;
            const std::uint32_t filled = std::min<std::uint32_t>(bytesReturned, size);
            merge(std::span<const std::uint8_t>(buffer.data(), filled));
            return RES_BSSID_LIST_OBTAINED;
        }
        if (!IsBufferTooSmall(result)) return RES_BSSID_LIST_FAILED;
        // Reporting a list that never fitted as fetched would hide the
        // failure from the status line; nothing is merged, the counter stays.
        if (attempt == kBssidListMaxRetries) {
            LogWarn("The BSSID list did not fit in a buffer of %u bytes after %u attempts.", size,
                    attempt);
            return RES_BSSID_LIST_FAILED;
        }
        const std::uint32_t next = NextSize(size, bytesReturned);
        if (next > largestSize || next < size) {
            LogWarn("The BSSID list needs more than %u bytes, the most one query can carry.",
                    largestSize);
            return RES_BSSID_LIST_FAILED;
        }
        size = next;
    }
}

}  // namespace tarvik
