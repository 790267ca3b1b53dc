#include "adapter/ReceivedFrame.h"

#include "adapter/ReceiveThread.h"

namespace tarvik {

ReceivedFrameKind ClassifyReceivedFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() < kEthernetHeaderSize) return ReceivedFrameKind::Unknown;
    switch (static_cast<std::uint16_t>(frame[12] << 8 | frame[13])) {
        case kEtherTypeIp:
            return ReceivedFrameKind::Ip;
        case kEtherTypeArp:
            return ReceivedFrameKind::Arp;
        case kEtherTypeEapol:
            return ReceivedFrameKind::Eapol;
        default:
            return ReceivedFrameKind::Unknown;
    }
}

}  // namespace tarvik
