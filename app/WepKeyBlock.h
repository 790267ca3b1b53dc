// The key block of a WEP join: an NDIS_802_11_KEY holding the profile's key
// as the transmit key of index 0 for every station (broadcast BSSID), built
// in a fixed 168-byte block. The set sends only its Length (32 + key bytes).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarvik {

inline constexpr std::size_t kWepKeyBlockSize = 168;
inline constexpr std::size_t kWepKeyBlockHeader = 32;
inline constexpr std::size_t kWepKeyBlockCapacity = kWepKeyBlockSize - kWepKeyBlockHeader;
inline constexpr std::uint32_t kWepTransmitKeyIndex = 0x80000000;

using WepKeyBlock = std::array<std::uint8_t, kWepKeyBlockSize>;

// Nothing when the key has more than kWepKeyBlockCapacity bytes.
std::optional<WepKeyBlock> BuildWepKeyBlock(std::span<const std::uint8_t> key);

}  // namespace tarvik
