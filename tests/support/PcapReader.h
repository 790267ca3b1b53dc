// A small reader for classic pcap files, enough to pull beacons out of the
// reference captures. Bounds-checked: a truncated record ends the file.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis::testing_support {

struct PcapFile {
    std::uint32_t linkType = 0;
    std::vector<std::vector<std::uint8_t>> packets;
};

inline std::optional<PcapFile> ReadPcap(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    // Little-endian microsecond pcap only; the reference captures are all of it.
    if (data.size() < 24 || LoadLe32(data.data()) != 0xa1b2c3d4) return std::nullopt;
    PcapFile file;
    file.linkType = LoadLe32(data.data() + 20);
    std::size_t offset = 24;
    while (data.size() - offset >= 16) {
        const std::uint32_t captured = LoadLe32(data.data() + offset + 8);
        offset += 16;
        if (captured > data.size() - offset) break;
        file.packets.emplace_back(data.begin() + offset, data.begin() + offset + captured);
        offset += captured;
    }
    return file;
}

// The tagged elements of the first beacon (raw 802.11 link type 105): after
// the 24-byte header and the 12 fixed bytes of the body.
inline std::optional<std::vector<std::uint8_t>> FirstBeaconElements(const PcapFile& file) {
    constexpr std::size_t kHeader = 24 + 12;
    if (file.linkType != 105) return std::nullopt;
    for (const auto& packet : file.packets) {
        if (packet.size() >= kHeader && packet[0] == 0x80) {
            return std::vector<std::uint8_t>(packet.begin() + kHeader, packet.end());
        }
    }
    return std::nullopt;
}

}  // namespace tarvik::ndis::testing_support
