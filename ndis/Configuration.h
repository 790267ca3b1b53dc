// NDIS_802_11_CONFIGURATION (32 bytes, little-endian): the radio
// configuration inside a BSSID entry and the reply to OID_802_11_CONFIGURATION.
//
//   0 Length (32)   4 BeaconPeriod (Kusec)   8 ATIMWindow (Kusec)
//  12 DSConfig (kHz)
//  16 FHConfig: 16 Length (16)  20 HopPattern  24 HopSet  28 DwellTime
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ndis/NdisError.h"

namespace tarvik::ndis {

namespace configuration_layout {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kBeaconPeriod = 4;
inline constexpr std::size_t kAtimWindow = 8;
inline constexpr std::size_t kDsConfig = 12;
inline constexpr std::size_t kFhLength = 16;
inline constexpr std::size_t kFhHopPattern = 20;
inline constexpr std::size_t kFhHopSet = 24;
inline constexpr std::size_t kFhDwellTime = 28;
inline constexpr std::size_t kFhSize = 16;
inline constexpr std::size_t kSize = 32;
}  // namespace configuration_layout

struct FhConfiguration {
    std::uint32_t hopPattern = 0;
    std::uint32_t hopSet = 0;
    std::uint32_t dwellTime = 0;
    bool operator==(const FhConfiguration&) const = default;
};

struct Configuration80211 {
    std::uint32_t beaconPeriod = 100;
    std::uint32_t atimWindow = 0;
    std::uint32_t dsConfig = 0;  // kHz, 2437000 for channel 6
    FhConfiguration fh;
    bool operator==(const Configuration80211&) const = default;
};

// Writes the 32 bytes at `out` (which must hold them), Length fields included.
void StoreConfiguration(std::uint8_t* out, const Configuration80211& config);
std::vector<std::uint8_t> BuildConfiguration(const Configuration80211& config);

// Reads the first 32 bytes; the two Length fields are not checked, as
// drivers fill them unevenly. Fewer than 32 bytes: TruncatedHeader.
std::optional<Configuration80211> ParseConfiguration(std::span<const std::uint8_t> bytes,
                                                     NdisError* error = nullptr);
// The same without checks, for callers that have checked the size.
Configuration80211 LoadConfiguration(const std::uint8_t* in);

}  // namespace tarvik::ndis
