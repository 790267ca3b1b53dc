#include "driver/AirCapture.h"

#include <chrono>
#include <cstdio>

#include "driver/sim/AirFrames.h"
#include "ndis/ByteOrder.h"

namespace tarvik::driver {
namespace {

constexpr std::uint32_t kPcapMagic = 0xA1B2C3D4;  // microsecond timestamps
constexpr std::uint32_t kLinkTypeRadiotap = 127;
constexpr std::uint32_t kSnapLength = 65535;

std::uint64_t SystemMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CAirCapture::CAirCapture(WallClock clock) : clock_(clock ? std::move(clock) : SystemMicroseconds) {}

bool CAirCapture::Open(const std::string& path, std::string& error) {
    if (!file_.Open(path, error)) return false;
    std::vector<std::uint8_t> header;
    ndis::AppendLe32(header, kPcapMagic);
    ndis::AppendLe32(header, 2 | (4u << 16));  // version 2.4
    ndis::AppendLe32(header, 0);               // UTC
    ndis::AppendLe32(header, 0);               // accuracy
    ndis::AppendLe32(header, kSnapLength);
    ndis::AppendLe32(header, kLinkTypeRadiotap);
    if (!file_.Write(header)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void CAirCapture::WriteRecord(const sim::SimAccessPoint& ap, std::span<const std::uint8_t> frame) {
    if (!file_.IsOpen()) return;
    const std::uint64_t now = clock_();
    std::vector<std::uint8_t> record;
    const std::vector<std::uint8_t> radiotap = sim::BuildRadiotap(ap);
    const auto length = static_cast<std::uint32_t>(radiotap.size() + frame.size());
    ndis::AppendLe32(record, static_cast<std::uint32_t>(now / 1000000));
    ndis::AppendLe32(record, static_cast<std::uint32_t>(now % 1000000));
    ndis::AppendLe32(record, length);
    ndis::AppendLe32(record, length);
    record.insert(record.end(), radiotap.begin(), radiotap.end());
    record.insert(record.end(), frame.begin(), frame.end());
    if (!file_.Write(record)) {
        std::fprintf(stderr, "tarvik-driverd: the capture file cannot be written; capture stops\n");
    }
}

void CAirCapture::OnBeacon(const sim::SimAccessPoint& ap) {
    WriteRecord(ap, sim::BuildBeacon(ap, clock_(), NextSequence()));
}

void CAirCapture::OnAssociation(const sim::SimAccessPoint& ap, const sim::MacAddress& station,
                                std::span<const std::uint8_t> requestElements) {
    WriteRecord(ap, sim::BuildAuthentication(ap, station, 1, NextSequence()));
    WriteRecord(ap, sim::BuildAuthentication(ap, station, 2, NextSequence()));
    WriteRecord(ap, sim::BuildAssociationRequest(ap, station, requestElements, NextSequence()));
    WriteRecord(ap, sim::BuildAssociationResponse(ap, station, NextSequence()));
}

void CAirCapture::OnData(const sim::SimAccessPoint& ap, bool toAp,
                         std::span<const std::uint8_t> ethernetFrame, bool isProtected) {
    const auto frame = sim::BuildDataFrame(ap, toAp, ethernetFrame, isProtected,
                                           isProtected ? packetNumber_++ : 0, NextSequence());
    if (frame) WriteRecord(ap, *frame);
}

}  // namespace tarvik::driver
