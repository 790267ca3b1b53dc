#include "driver/sim/SimFrames.h"

namespace tarvik::driver::sim {

namespace {

constexpr std::size_t kArpSize = 28;
constexpr std::size_t kMinimumFrame = 60;  // Ethernet minimum without the FCS

void PutBe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutMac(std::vector<std::uint8_t>& out, const MacAddress& mac) {
    out.insert(out.end(), mac.begin(), mac.end());
}

std::uint32_t GetBe32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

void PutEthernetHeader(std::vector<std::uint8_t>& out, const MacAddress& destination,
                       const MacAddress& source, std::uint16_t etherType) {
    PutMac(out, destination);
    PutMac(out, source);
    PutBe16(out, etherType);
}

std::vector<std::uint8_t> BuildArp(std::uint16_t operation, const MacAddress& destination,
                                   const MacAddress& sender, std::uint32_t senderIp,
                                   const MacAddress& target, std::uint32_t targetIp) {
    std::vector<std::uint8_t> frame;
    PutEthernetHeader(frame, destination, sender, kEtherTypeArp);
    PutBe16(frame, 1);  // Ethernet
    PutBe16(frame, kEtherTypeIpv4);
    frame.push_back(6);
    frame.push_back(4);
    PutBe16(frame, operation);
    PutMac(frame, sender);
    PutBe32(frame, senderIp);
    PutMac(frame, target);
    PutBe32(frame, targetIp);
    frame.resize(kMinimumFrame, 0);
    return frame;
}

std::uint16_t Checksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) sum += (data[i] << 8) | data[i + 1];
    if (size % 2) sum += data[size - 1] << 8;
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

}  // namespace

std::optional<std::uint16_t> EtherTypeOf(std::span<const std::uint8_t> frame) {
    if (frame.size() < kEthernetHeaderSize) return std::nullopt;
    return static_cast<std::uint16_t>((frame[12] << 8) | frame[13]);
}

std::vector<std::uint8_t> BuildArpRequest(const MacAddress& sender, std::uint32_t senderIp,
                                          std::uint32_t targetIp) {
    return BuildArp(1, kBroadcastMac, sender, senderIp, MacAddress{}, targetIp);
}

std::vector<std::uint8_t> BuildArpReply(const MacAddress& sender, std::uint32_t senderIp,
                                        const MacAddress& target, std::uint32_t targetIp) {
    return BuildArp(2, target, sender, senderIp, target, targetIp);
}

std::vector<std::uint8_t> BuildUdpFrame(const MacAddress& source, const MacAddress& destination,
                                        std::uint32_t sourceIp, std::uint32_t destinationIp,
                                        std::uint16_t sourcePort, std::uint16_t destinationPort,
                                        std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame;
    PutEthernetHeader(frame, destination, source, kEtherTypeIpv4);
    const std::size_t ipStart = frame.size();
    const auto udpLength = static_cast<std::uint16_t>(8 + payload.size());
    frame.push_back(0x45);  // version 4, 20-byte header
    frame.push_back(0);
    PutBe16(frame, static_cast<std::uint16_t>(20 + udpLength));
    PutBe16(frame, 0);       // identification
    PutBe16(frame, 0x4000);  // don't fragment
    frame.push_back(64);     // TTL
    frame.push_back(17);     // UDP
    PutBe16(frame, 0);       // checksum, filled below
    PutBe32(frame, sourceIp);
    PutBe32(frame, destinationIp);
    const std::uint16_t checksum = Checksum(&frame[ipStart], 20);
    frame[ipStart + 10] = static_cast<std::uint8_t>(checksum >> 8);
    frame[ipStart + 11] = static_cast<std::uint8_t>(checksum);
    PutBe16(frame, sourcePort);
    PutBe16(frame, destinationPort);
    PutBe16(frame, udpLength);
    PutBe16(frame, 0);  // no UDP checksum
    frame.insert(frame.end(), payload.begin(), payload.end());
    if (frame.size() < kMinimumFrame) frame.resize(kMinimumFrame, 0);
    return frame;
}

std::optional<ArpRequest> ParseArpRequest(std::span<const std::uint8_t> frame) {
    if (EtherTypeOf(frame) != kEtherTypeArp || frame.size() < kEthernetHeaderSize + kArpSize) {
        return std::nullopt;
    }
    const std::uint8_t* arp = frame.data() + kEthernetHeaderSize;
    const bool ethernetIpv4 = arp[0] == 0 && arp[1] == 1 && arp[2] == 0x08 && arp[3] == 0x00 &&
                              arp[4] == 6 && arp[5] == 4;
    if (!ethernetIpv4 || arp[6] != 0 || arp[7] != 1) return std::nullopt;
    ArpRequest request;
    std::copy(arp + 8, arp + 14, request.senderMac.begin());
    request.senderIp = GetBe32(arp + 14);
    request.targetIp = GetBe32(arp + 24);
    return request;
}

}  // namespace tarvik::driver::sim
