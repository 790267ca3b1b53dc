// 802.11 information elements (1-byte id, 1-byte length, body): builders for
// the elements a beacon carries, and WPA/RSN security elements built from
// cipher and key-management choices. Builders return nothing when the body
// would not fit the element's limits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tarvik::ndis {

inline constexpr std::uint8_t kElementSsid = 0;
inline constexpr std::uint8_t kElementSupportedRates = 1;
inline constexpr std::uint8_t kElementDsParameterSet = 3;
inline constexpr std::uint8_t kElementRsn = 48;
inline constexpr std::uint8_t kElementExtendedRates = 50;
inline constexpr std::uint8_t kElementVendorSpecific = 221;

inline constexpr std::size_t kMaxElementBody = 255;
inline constexpr std::size_t kMaxSsidLength = 32;
inline constexpr std::size_t kMaxSupportedRates = 8;

// Suite selector OUIs.
inline constexpr std::uint8_t kWpaOui[3] = {0x00, 0x50, 0xF2};
inline constexpr std::uint8_t kRsnOui[3] = {0x00, 0x0F, 0xAC};
inline constexpr std::uint8_t kWpaVendorType = 1;

// Suite types, the last byte of a cipher selector. Other values can be cast in
// to build elements that name unknown suites.
enum class CipherSuite : std::uint8_t {
    None = 0,  // "use group cipher"
    Wep40 = 1,
    Tkip = 2,
    Ccmp = 4,
    Wep104 = 5,
};

enum class AkmSuite : std::uint8_t {
    WpaNone = 0,  // WPA element only: no key management
    Ieee8021X = 1,
    Psk = 2,
};

// Contents of a WPA or RSN element. Fields are written in order up to the
// last one present: the element ends after the group cipher when both lists
// are empty and no capabilities are given; an empty list followed by a
// later field is written with a count of 0.
struct SecurityElementSuites {
    CipherSuite group = CipherSuite::Ccmp;
    std::vector<CipherSuite> pairwise;
    std::vector<AkmSuite> akm;
    std::optional<std::uint16_t> capabilities;
};

std::optional<std::vector<std::uint8_t>> BuildElement(std::uint8_t id,
                                                      std::span<const std::uint8_t> body);
// At most 32 bytes.
std::optional<std::vector<std::uint8_t>> BuildSsidElement(std::span<const std::uint8_t> ssid);
std::optional<std::vector<std::uint8_t>> BuildSsidElement(std::string_view ssid);
// At most 8 rates (500 kbit/s units, 0x80 marks a basic rate).
std::optional<std::vector<std::uint8_t>> BuildSupportedRatesElement(
    std::span<const std::uint8_t> rates);
// At most 255 rates.
std::optional<std::vector<std::uint8_t>> BuildExtendedRatesElement(
    std::span<const std::uint8_t> rates);
// The first 8 rates in a supported-rates element, any further ones in an
// extended-rates element right behind it.
std::optional<std::vector<std::uint8_t>> BuildRateElements(std::span<const std::uint8_t> rates);
std::vector<std::uint8_t> BuildDsParameterSetElement(std::uint8_t channel);

// Vendor element 221: 00 50 F2 01, version 1, group, pairwise, AKM, capabilities.
std::optional<std::vector<std::uint8_t>> BuildWpaElement(const SecurityElementSuites& suites);
// Element 48: version 1, 00 0F AC selectors, group, pairwise, AKM, capabilities.
std::optional<std::vector<std::uint8_t>> BuildRsnElement(const SecurityElementSuites& suites);

}  // namespace tarvik::ndis
