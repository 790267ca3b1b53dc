// The link between one associated station and its access point. Frames from
// the station arrive here and frames to the station leave from here, so the
// access point's side of the conversation (ARP for the gateway, the network's
// own traffic, and the EAPOL authenticator of WPA networks) lives in one place.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "driver/Backend.h"
#include "driver/sim/ApAuthenticator.h"
#include "driver/sim/ExternalAuthenticator.h"
#include "driver/sim/SimAccessPoint.h"

namespace tarvik::driver::sim {

// The station side of a session: the adapter that receives the frames.
class IStationPort {
  public:
    virtual ~IStationPort() = default;
    // `readable` is false when the station cannot decrypt the frame (a WEP
    // key that does not match, a corrupted frame): it counts as an error.
    virtual void DeliverToStation(std::span<const std::uint8_t> frame, bool readable) = 0;
    // True when the station installed `temporalKey` as its pairwise key.
    virtual bool HoldsPairwiseKey(std::span<const std::uint8_t> temporalKey) const = 0;
};

class ApSession {
  public:
    // `keyMatches`: false when the station joined a WEP network with a key of
    // its own, so nothing it receives decrypts.
    ApSession(const SimAccessPoint& ap, const MacAddress& station, IStationPort& port,
              bool keyMatches);
    ~ApSession();
    ApSession(const ApSession&) = delete;
    ApSession& operator=(const ApSession&) = delete;

    const SimAccessPoint& Ap() const { return ap_; }
    const MacAddress& Station() const { return station_; }
    // Whether the station can read what the access point sends: with an
    // authenticator, while its pairwise key is the one the handshake made.
    bool KeyMatches() const;

    // Runs the key handshakes of a WPA network, starting with message 1.
    void StartAuthenticator(AuthenticatorSetup setup, Clock::time_point now);
    const CApAuthenticator* Authenticator() const { return authenticator_.get(); }
    // Hands the access point's side to the access point's program, telling
    // it of the association and `stationElement` (the station's WPA or RSN
    // element of its association request).
    void StartExternal(std::span<const std::uint8_t> stationElement);
    bool IsExternal() const { return external_ != nullptr; }
    // Tells the program of a key the station installed.
    void ReportKey(bool pairwise, std::uint32_t index, std::uint64_t rsc,
                   std::span<const std::uint8_t> key);
    // The authenticator gave up, or the program sent the station away or
    // went: the station is to be deauthenticated.
    bool IsRejected() const {
        return externalRejected_ || (authenticator_ && authenticator_->HasFailed());
    }

    // 802.1X controlled port: open and WEP networks open it at association;
    // WPA networks open it when the key handshake completes.
    bool PortOpen() const { return portOpen_; }
    void OpenPort(Clock::time_point now);

    // A frame the station transmitted. Before the port opens only EAPOL
    // frames pass; they go to the authenticator, which opens the port when
    // its handshakes complete.
    void OnFrameFromStation(std::span<const std::uint8_t> frame, Clock::time_point now);

    // The network's own traffic toward the station.
    std::optional<Clock::time_point> NextDeadline() const;
    void Run(Clock::time_point now);

  private:
    void SendTrafficFrame();
    void RunExternal(Clock::time_point now);
    void SendEapol(std::span<const std::uint8_t> eapol);
    std::uint32_t NextRandom();

    const SimAccessPoint& ap_;
    MacAddress station_;
    IStationPort& port_;
    bool keyMatches_;
    bool portOpen_ = false;
    std::optional<Clock::time_point> nextFrame_;
    std::uint32_t random_;
    std::unique_ptr<CApAuthenticator> authenticator_;
    CExternalAuthenticator* external_ = nullptr;
    bool externalRejected_ = false;
};

}  // namespace tarvik::driver::sim
