// The MIC of an EAPOL-Key frame: over the whole EAPOL frame with its MIC
// field taken as zero, keyed with the 16-byte KCK. Descriptor version 1 is
// HMAC-MD5 (16 bytes), version 2 HMAC-SHA1 cut to its first 16 bytes.
#pragma once

#include <cstdint>
#include <span>

#include "connect/EapolKey.h"

namespace tarvik {

inline constexpr std::size_t kKckLength = 16;

// 0, or -1 for another version, a frame shorter than a descriptor, or a
// library failure.
[[nodiscard]] int ComputeEapolMic(int descriptorVersion,
                                  std::span<const std::uint8_t, kKckLength> kck,
                                  std::span<const std::uint8_t> frame,
                                  std::span<std::uint8_t, kEapolKeyMicLength> mic);

// Fills the MIC field of `frame` (a frame built with a zero MIC); 0 or -1.
[[nodiscard]] int WriteEapolMic(int descriptorVersion,
                                std::span<const std::uint8_t, kKckLength> kck,
                                std::span<std::uint8_t> frame);

// True when the frame's MIC is the one `kck` gives; compared in constant time.
bool EapolMicMatches(int descriptorVersion, std::span<const std::uint8_t, kKckLength> kck,
                     const EapolKeyView& key);

}  // namespace tarvik
