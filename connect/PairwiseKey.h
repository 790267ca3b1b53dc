// The pairwise transient key: 64 bytes derived from the PMK with the
// 802.11i PRF, label "Pairwise key expansion", over the two addresses and
// the two nonces, each pair smaller first (byte-wise comparison).
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarvik {

inline constexpr std::size_t kPmkLength = 32;
inline constexpr std::size_t kPtkLength = 64;
inline constexpr std::size_t kKekLength = 16;
inline constexpr std::size_t kMacLength = 6;
inline constexpr std::size_t kNonceLength = 32;

// KCK 0-15, KEK 16-31, TK 32-47, MIC keys 48-55 and 56-63.
struct PairwiseKey {
    std::array<std::uint8_t, kPtkLength> bytes{};

    std::span<const std::uint8_t, 16> Kck() const { return std::span(bytes).first<16>(); }
    std::span<const std::uint8_t, kKekLength> Kek() const {
        return std::span(bytes).subspan<16, kKekLength>();
    }
    // TKIP: all 32 bytes from 32; CCMP: the first 16 of them.
    std::span<const std::uint8_t, 32> Temporal() const {
        return std::span(bytes).subspan<32, 32>();
    }
};

// 0, or -1 when the PRF fails.
[[nodiscard]] int DerivePairwiseKey(std::span<const std::uint8_t, kPmkLength> pmk,
                                    std::span<const std::uint8_t, kMacLength> address1,
                                    std::span<const std::uint8_t, kMacLength> address2,
                                    std::span<const std::uint8_t, kNonceLength> nonce1,
                                    std::span<const std::uint8_t, kNonceLength> nonce2,
                                    PairwiseKey& ptk);

}  // namespace tarvik
