// The simulated radio world behind the driver daemon: adapters, access
// points, association, DHCP and traffic, all read from a scenario file and
// driven by Tick() from the server's one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/Backend.h"
#include "driver/sim/Scenario.h"
#include "driver/sim/SimAdapter.h"
#include "driver/sim/SimWorld.h"

namespace tarvik::driver::sim {

class SimBackend final : public IBackend {
  public:
    // `start` is the world's time zero on the steady clock, `wallStart` the
    // Unix time then. Fails (with `error` naming the JSON path) when the
    // scenario asks for something the world cannot set up.
    static std::unique_ptr<SimBackend> Create(Scenario scenario, Clock::time_point start,
                                              std::int64_t wallStart, std::string& error);

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

    // The adapter of a device name, or none (for the authenticator and tests).
    SimAdapter* FindAdapter(const std::string& deviceName);
    const SimAdapter* FindAdapter(const std::string& deviceName) const;

  private:
    explicit SimBackend(Scenario scenario, Clock::time_point start, std::int64_t wallStart);

    Scenario scenario_;  // owns what the world's objects refer to; never changes
    SimWorld world_;
    SinkRelay sink_;
    std::vector<std::unique_ptr<SimAdapter>> adapters_;
    Clock::time_point lastTick_;
    bool serviceRunning_ = false;
};

}  // namespace tarvik::driver::sim

namespace tarvik::driver {

// The daemon's entry: reads the scenario file and starts the world now. On
// failure returns nothing, with `error` naming the file and the JSON path.
std::unique_ptr<IBackend> CreateSimBackend(const std::string& scenarioPath, std::string& error);

}  // namespace tarvik::driver
