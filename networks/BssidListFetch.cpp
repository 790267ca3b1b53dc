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

}  // namespace

Result FetchBssidList(bool scanFirst, const OidQuery& query, const OidSet& set,
                      const BssidListMerge& merge) {
    if (scanFirst && set(ndis::OID_802_11_BSSID_LIST_SCAN, {}) != 0) {
        return RES_SCAN_REQUEST_FAILED;
    }

    std::uint32_t size = kBssidListInitialBufferSize;
    for (std::uint32_t retries = 0;;) {
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
        size += kBssidListBufferGrowth;
        if (++retries >= kBssidListMaxRetries) break;
    }
    // Reporting this as a fetched list would hide the failure from the
    // status line; nothing was merged and the counter stays.
    LogWarn("The BSSID list did not fit in a buffer of %u bytes after %u attempts.",
            size - kBssidListBufferGrowth, kBssidListMaxRetries);
    return RES_BSSID_LIST_FAILED;
}

}  // namespace tarvik
