// The packet object and the write wrapper through which the supplicant's
// EAPOL frames reach the adapter's packet channel.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "adapter/DriverChannel.h"
#include "adapter/ReceiveThread.h"
#include "core/ResultCodes.h"

namespace tarvik {

class CAdapter;

struct CPacket {
    std::array<std::uint8_t, kReceiveBufferSize> data{};
    std::uint32_t length = 0;
};

// -1 without writing for an empty packet or one above kReceiveBufferSize
// bytes; else WritePacket's result, logged unless RES_PACKET_WRITTEN.
Result WritePacketObject(const CPacket& packet, const DriverHandle& handle, CDriverGate* gate);

// One whole Ethernet frame on the adapter's packet channel, through a packet
// object: WritePacketObject's result.
Result SendEthernetFrame(CAdapter& adapter, std::span<const std::uint8_t> frame);

}  // namespace tarvik
