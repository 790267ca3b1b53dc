// What all simulated adapters share: the access points on the air, the
// scenario's start in steady and in wall-clock time, and where to report.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "driver/Backend.h"
#include "driver/sim/AirMonitor.h"
#include "driver/sim/SimAccessPoint.h"

namespace tarvik::driver::sim {

// Win32 errors the simulated card gives besides those of core/ResultCodes.h.
inline constexpr std::uint32_t kErrorNotReady = 21;
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;

struct SimWorld {
    std::vector<SimAccessPoint> accessPoints;
    Clock::time_point start;
    std::int64_t wallStart = 0;      // Unix seconds at `start`
    IAirMonitor* monitor = nullptr;  // the capture of the channel, if any

    double SecondsAt(Clock::time_point t) const {
        return std::chrono::duration<double>(t - start).count();
    }
};

// Forwards to the backend's current sink, which may be none.
class SinkRelay final : public IBackendSink {
  public:
    void Set(IBackendSink* sink) { sink_ = sink; }
    bool Connected() const { return sink_ != nullptr; }
    void OnFrameReceived(const std::string& deviceName,
                         std::span<const std::uint8_t> frame) override {
        if (sink_) sink_->OnFrameReceived(deviceName, frame);
    }
    void OnMediaEvent(const std::string& deviceName, const std::string& instanceName,
                      bool connected) override {
        if (sink_) sink_->OnMediaEvent(deviceName, instanceName, connected);
    }
    void OnAddressChanged(const std::string& deviceName) override {
        if (sink_) sink_->OnAddressChanged(deviceName);
    }

  private:
    IBackendSink* sink_ = nullptr;
};

}  // namespace tarvik::driver::sim
