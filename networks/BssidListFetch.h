// Fetching an adapter's BSSID list: an optional scan request, then the list
// query, asked again with the size the driver needs until the list fits. The adapter plugs in
// its own OID query and set, so the same loop serves the driver channel and
// the direct query path.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/ResultCodes.h"
#include "networks/ScanSource.h"

namespace tarvik {

// Queries `oid` into `buffer`: 0 or a Win32 error; `bytesReturned` is the
// count of bytes the reply filled. When the buffer is too small
// (ERROR_INSUFFICIENT_BUFFER), it is the size the reply needs if the driver
// tells it (NDIS BytesNeeded), else 0.
using OidQuery = std::function<Result(std::uint32_t oid, std::span<std::uint8_t> buffer,
                                      std::uint32_t& bytesReturned)>;
// Sets `oid` with `data` (empty for sets without a value): 0 or an error.
using OidSet = std::function<Result(std::uint32_t oid, std::span<const std::uint8_t> data)>;

inline constexpr std::uint32_t kBssidListInitialBufferSize = 2000;
inline constexpr std::uint32_t kBssidListBufferGrowth = 100;
inline constexpr std::uint32_t kBssidListMaxRetries = 1000;

// 1. When `scanFirst`: set OID_802_11_BSSID_LIST_SCAN; a failure gives
//    RES_SCAN_REQUEST_FAILED.
// 2. Query OID_802_11_BSSID_LIST into a 2000-byte buffer. While the reply is
//    ERROR_INSUFFICIENT_BUFFER or ERROR_INVALID_USER_BUFFER, ask again with
//    the size the driver says it needs; a driver that tells no larger size
//    gets 100 bytes more each time. At most 1000 retries, and never a buffer
//    above `largestSize` (what the query path can carry).
// 3. A reply with bytes goes to `merge` (never more bytes than the buffer
//    holds): RES_BSSID_LIST_OBTAINED. No bytes, any other error, or a list
//    that did not fit: RES_BSSID_LIST_FAILED, logged with the sizes.
Result FetchBssidList(bool scanFirst, const OidQuery& query, const OidSet& set,
                      const BssidListMerge& merge, std::uint32_t largestSize);

}  // namespace tarvik
