// What Network Hopping and the Connection Manager see of the program: the
// network list, the connection procedure (its start and the three values it
// keeps), the chosen adapter's address and current network, the status line
// and the profiles. Everything is used on the GUI thread only, where the
// records' connection statuses are written too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ResultCodes.h"
#include "networks/NetworkList.h"
#include "profiles/NetworkKey.h"

namespace tarvik {

class IAutoConnectSeam {
  public:
    virtual ~IAutoConnectSeam() = default;
    // The network records in list order and the scan counter they age by.
    virtual const std::vector<BssidRecord>& Records() const = 0;
    virtual std::uint32_t ScanCounter() const = 0;
    // From the start of an attempt until its result is known.
    virtual bool IsConnectionInProgress() const = 0;
    // The result of the last attempt that ended.
    virtual Result LastResult() const = 0;
    // The record the last started attempt set out to join, or null.
    virtual BssidRecord LastTarget() const = 0;
    // Starts joining `record`; `profile` (or none) is copied.
    virtual Result ConnectToBssid(const BssidRecord& record, const CNetworkKey* profile) = 0;
    // The chosen adapter has a usable address (or takes no address from DHCP).
    virtual bool IsAddressValid() = 0;
    // The network the chosen adapter is on, as the status line names it.
    virtual std::string CurrentSsidText() = 0;
    virtual std::string CurrentBssidText() = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    // The saved profiles in list order.
    virtual std::vector<const CNetworkKey*> Profiles() const = 0;
};

}  // namespace tarvik
