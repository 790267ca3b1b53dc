// The WPA bridge: prepares the supplicant for one WPA-PSK or WPA2-PSK join
// (the current connection), arms and releases the connect wait
// "ReceiveConnectSync", and takes the EAPOL frames the receive thread hands
// over: checks them against the connection, refreshes the security elements
// from the association information and passes them to the supplicant, whose
// replies go out through the adapter's packet channel.
//
// Threads: Prepare, SetState, Wait and Disarm run on the connection worker;
// HandleEapol on the adapter's receive thread. The current connection is
// replaced whole under a lock, and a frame works on the connection it took at
// its start, so a frame during Prepare is handled with the previous one.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "connect/SupplicantBridge.h"
#include "ndis/BssidEntry.h"
#include "ndis/NdisTypes.h"

namespace tarvik {

class CAdapter;

inline constexpr const char* kUnusableWpaKeyText =
    "The network key cannot be used for WPA: it must be 8 to 63 characters, or 64 hexadecimal "
    "digits. Unable to connect.";

class CWpaBridge : public ISupplicantBridge {
  public:
    // The scan list's entry of a BSSID, from any thread; empty when not listed.
    using NetworkLookup = std::function<std::optional<ndis::BssidEntry>(const ndis::MacAddress&)>;
    // Where the handshake's progress texts go (the status line by default).
    using ProgressText = std::function<void(const std::string&)>;

    explicit CWpaBridge(NetworkLookup lookup = nullptr, ProgressText progress = nullptr);
    ~CWpaBridge() override;
    CWpaBridge(const CWpaBridge&) = delete;
    CWpaBridge& operator=(const CWpaBridge&) = delete;

    void Prepare(CAdapter& adapter, const ndis::BssidEntry& entry, const NetworkSecurity& security,
                 const CNetworkKey& profile) override;
    void SetState(int state) override;
    BridgeWaitResult Wait(std::chrono::milliseconds bound) override;
    void Disarm() override;

    // Receive thread: one whole EAPOL frame (Ethernet header first) that
    // `adapter` received.
    void HandleEapol(CAdapter& adapter, std::span<const std::uint8_t> frame);

    struct Connection;

  private:
    std::shared_ptr<Connection> Current() const;
    void ReleaseWait();
    bool FindConnectedNetwork(CAdapter& adapter, Connection& connection);
    void SendProgress(int state);

    NetworkLookup lookup_;
    ProgressText progress_;
    mutable std::mutex mutex_;  // guards current_
    std::shared_ptr<Connection> current_;
    std::mutex waitMutex_;  // guards the connect wait below
    std::condition_variable released_;
    bool armed_ = false;
    bool signalled_ = false;
    std::string refusal_;  // why the last Prepare could not arm the wait
};

}  // namespace tarvik
