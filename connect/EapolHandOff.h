// The part of a received EAPOL Ethernet frame the supplicant is given: the
// EAPOL header and body after the 14-byte Ethernet header, cut to 4 + the
// body length so padding is left out, and never longer than was received
// (a body length claiming more is the supplicant's to refuse). The key
// information is read for the log line when the frame reaches it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tarvik {

struct EapolHandOff {
    std::uint16_t keyInformation = 0;  // 0 when the frame is too short for it
    std::span<const std::uint8_t> eapol;
};

// Nothing for a frame shorter than an Ethernet header.
std::optional<EapolHandOff> TakeEapolHandOff(std::span<const std::uint8_t> frame);

}  // namespace tarvik
