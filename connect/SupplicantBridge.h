// The seam between the connection procedure and the WPA key handshake: the
// procedure prepares the supplicant for one join, arms the completion event
// "ReceiveConnectSync", starts the handshake's state machine and waits for
// the event; the handshake itself runs on the adapter's receive thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "connect/CipherChoice.h"
#include "core/ResultCodes.h"
#include "ndis/BssidEntry.h"

namespace tarvik {

class CAdapter;
class CNetworkKey;

// How a wait for the completion event ended.
enum class BridgeWaitKind {
    Event,    // the handshake completed (keys installed)
    Timeout,  // the bound ran out first
    Failed,   // the wait itself failed; `lastError` says why
    Other,    // any other end (an alerted wait); `code` is its result
};

struct BridgeWaitResult {
    BridgeWaitKind kind = BridgeWaitKind::Timeout;
    std::uint32_t lastError = 0;
    Result code = RES_FAILURE;
    // With Failed: a text for the status line when the bridge knows why.
    std::string text = {};
};

// The handshake state the procedure sets before it waits.
inline constexpr int kSupplicantStateAssociated = 4;

class ISupplicantBridge {
  public:
    virtual ~ISupplicantBridge() = default;
    // Derives what the handshake needs from the profile and arms the
    // completion event. Connection worker thread: `entry` and `security` are
    // the network record's, copied when the join started.
    virtual void Prepare(CAdapter& adapter, const ndis::BssidEntry& entry,
                         const NetworkSecurity& security, const CNetworkKey& profile) = 0;
    virtual void SetState(int state) = 0;
    virtual BridgeWaitResult Wait(std::chrono::milliseconds bound) = 0;
    // Disarms the completion event and closes it.
    virtual void Disarm() = 0;
};

}  // namespace tarvik
