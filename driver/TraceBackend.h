// A backend that writes what passes through it to a trace file, one JSON
// object a line: every OID query and set, every frame written or delivered,
// every media event. Key material in sets is masked unless asked for.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "driver/Backend.h"
#include "driver/PrivateLogFile.h"

namespace tarvik::driver {

class CTraceBackend final : public IBackend, private IBackendSink {
  public:
    // The time written with each line, in Unix seconds.
    using WallClock = std::function<double()>;

    CTraceBackend(IBackend& inner, bool showKeys, WallClock clock = {});
    // Opens the trace file (see CPrivateLogFile::Open).
    bool Open(const std::string& path, std::string& error);

    void SetSink(IBackendSink* sink) override;
    void Tick(Clock::time_point now) override { inner_.Tick(now); }
    Clock::time_point NextDeadline() const override { return inner_.NextDeadline(); }
    std::vector<Binding> Bindings() const override { return inner_.Bindings(); }
    bool IsBound(const std::string& deviceName) const override {
        return inner_.IsBound(deviceName);
    }
    std::vector<NetworkCard> NetworkCards() const override { return inner_.NetworkCards(); }

    std::uint32_t QueryOid(const std::string& deviceName, std::uint32_t oid, std::size_t capacity,
                           std::vector<std::uint8_t>& out, std::size_t& needed) override;
    std::uint32_t SetOid(const std::string& deviceName, std::uint32_t oid,
                         std::span<const std::uint8_t> data) override;
    std::uint32_t WriteFrame(const std::string& deviceName,
                             std::span<const std::uint8_t> frame) override;

    bool GetIpConfig(const std::string& deviceName, IpConfig& config) const override {
        return inner_.GetIpConfig(deviceName, config);
    }
    std::uint32_t ReleaseAddress(const std::string& deviceName) override {
        return inner_.ReleaseAddress(deviceName);
    }
    bool IsServiceRunning() const override { return inner_.IsServiceRunning(); }
    std::uint32_t StartService() override { return inner_.StartService(); }
    std::uint32_t StopService() override { return inner_.StopService(); }

  private:
    void OnFrameReceived(const std::string& deviceName,
                         std::span<const std::uint8_t> frame) override;
    void OnMediaEvent(const std::string& deviceName, const std::string& instanceName,
                      bool connected) override;
    void OnAddressChanged(const std::string& deviceName) override;

    void TraceFrame(const std::string& deviceName, const char* direction,
                    std::span<const std::uint8_t> frame);
    template <typename Json>
    void WriteLine(Json& line);

    IBackend& inner_;
    bool showKeys_;
    WallClock clock_;
    IBackendSink* sink_ = nullptr;
    CPrivateLogFile file_;
};

// The hex of an OID set's data with the bytes of any key it carries
// replaced by "**" (from the key material on, whatever length it claims).
std::string TraceSetData(std::uint32_t oid, std::span<const std::uint8_t> data, bool showKeys);

}  // namespace tarvik::driver
