#include "driver/sim/AirFrames.h"

#include <algorithm>
#include <optional>

#include "ndis/ByteOrder.h"

namespace tarvik::driver::sim {
namespace {

constexpr std::uint8_t kBeacon = 0x80, kAuthentication = 0xB0, kAssociationRequest = 0x00,
                       kAssociationResponse = 0x10, kData = 0x08;
constexpr std::uint8_t kToDs = 0x01, kFromDs = 0x02, kProtected = 0x40;
constexpr std::size_t kEthernetHeader = 14;

void Append(AirFrame& frame, std::span<const std::uint8_t> bytes) {
    frame.insert(frame.end(), bytes.begin(), bytes.end());
}

void AppendLe16(AirFrame& frame, std::uint16_t value) {
    frame.push_back(static_cast<std::uint8_t>(value));
    frame.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Frame control, duration, three addresses, sequence control.
AirFrame Header(std::uint8_t type, std::uint8_t flags, const MacAddress& a1, const MacAddress& a2,
                const MacAddress& a3, std::uint16_t sequence) {
    // Sized first and filled in place: gcc 12 misreads appends to a short
    // vector as writes past its end at -O3.
    AirFrame frame(24, 0);
    frame[0] = type;
    frame[1] = flags;
    std::copy(a1.begin(), a1.end(), frame.begin() + 4);
    std::copy(a2.begin(), a2.end(), frame.begin() + 10);
    std::copy(a3.begin(), a3.end(), frame.begin() + 16);
    const auto control = static_cast<std::uint16_t>((sequence & 0x0FFF) << 4);
    frame[22] = static_cast<std::uint8_t>(control);
    frame[23] = static_cast<std::uint8_t>(control >> 8);
    return frame;
}

}  // namespace

AirFrame BuildBeacon(const SimAccessPoint& ap, std::uint64_t timestampUs, std::uint16_t sequence) {
    const MacAddress& bssid = ap.Config().bssid;
    const MacAddress broadcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    AirFrame frame = Header(kBeacon, 0, broadcast, bssid, bssid, sequence);
    for (int i = 0; i < 8; ++i) frame.push_back(static_cast<std::uint8_t>(timestampUs >> (8 * i)));
    AppendLe16(frame, static_cast<std::uint16_t>(ap.Config().beaconPeriod));
    AppendLe16(frame, ap.CapabilityInfo());
    Append(frame, ap.BeaconElements());
    return frame;
}

AirFrame BuildAuthentication(const SimAccessPoint& ap, const MacAddress& station,
                             std::uint16_t transaction, std::uint16_t sequence) {
    const MacAddress& bssid = ap.Config().bssid;
    const bool fromStation = transaction % 2 == 1;
    AirFrame frame = Header(kAuthentication, 0, fromStation ? bssid : station,
                            fromStation ? station : bssid, bssid, sequence);
    AppendLe16(frame, 0);  // Open System
    AppendLe16(frame, transaction);
    AppendLe16(frame, 0);  // success
    return frame;
}

AirFrame BuildAssociationRequest(const SimAccessPoint& ap, const MacAddress& station,
                                 std::span<const std::uint8_t> elements, std::uint16_t sequence) {
    const MacAddress& bssid = ap.Config().bssid;
    AirFrame frame = Header(kAssociationRequest, 0, bssid, station, bssid, sequence);
    AppendLe16(frame, ap.CapabilityInfo());
    AppendLe16(frame, 10);  // listen interval, as the card reports it
    Append(frame, elements);
    return frame;
}

AirFrame BuildAssociationResponse(const SimAccessPoint& ap, const MacAddress& station,
                                  std::uint16_t sequence) {
    const MacAddress& bssid = ap.Config().bssid;
    AirFrame frame = Header(kAssociationResponse, 0, station, bssid, bssid, sequence);
    AppendLe16(frame, ap.CapabilityInfo());
    AppendLe16(frame, 0);       // success
    AppendLe16(frame, 0xC001);  // AID 1
    const auto& rates = ap.RateBytes();
    if (!rates.empty()) {
        const std::size_t basic = std::min<std::size_t>(rates.size(), 8);
        frame.push_back(1);
        frame.push_back(static_cast<std::uint8_t>(basic));
        frame.insert(frame.end(), rates.begin(), rates.begin() + basic);
        if (rates.size() > basic) {
            frame.push_back(50);  // extended supported rates
            frame.push_back(static_cast<std::uint8_t>(rates.size() - basic));
            frame.insert(frame.end(), rates.begin() + basic, rates.end());
        }
    }
    return frame;
}

std::optional<AirFrame> BuildDataFrame(const SimAccessPoint& ap, bool toAp,
                                       std::span<const std::uint8_t> ethernetFrame,
                                       bool isProtected, std::uint64_t packetNumber,
                                       std::uint16_t sequence) {
    if (ethernetFrame.size() < kEthernetHeader) return std::nullopt;
    MacAddress destination{}, source{};
    std::copy_n(ethernetFrame.begin(), 6, destination.begin());
    std::copy_n(ethernetFrame.begin() + 6, 6, source.begin());
    const MacAddress& bssid = ap.Config().bssid;
    const std::uint8_t flags = (toAp ? kToDs : kFromDs) | (isProtected ? kProtected : 0);
    AirFrame frame = toAp ? Header(kData, flags, bssid, source, destination, sequence)
                          : Header(kData, flags, destination, bssid, source, sequence);
    if (isProtected && ap.IsWep()) {
        const std::uint8_t iv[4] = {static_cast<std::uint8_t>(packetNumber),
                                    static_cast<std::uint8_t>(packetNumber >> 8),
                                    static_cast<std::uint8_t>(packetNumber >> 16), 0};
        Append(frame, iv);
    } else if (isProtected) {
        const std::uint8_t pn[8] = {static_cast<std::uint8_t>(packetNumber),
                                    static_cast<std::uint8_t>(packetNumber >> 8),
                                    0,
                                    0x20,  // extended IV, key 0
                                    static_cast<std::uint8_t>(packetNumber >> 16),
                                    static_cast<std::uint8_t>(packetNumber >> 24),
                                    static_cast<std::uint8_t>(packetNumber >> 32),
                                    static_cast<std::uint8_t>(packetNumber >> 40)};
        Append(frame, pn);
    }
    const std::uint8_t snap[6] = {0xAA, 0xAA, 0x03, 0, 0, 0};
    Append(frame, snap);
    Append(frame, ethernetFrame.subspan(12));  // EtherType and payload
    return frame;
}

std::vector<std::uint8_t> BuildRadiotap(const SimAccessPoint& ap) {
    const std::uint32_t mhz = ap.Config().frequencyKhz / 1000;
    const bool fiveGhz = mhz >= 4900;
    const bool ofdm = ap.Config().networkType != NetworkType::DS;
    std::uint16_t channelFlags = fiveGhz ? 0x0100 : 0x0080;
    channelFlags |= ofdm ? 0x0040 : 0x0020;
    std::vector<std::uint8_t> header{0, 0, 12, 0};  // version, pad, length 12
    ndis::AppendLe32(header, 1u << 3);              // present: channel
    AppendLe16(header, static_cast<std::uint16_t>(mhz));
    AppendLe16(header, channelFlags);
    return header;
}

}  // namespace tarvik::driver::sim
