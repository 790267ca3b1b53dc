// The capture of the simulated channel: a pcap file (link type 127, 802.11
// with radiotap) of what a monitor-mode card would hear. Each frame is
// written whole at once, so the file stays readable if the daemon is killed.
#pragma once

#include <functional>
#include <string>

#include "driver/PrivateLogFile.h"
#include "driver/sim/AirMonitor.h"

namespace tarvik::driver {

class CAirCapture final : public sim::IAirMonitor {
  public:
    // Microseconds since the Unix epoch, stamped on each frame.
    using WallClock = std::function<std::uint64_t()>;

    explicit CAirCapture(WallClock clock = {});
    // Opens the file (see CPrivateLogFile::Open) and writes the pcap header.
    bool Open(const std::string& path, std::string& error);

    void OnBeacon(const sim::SimAccessPoint& ap) override;
    void OnAssociation(const sim::SimAccessPoint& ap, const sim::MacAddress& station,
                       std::span<const std::uint8_t> requestElements) override;
    void OnData(const sim::SimAccessPoint& ap, bool toAp,
                std::span<const std::uint8_t> ethernetFrame, bool isProtected) override;

  private:
    void WriteRecord(const sim::SimAccessPoint& ap, std::span<const std::uint8_t> frame);
    std::uint16_t NextSequence() { return sequence_++ & 0x0FFF; }

    WallClock clock_;
    CPrivateLogFile file_;
    std::uint16_t sequence_ = 0;
    std::uint64_t packetNumber_ = 1;
};

}  // namespace tarvik::driver
