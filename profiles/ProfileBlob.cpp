// The stored form of a profile: 74 bytes of little-endian fields, then the key.
// The older form (before the Connection Manager's settings) has the same first
// 50 bytes, then the key length at 50 and the key from 54.
#include <algorithm>

#include "core/EventLog.h"
#include "profiles/NetworkKey.h"

namespace tarvik {

namespace {

constexpr std::size_t kSsidLengthAt = 0;
constexpr std::size_t kSsidAt = 4;
constexpr std::size_t kBssidAt = 36;
constexpr std::size_t kKeyTypeAt = 42;
constexpr std::size_t kClassAt = 46;
constexpr std::size_t kAutoConnectAt = 50;
constexpr std::size_t kPriorityAt = 54;
constexpr std::size_t kMatchBssidAt = 58;
constexpr std::size_t kModeAt = 62;
constexpr std::size_t kCipherLevelAt = 66;
constexpr std::size_t kKeyLengthAt = 70;
// The older form: its key length where the auto-connect value is now.
constexpr std::size_t kOldKeyLengthAt = 50;
constexpr std::size_t kOldHeaderSize = 54;

void PutU32(std::vector<std::uint8_t>& blob, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) blob[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The caller has checked that at + 4 is within the blob.
std::uint32_t GetU32(std::span<const std::uint8_t> blob, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{blob[at + i]} << (8 * i);
    return value;
}

void ReadCommonFields(CNetworkKey& profile, std::span<const std::uint8_t> blob) {
    profile.ssidLength = GetU32(blob, kSsidLengthAt);
    std::copy_n(blob.begin() + kSsidAt, kProfileSsidSize, profile.ssid.begin());
    std::copy_n(blob.begin() + kBssidAt, profile.bssid.size(), profile.bssid.begin());
    profile.keyType = GetU32(blob, kKeyTypeAt);
    profile.securityClass = static_cast<std::int32_t>(GetU32(blob, kClassAt));
}

// The key of `length` bytes at `at`; an empty key and -1 when it does not fit
// the key field or runs past the blob.
int ReadKey(CNetworkKey& profile, std::span<const std::uint8_t> blob, std::size_t at,
            std::uint32_t length) {
    profile.key.fill(0);
    if (length > kProfileKeySize || length > blob.size() - at) {
        profile.keyLength = 0;
        return -1;
    }
    profile.keyLength = length;
    std::copy_n(blob.begin() + at, length, profile.key.begin());
    return 0;
}

}  // namespace

int CNetworkKey::Serialize(std::vector<std::uint8_t>& blob, std::uint32_t capacity) const {
    blob.clear();
    const std::uint64_t size = std::uint64_t{kProfileBlobHeaderSize} + keyLength;
    if (size > capacity || keyLength > kProfileKeySize) {
        LogError("Error saving key, buffer is too small");
        return -1;
    }
    blob.assign(size, 0);
    PutU32(blob, kSsidLengthAt, ssidLength);
    std::copy(ssid.begin(), ssid.end(), blob.begin() + kSsidAt);
    std::copy(bssid.begin(), bssid.end(), blob.begin() + kBssidAt);
    PutU32(blob, kKeyTypeAt, keyType);
    PutU32(blob, kClassAt, static_cast<std::uint32_t>(securityClass));
    PutU32(blob, kAutoConnectAt, autoConnect);
    PutU32(blob, kPriorityAt, priority);
    PutU32(blob, kMatchBssidAt, matchBssid);
    PutU32(blob, kModeAt, infrastructureMode);
    PutU32(blob, kCipherLevelAt, cipherLevel);
    PutU32(blob, kKeyLengthAt, keyLength);
    std::copy_n(key.begin(), keyLength, blob.begin() + kProfileBlobHeaderSize);
    return static_cast<int>(size);
}

int CNetworkKey::ReadBlob(std::span<const std::uint8_t> blob) {
    if (blob.size() < kOldHeaderSize) return -1;
    const std::uint32_t marker = GetU32(blob, kAutoConnectAt);
    if (marker != 0 && marker != 1) {
        LogWarn("Pre-1.2B3 saved key detected, upgrading using default settings");
        ReadCommonFields(*this, blob);
        autoConnect = 1;
        priority = 1;
        matchBssid = 0;
        return ReadKey(*this, blob, kOldHeaderSize, GetU32(blob, kOldKeyLengthAt));
    }
    if (blob.size() < kProfileBlobHeaderSize) return -1;
    ReadCommonFields(*this, blob);
    autoConnect = marker;
    priority = GetU32(blob, kPriorityAt);
    matchBssid = GetU32(blob, kMatchBssidAt);
    infrastructureMode = GetU32(blob, kModeAt);
    cipherLevel = GetU32(blob, kCipherLevelAt);
    return ReadKey(*this, blob, kProfileBlobHeaderSize, GetU32(blob, kKeyLengthAt));
}

}  // namespace tarvik
