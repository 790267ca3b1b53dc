// What a monitor-mode card on the simulated channel would hear, reported as
// it happens: beacons, a station's association, and the data frames between
// a station and its access point (given as the Ethernet frames they carry).
#pragma once

#include <cstdint>
#include <span>

#include "driver/sim/Scenario.h"
#include "driver/sim/SimAccessPoint.h"

namespace tarvik::driver::sim {

class IAirMonitor {
  public:
    virtual ~IAirMonitor() = default;
    virtual void OnBeacon(const SimAccessPoint& ap) = 0;
    // Authentication and association of `station`; `requestElements` are
    // the elements of its association request (SSID, rates, WPA/RSN).
    virtual void OnAssociation(const SimAccessPoint& ap, const MacAddress& station,
                               std::span<const std::uint8_t> requestElements) = 0;
    // `toAp`: sent by the station; `isProtected`: encrypted on the air.
    virtual void OnData(const SimAccessPoint& ap, bool toAp,
                        std::span<const std::uint8_t> ethernetFrame, bool isProtected) = 0;
};

}  // namespace tarvik::driver::sim
