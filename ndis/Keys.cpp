#include "ndis/Keys.h"

#include <algorithm>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace {

// Checks Length and KeyLength of a structure whose key material starts at
// `fixedSize`; on success `keyLength` is usable.
NdisError CheckKeyLengths(std::span<const std::uint8_t> bytes, std::size_t fixedSize,
                          std::size_t keyLengthOffset, std::uint32_t& keyLength) {
    if (bytes.size() < fixedSize) return NdisError::TruncatedHeader;
    const std::uint32_t length = LoadLe32(bytes.data());
    if (length < fixedSize || length > bytes.size()) return NdisError::LengthFieldMismatch;
    keyLength = LoadLe32(bytes.data() + keyLengthOffset);
    if (keyLength > length - fixedSize) return NdisError::ValueTooLong;
    return NdisError::None;
}

}  // namespace

std::vector<std::uint8_t> BuildKey(const Key80211& key) {
    const std::size_t length = key_layout::kKeyMaterial + key.keyMaterial.size();
    std::vector<std::uint8_t> out(length, 0);
    std::uint8_t* p = out.data();
    StoreLe32(p + key_layout::kLength, static_cast<std::uint32_t>(length));
    StoreLe32(p + key_layout::kKeyIndex, key.keyIndex);
    StoreLe32(p + key_layout::kKeyLength, static_cast<std::uint32_t>(key.keyMaterial.size()));
    std::copy(key.bssid.begin(), key.bssid.end(), p + key_layout::kBssid);
    StoreLe64(p + key_layout::kKeyRsc, key.keyRsc);
    std::copy(key.keyMaterial.begin(), key.keyMaterial.end(), p + key_layout::kKeyMaterial);
    return out;
}

std::vector<std::uint8_t> BuildWep(const Wep80211& wep) {
    const std::size_t length = wep_layout::kKeyMaterial + wep.keyMaterial.size();
    std::vector<std::uint8_t> out(length, 0);
    std::uint8_t* p = out.data();
    StoreLe32(p + wep_layout::kLength, static_cast<std::uint32_t>(length));
    StoreLe32(p + wep_layout::kKeyIndex, wep.keyIndex);
    StoreLe32(p + wep_layout::kKeyLength, static_cast<std::uint32_t>(wep.keyMaterial.size()));
    std::copy(wep.keyMaterial.begin(), wep.keyMaterial.end(), p + wep_layout::kKeyMaterial);
    return out;
}

std::optional<Key80211> ParseKey(std::span<const std::uint8_t> bytes, NdisError* error) {
    std::uint32_t keyLength = 0;
    const NdisError result =
        CheckKeyLengths(bytes, key_layout::kKeyMaterial, key_layout::kKeyLength, keyLength);
    if (error) *error = result;
    if (result != NdisError::None) return std::nullopt;
    Key80211 key;
    key.keyIndex = LoadLe32(bytes.data() + key_layout::kKeyIndex);
    std::copy_n(bytes.begin() + key_layout::kBssid, key.bssid.size(), key.bssid.begin());
    key.keyRsc = LoadLe64(bytes.data() + key_layout::kKeyRsc);
    const auto material = bytes.subspan(key_layout::kKeyMaterial, keyLength);
    key.keyMaterial.assign(material.begin(), material.end());
    return key;
}

std::optional<Wep80211> ParseWep(std::span<const std::uint8_t> bytes, NdisError* error) {
    std::uint32_t keyLength = 0;
    const NdisError result =
        CheckKeyLengths(bytes, wep_layout::kKeyMaterial, wep_layout::kKeyLength, keyLength);
    if (error) *error = result;
    if (result != NdisError::None) return std::nullopt;
    Wep80211 wep;
    wep.keyIndex = LoadLe32(bytes.data() + wep_layout::kKeyIndex);
    const auto material = bytes.subspan(wep_layout::kKeyMaterial, keyLength);
    wep.keyMaterial.assign(material.begin(), material.end());
    return wep;
}

}  // namespace tarvik::ndis
