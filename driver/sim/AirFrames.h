// IEEE 802.11 frames as they go over the air, for the capture of the
// simulated channel. No FCS; the caller puts a radiotap header in front.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "driver/sim/Scenario.h"
#include "driver/sim/SimAccessPoint.h"

namespace tarvik::driver::sim {

using AirFrame = std::vector<std::uint8_t>;

// `timestampUs`: the access point's TSF; `sequence`: 0 to 4095.
AirFrame BuildBeacon(const SimAccessPoint& ap, std::uint64_t timestampUs, std::uint16_t sequence);
// Open System authentication; `transaction` 1 from the station, 2 the answer.
AirFrame BuildAuthentication(const SimAccessPoint& ap, const MacAddress& station,
                             std::uint16_t transaction, std::uint16_t sequence);
AirFrame BuildAssociationRequest(const SimAccessPoint& ap, const MacAddress& station,
                                 std::span<const std::uint8_t> elements, std::uint16_t sequence);
AirFrame BuildAssociationResponse(const SimAccessPoint& ap, const MacAddress& station,
                                  std::uint16_t sequence);
// The Ethernet frame as an 802.11 data frame with LLC/SNAP, ToDS when the
// station sends it, FromDS when the access point does. A protected frame
// gets the Protected bit and a security header before its body (WEP's IV
// or the extended IV of TKIP and CCMP); the simulated world does not
// encrypt, so the body stays as it was. Nothing for a frame too short.
std::optional<AirFrame> BuildDataFrame(const SimAccessPoint& ap, bool toAp,
                                       std::span<const std::uint8_t> ethernetFrame,
                                       bool isProtected, std::uint64_t packetNumber,
                                       std::uint16_t sequence);

// The minimal radiotap header with the channel field for `ap`'s frequency.
std::vector<std::uint8_t> BuildRadiotap(const SimAccessPoint& ap);

}  // namespace tarvik::driver::sim
