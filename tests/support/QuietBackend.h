// A driver backend with nothing happening in it: no timers, no events, every
// set and frame accepted, no IP configuration, the competing service running.
// Stand-ins for benchmarks and fuzzing derive from it and answer only what
// they exercise (bindings and queries).
#pragma once

#include "driver/Backend.h"

namespace tarvik::testing_support {

class QuietBackend : public driver::IBackend {
  public:
    void SetSink(driver::IBackendSink*) override {}
    void Tick(driver::Clock::time_point) override {}
    driver::Clock::time_point NextDeadline() const override {
        return driver::Clock::time_point::max();
    }
    std::uint32_t SetOid(const std::string&, std::uint32_t,
                         std::span<const std::uint8_t>) override {
        return 0;
    }
    std::uint32_t WriteFrame(const std::string&, std::span<const std::uint8_t>) override {
        return 0;
    }
    bool GetIpConfig(const std::string&, driver::IpConfig&) const override { return false; }
    std::uint32_t ReleaseAddress(const std::string&) override { return 0; }
    bool IsServiceRunning() const override { return true; }
    std::uint32_t StartService() override { return 0; }
    std::uint32_t StopService() override { return 0; }
};

}  // namespace tarvik::testing_support
