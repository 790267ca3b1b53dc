// NDIS_802_11_SSID (36 bytes): 0 SsidLength (u32), 4 Ssid[32]. The value of
// OID_802_11_SSID queries and sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ndis/NdisError.h"

namespace tarvik::ndis {

namespace ssid_layout {
inline constexpr std::size_t kSsidLength = 0;
inline constexpr std::size_t kSsid = 4;
inline constexpr std::size_t kCapacity = 32;
inline constexpr std::size_t kSize = 36;
}  // namespace ssid_layout

// 36 bytes, unused SSID bytes zero; nothing when the SSID exceeds 32 bytes.
std::optional<std::vector<std::uint8_t>> BuildSsid(std::span<const std::uint8_t> ssid);
std::optional<std::vector<std::uint8_t>> BuildSsid(std::string_view ssid);

// The SSID bytes. Fewer than 4 + SsidLength bytes: TruncatedHeader;
// SsidLength above 32: ValueTooLong. Shorter than 36 bytes is accepted as
// long as the SSID itself is there.
std::optional<std::vector<std::uint8_t>> ParseSsid(std::span<const std::uint8_t> bytes,
                                                   NdisError* error = nullptr);

}  // namespace tarvik::ndis
