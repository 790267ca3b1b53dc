// The IP configuration of one simulated adapter: a static one, or what its
// DHCP client obtains from the network it is attached to (a lease after the
// server's delay, or an automatic private address when no server answers).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "driver/Backend.h"
#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

class DhcpClient {
  public:
    // `wallStart` is the Unix time at `start`, for the lease times.
    DhcpClient(const Adapter& adapter, Clock::time_point start, std::int64_t wallStart);

    const IpConfig& Config() const { return config_; }
    bool IsStatic() const { return !config_.dhcpEnabled; }

    // Attached to a network whose server is `server` (none: it never
    // answers). The outcome arrives after the server's delay.
    void Begin(Clock::time_point now, const DhcpConfig* server);
    // The same, already settled (an association that predates the daemon).
    void Settle(Clock::time_point now, const DhcpConfig* server);
    // Detached: the address goes. True when the configuration changed.
    bool Drop();
    // IpReleaseAddress: true when there was an address to give back.
    bool Release();

    std::optional<Clock::time_point> NextDeadline() const { return due_; }
    // Applies an outcome or a renewal that is due; true when the address
    // changed. `reachable` false: the exchange's frames do not get through
    // (the station's keys do not match, or its pairwise key is not installed
    // yet), so the client sends again a few times before it gives up.
    bool Run(Clock::time_point now, bool reachable = true);

    // A client whose request went unanswered sends it again this often, this
    // many times, before it takes an automatic address.
    static constexpr auto kRetransmitInterval = std::chrono::seconds(1);
    static constexpr int kRetransmits = 3;

  private:
    void ApplyLease(Clock::time_point now, const DhcpConfig& server);
    void ApplyAutoconfiguration();
    void ClearAddress();
    std::int64_t WallTime(Clock::time_point now) const;

    const Adapter& adapter_;
    Clock::time_point start_;
    std::int64_t wallStart_;
    IpConfig config_;
    const DhcpConfig* server_ = nullptr;
    bool serverAnswers_ = false;
    int retransmits_ = 0;  // of the current exchange
    std::optional<Clock::time_point> due_;
};

}  // namespace tarvik::driver::sim
