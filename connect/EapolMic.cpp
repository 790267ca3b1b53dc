#include "connect/EapolMic.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>

#include "connect/Crypto.h"

namespace tarvik {

int ComputeEapolMic(int descriptorVersion, std::span<const std::uint8_t, kKckLength> kck,
                    std::span<const std::uint8_t> frame,
                    std::span<std::uint8_t, kEapolKeyMicLength> mic) {
    if (frame.size() < kEapolKeyMinimumLength) return -1;
    // The MIC field is read as zero: hash the frame in three pieces.
    static constexpr std::array<std::uint8_t, kEapolKeyMicLength> kZeroMic{};
    const std::size_t after = eapol_layout::kKeyMic + kEapolKeyMicLength;
    const std::uint8_t* parts[] = {frame.data(), kZeroMic.data(), frame.data() + after};
    const std::size_t lengths[] = {eapol_layout::kKeyMic, kZeroMic.size(), frame.size() - after};
    std::array<std::uint8_t, kSha1Length> full{};
    int result = -1;
    if (descriptorVersion == KEY_INFO_VERSION_MD5_RC4) {
        result = HmacMd5Vector(kck.data(), kck.size(), 3, parts, lengths, full.data());
    } else if (descriptorVersion == KEY_INFO_VERSION_SHA1_AES) {
        result = HmacSha1Vector(kck.data(), kck.size(), 3, parts, lengths, full.data());
    }
    if (result == 0) std::copy_n(full.begin(), mic.size(), mic.begin());
    return result;
}

int WriteEapolMic(int descriptorVersion, std::span<const std::uint8_t, kKckLength> kck,
                  std::span<std::uint8_t> frame) {
    if (frame.size() < kEapolKeyMinimumLength) return -1;
    std::array<std::uint8_t, kEapolKeyMicLength> mic{};
    if (ComputeEapolMic(descriptorVersion, kck, frame, mic) != 0) return -1;
    std::copy(mic.begin(), mic.end(), frame.begin() + eapol_layout::kKeyMic);
    return 0;
}

bool EapolMicMatches(int descriptorVersion, std::span<const std::uint8_t, kKckLength> kck,
                     const EapolKeyView& key) {
    std::array<std::uint8_t, kEapolKeyMicLength> mic{};
    if (ComputeEapolMic(descriptorVersion, kck, key.Frame(), mic) != 0) return false;
    return CRYPTO_memcmp(mic.data(), key.Mic().data(), mic.size()) == 0;
}

}  // namespace tarvik
