#include "adapter/PacketWriter.h"

#include <algorithm>
#include <memory>

#include "adapter/Adapter.h"
#include "core/EventLog.h"

namespace tarvik {

Result WritePacketObject(const CPacket& packet, const DriverHandle& handle, CDriverGate* gate) {
    if (packet.length == 0 || packet.length > kReceiveBufferSize) return RES_FAILURE;
    std::uint32_t length = packet.length;
    const Result result = WritePacket(handle, gate, packet.data.data(), length);
    if (result != RES_PACKET_WRITTEN) LogInfo("Error occured while writing packet to interface");
    return result;
}

Result SendEthernetFrame(CAdapter& adapter, std::span<const std::uint8_t> frame) {
    if (frame.empty() || frame.size() > kReceiveBufferSize) return RES_FAILURE;
    auto packet = std::make_unique<CPacket>();
    std::copy(frame.begin(), frame.end(), packet->data.begin());
    packet->length = static_cast<std::uint32_t>(frame.size());
    return WritePacketObject(*packet, adapter.Channel().Handle(), adapter.Channel().Gate());
}

}  // namespace tarvik
