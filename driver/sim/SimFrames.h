// Ethernet frames of the simulated world: the ARP and IPv4/UDP traffic an
// access point's network sends to a station, and reading a station's ARP
// requests. Readers are bounds-checked and take any bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

inline constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
inline constexpr std::uint16_t kEtherTypeArp = 0x0806;
inline constexpr std::uint16_t kEtherTypeEapol = 0x888E;
inline constexpr std::size_t kEthernetHeaderSize = 14;
inline constexpr MacAddress kBroadcastMac{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

// The EtherType of a frame, or nothing when it has no full Ethernet header.
std::optional<std::uint16_t> EtherTypeOf(std::span<const std::uint8_t> frame);

// "who has targetIp? tell senderIp", broadcast, padded to 60 bytes.
std::vector<std::uint8_t> BuildArpRequest(const MacAddress& sender, std::uint32_t senderIp,
                                          std::uint32_t targetIp);
std::vector<std::uint8_t> BuildArpReply(const MacAddress& sender, std::uint32_t senderIp,
                                        const MacAddress& target, std::uint32_t targetIp);
// A UDP datagram in an IPv4 packet with a correct header checksum.
std::vector<std::uint8_t> BuildUdpFrame(const MacAddress& source, const MacAddress& destination,
                                        std::uint32_t sourceIp, std::uint32_t destinationIp,
                                        std::uint16_t sourcePort, std::uint16_t destinationPort,
                                        std::span<const std::uint8_t> payload);

struct ArpRequest {
    MacAddress senderMac{};
    std::uint32_t senderIp = 0;
    std::uint32_t targetIp = 0;
};
// An Ethernet/IPv4 ARP request, or nothing for anything else.
std::optional<ArpRequest> ParseArpRequest(std::span<const std::uint8_t> frame);

}  // namespace tarvik::driver::sim
