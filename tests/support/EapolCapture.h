// Pulls an EAPOL frame out of a captured 802.11 data frame. Radio headers:
// none (link type 105), Prism (119, length at bytes 4-7) or radiotap (127,
// length at bytes 2-3). Then the 802.11 header (24 bytes, 30 with four
// addresses, 2 more for QoS) and the LLC/SNAP header of EtherType 888E. The
// result is cut to 4 + body length, which drops an FCS. Bounds-checked.
#pragma once

#include <algorithm>
#include <optional>

#include "tests/support/PcapReader.h"

namespace tarvik::ndis::testing_support {

inline std::optional<std::vector<std::uint8_t>> EapolOfPacket(const PcapFile& file,
                                                              std::size_t index) {
    if (index >= file.packets.size()) return std::nullopt;
    std::span<const std::uint8_t> p = file.packets[index];
    std::size_t radio = 0;
    if (file.linkType == 119 && p.size() >= 8) radio = LoadLe32(p.data() + 4);
    if (file.linkType == 127 && p.size() >= 4) radio = LoadLe16(p.data() + 2);
    if (radio > p.size()) return std::nullopt;
    p = p.subspan(radio);
    constexpr std::uint8_t kSnap[] = {0xAA, 0xAA, 0x03, 0x00, 0x00, 0x00, 0x88, 0x8E};
    if (p.size() < 2 || ((p[0] >> 2) & 3) != 2 || (p[1] & 0x40)) return std::nullopt;
    const std::size_t header = 24 + ((p[1] & 3) == 3 ? 6 : 0) + ((p[0] & 0x80) ? 2 : 0);
    if (p.size() < header + sizeof kSnap + 4 ||
        !std::equal(std::begin(kSnap), std::end(kSnap), p.begin() + header)) {
        return std::nullopt;
    }
    p = p.subspan(header + sizeof kSnap);
    const std::size_t length = 4 + (static_cast<std::size_t>(p[2]) << 8 | p[3]);
    if (length > p.size()) return std::nullopt;
    return std::vector<std::uint8_t>(p.begin(), p.begin() + length);
}

}  // namespace tarvik::ndis::testing_support
