// Joining a network and leaving it, as the main window's commands and the
// table's double click start them. The connection procedure implements it.
#pragma once

#include "core/ResultCodes.h"
#include "networks/NetworkList.h"
#include "profiles/NetworkKey.h"

namespace tarvik {

class IConnectionActions {
  public:
    virtual ~IConnectionActions() = default;
    // 0 or RES_KEY_OBTAINED when an attempt started (or the support check
    // refused the network with its own message); -1 when nothing started
    // (already connected, key prompt cancelled, refused); -2 while an
    // attempt runs. `profile` is copied.
    virtual Result ConnectToBssid(const BssidRecord& record,
                                  const CNetworkKey* profile = nullptr) = 0;
    virtual void Disconnect() = 0;
    // Program exit, before the adapters go: a running attempt skips its
    // remaining steps and is waited for; no attempt starts afterwards.
    virtual void EndAttempts() {}
    // What the automatic modes read (GUI thread): an attempt runs from its
    // start until its result is known; the result of the last attempt that
    // ended; the record the last started attempt set out to join.
    virtual bool IsRunning() const { return false; }
    virtual Result LastResult() const { return RES_FAILURE; }
    virtual BssidRecord LastTarget() const { return nullptr; }
};

}  // namespace tarvik
