// The WPA and RSN elements of simulated access points: building their bytes
// from cipher choices, and reading the ciphers back out of hex-given bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

// The element's bytes: `raw` when the scenario gave them, else built.
std::vector<std::uint8_t> SecurityElementBytes(const SecurityElement& element, bool rsn);

// Fills group, pairwise and key management from a whole element (header
// included), applying the defaults of a short element. False when the bytes
// are not a well-formed element of that kind; never reads past `bytes`.
bool DecodeSecurityElement(std::span<const std::uint8_t> bytes, bool rsn, SecurityElement& element);

// The element a station sends in its association request for these choices.
std::vector<std::uint8_t> StationSecurityElement(bool rsn, std::uint32_t groupCipher,
                                                 std::uint32_t pairwiseCipher,
                                                 std::uint32_t keyManagement);

}  // namespace tarvik::driver::sim
