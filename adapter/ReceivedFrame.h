// What the receive thread makes of one received Ethernet frame: IP and ARP
// are only logged, EAPOL goes to the WPA bridge, anything else (a frame too
// short for its header included) is unknown.
#pragma once

#include <cstdint>
#include <span>

namespace tarvik {

enum class ReceivedFrameKind { Unknown, Ip, Arp, Eapol };

ReceivedFrameKind ClassifyReceivedFrame(std::span<const std::uint8_t> frame);

}  // namespace tarvik
