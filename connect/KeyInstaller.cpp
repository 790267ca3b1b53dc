#include "connect/KeyInstaller.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "connect/SupplicantCallbacks.h"
#include "core/EventLog.h"
#include "ndis/Keys.h"

namespace tarvik {

namespace {

constexpr std::size_t kTkipKeyLength = 32;
constexpr std::size_t kLongestSequence = 8;

}  // namespace

std::vector<std::uint8_t> BuildAddKeyDescriptor(int algorithm, const ndis::MacAddress& bssid,
                                                bool pairwise, int keyIndex, bool transmit,
                                                std::span<const std::uint8_t> sequence,
                                                std::span<const std::uint8_t> key) {
    ndis::Key80211 descriptor;
    descriptor.keyIndex = static_cast<std::uint32_t>(keyIndex) & ndis::kKeyIndexMask;
    if (transmit) descriptor.keyIndex |= ndis::kKeyIndexTransmit;
    if (pairwise) descriptor.keyIndex |= ndis::kKeyIndexPairwise;
    if (!sequence.empty()) descriptor.keyIndex |= ndis::kKeyIndexRscValid;
    descriptor.bssid = bssid;
    const std::size_t sequenceLength = std::min(sequence.size(), kLongestSequence);
    for (std::size_t i = 0; i < sequenceLength; ++i) {
        descriptor.keyRsc |= static_cast<std::uint64_t>(sequence[i]) << (8 * i);
    }
    descriptor.keyMaterial.assign(key.begin(), key.end());
    if (algorithm == KEY_ALG_TKIP && key.size() == kTkipKeyLength) {
        std::copy(key.begin() + 24, key.begin() + 32, descriptor.keyMaterial.begin() + 16);
        std::copy(key.begin() + 16, key.begin() + 24, descriptor.keyMaterial.begin() + 24);
    }
    std::vector<std::uint8_t> bytes = ndis::BuildKey(descriptor);
    OPENSSL_cleanse(descriptor.keyMaterial.data(), descriptor.keyMaterial.size());
    return bytes;
}

CKeyInstaller::CKeyInstaller(IAddKeyTarget& target, const ndis::MacAddress& networkBssid)
    : target_(target), networkBssid_(networkBssid) {}

int CKeyInstaller::SetKey(int algorithm, const ndis::MacAddress& address, int keyIndex,
                          bool transmit, std::span<const std::uint8_t> sequence,
                          std::span<const std::uint8_t> key) {
    const bool group = address == kBroadcastAddress;
    std::vector<std::uint8_t> descriptor = BuildAddKeyDescriptor(
        algorithm, group ? networkBssid_ : address, !group, keyIndex, transmit, sequence, key);
    if (target_.AddKey(descriptor) != 0) LogError("Unable to add encryption key to the adapter.");
    OPENSSL_cleanse(descriptor.data(), descriptor.size());
    return 0;
}

}  // namespace tarvik
