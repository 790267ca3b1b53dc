// The two key structures an adapter is given.
//
// NDIS_802_11_KEY (OID_802_11_ADD_KEY), Length = 32 + KeyLength:
//   0 Length   4 KeyIndex   8 KeyLength   12 BSSID[6]   18 padding[6]
//  24 KeyRSC (u64)   32 KeyMaterial[KeyLength]
// KeyIndex holds the key index in bits 0-7 and the flags below.
//
// NDIS_802_11_WEP (OID_802_11_ADD_WEP), Length = 12 + KeyLength:
//   0 Length   4 KeyIndex   8 KeyLength   12 KeyMaterial[KeyLength]
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ndis/NdisError.h"
#include "ndis/NdisTypes.h"

namespace tarvik::ndis {

namespace key_layout {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kKeyIndex = 4;
inline constexpr std::size_t kKeyLength = 8;
inline constexpr std::size_t kBssid = 12;
inline constexpr std::size_t kPadding = 18;
inline constexpr std::size_t kKeyRsc = 24;
inline constexpr std::size_t kKeyMaterial = 32;
}  // namespace key_layout

namespace wep_layout {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kKeyIndex = 4;
inline constexpr std::size_t kKeyLength = 8;
inline constexpr std::size_t kKeyMaterial = 12;
}  // namespace wep_layout

inline constexpr std::uint32_t kKeyIndexTransmit = 0x80000000;  // bit 31
inline constexpr std::uint32_t kKeyIndexPairwise = 0x40000000;  // bit 30
inline constexpr std::uint32_t kKeyIndexRscValid = 0x20000000;  // bit 29
inline constexpr std::uint32_t kKeyIndexMask = 0x000000FF;

struct Key80211 {
    std::uint32_t keyIndex = 0;  // index and flags, as sent
    MacAddress bssid{};
    std::uint64_t keyRsc = 0;
    std::vector<std::uint8_t> keyMaterial;
    bool operator==(const Key80211&) const = default;
};

struct Wep80211 {
    std::uint32_t keyIndex = 0;
    std::vector<std::uint8_t> keyMaterial;
    bool operator==(const Wep80211&) const = default;
};

std::vector<std::uint8_t> BuildKey(const Key80211& key);
std::vector<std::uint8_t> BuildWep(const Wep80211& wep);

// Both parsers: fewer bytes than the fixed part: TruncatedHeader; a Length
// field below the fixed part or past the bytes: LengthFieldMismatch;
// KeyLength past Length: ValueTooLong. Bytes after Length are ignored.
std::optional<Key80211> ParseKey(std::span<const std::uint8_t> bytes, NdisError* error = nullptr);
std::optional<Wep80211> ParseWep(std::span<const std::uint8_t> bytes, NdisError* error = nullptr);

}  // namespace tarvik::ndis
