// The simulated radio world behind the driver daemon: adapters, access
// points, association, DHCP and traffic, all read from a scenario file and
// driven by Tick() from the server's one thread.
//
// Every request first brings the world up to the time source's present, so
// a scan, an SSID set or a signal query happens at the moment it is made
// even when the server's last Tick lies a while back.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/Backend.h"
#include "driver/sim/ExternalAuthenticator.h"
#include "driver/sim/Scenario.h"
#include "driver/sim/SimAdapter.h"
#include "driver/sim/SimWorld.h"

namespace tarvik::driver::sim {

class SimBackend final : public IBackend {
  public:
    // `start` is the world's time zero on the steady clock, `wallStart` the
    // Unix time then. Fails (with `error` naming the JSON path) when the
    // scenario asks for something the world cannot set up.
    // `now` is the time source (the steady clock in the daemon, a fake one
    // in tests); without one, requests see the world as of the last Tick.
    using TimeSource = std::function<Clock::time_point()>;
    static std::unique_ptr<SimBackend> Create(Scenario scenario, Clock::time_point start,
                                              std::int64_t wallStart, std::string& error,
                                              TimeSource now = {});

    void SetSink(IBackendSink* sink) override { sink_.Set(sink); }
    void Tick(Clock::time_point now) override;
    Clock::time_point NextDeadline() const override;

    std::vector<Binding> Bindings() const override;
    bool IsBound(const std::string& deviceName) const override;
    std::vector<NetworkCard> NetworkCards() const override;

    std::uint32_t QueryOid(const std::string& deviceName, std::uint32_t oid, std::size_t capacity,
                           std::vector<std::uint8_t>& out, std::size_t& needed) override;
    std::uint32_t SetOid(const std::string& deviceName, std::uint32_t oid,
                         std::span<const std::uint8_t> data) override;
    std::uint32_t WriteFrame(const std::string& deviceName,
                             std::span<const std::uint8_t> frame) override;

    bool GetIpConfig(const std::string& deviceName, IpConfig& config) const override;
    std::uint32_t ReleaseAddress(const std::string& deviceName) override;

    bool IsServiceRunning() const override { return serviceRunning_; }
    std::uint32_t StartService() override;
    std::uint32_t StopService() override;

    // Reports what goes over the air to `monitor` from now on (none: stop),
    // starting with a beacon of every access point on the air.
    void SetAirMonitor(IAirMonitor* monitor);

    // The adapter of a device name, or none (for the authenticator and tests).
    SimAdapter* FindAdapter(const std::string& deviceName);
    const SimAdapter* FindAdapter(const std::string& deviceName) const;

  private:
    SimBackend(Scenario scenario, Clock::time_point start, std::int64_t wallStart, TimeSource now);
    // Runs the world up to `now` (const: a request that only reads still
    // sees, and reports, what has happened by then).
    void RunWorld(Clock::time_point now) const;
    void CatchUp() const;
    // Beacons of the access points that came on the air by `now`.
    void NoteAccessPointsOnAir(Clock::time_point now) const;

    Scenario scenario_;  // owns what the world's objects refer to; never changes
    SimWorld world_;
    // Before the adapters: their sessions talk to these until they go.
    std::vector<std::unique_ptr<CExternalAuthenticator>> externals_;
    SinkRelay sink_;
    std::vector<std::unique_ptr<SimAdapter>> adapters_;
    TimeSource now_;
    mutable Clock::time_point lastTick_;
    bool serviceRunning_ = false;
    mutable std::vector<bool> onAir_;  // per access point, as the monitor last saw it
};

}  // namespace tarvik::driver::sim

namespace tarvik::driver {

// The daemon's entry: reads the scenario file and starts the world now. On
// failure returns nothing, with `error` naming the file and the JSON path.
// With `monitor`, what goes over the air is reported to it.
std::unique_ptr<IBackend> CreateSimBackend(const std::string& scenarioPath, std::string& error,
                                           sim::IAirMonitor* monitor = nullptr);

}  // namespace tarvik::driver
