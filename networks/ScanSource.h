// The chosen adapter as the scan cycle sees it: its scanning switch, the
// BSSID list fetch and the connection-status refresh. CAdapter implements it;
// its fetch is FetchBssidList (BssidListFetch.h) over its own OID query and
// set.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/ResultCodes.h"
#include "networks/NetworkList.h"

namespace tarvik {

// Receives one BSSID list reply: exactly the bytes the adapter returned.
using BssidListMerge = std::function<void(std::span<const std::uint8_t> listBytes)>;

class IScanSource {
  public:
    virtual ~IScanSource() = default;

    // The scanning switch: while off, the cycle fetches no lists.
    virtual bool IsScanning() const = 0;
    virtual void SetScanning(bool on) = 0;

    // Asks the adapter to scan first when `scanFirst`, then fetches its BSSID
    // list and hands it to `merge`. RES_BSSID_LIST_OBTAINED when a list was
    // merged; RES_SCAN_REQUEST_FAILED or RES_BSSID_LIST_FAILED otherwise.
    virtual Result ScanAndFetchBssidList(bool scanFirst, const BssidListMerge& merge) = 0;

    // Sets every record's connection status from the adapter's association;
    // records older than HitOutOfRangeInterval scans become "Not Detected".
    // RES_CONNECTION_STATES_UPDATED, or RES_CONNECTION_QUERY_FAILED.
    virtual Result UpdateConnectionStates(const NetworkSnapshot& snapshot,
                                          std::uint32_t scanCounter) = 0;
};

}  // namespace tarvik
