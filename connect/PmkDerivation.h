// The PMK of a WPA-PSK or WPA2-PSK network from the key text of a profile.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "connect/PairwiseKey.h"

namespace tarvik {

// A key of 64 hexadecimal digits is the PSK itself and is decoded; a key of
// 8 to 63 characters is a passphrase, run through PBKDF2-HMAC-SHA1 with the
// SSID as salt, 4096 iterations. Passphrase results are kept per (SSID, key)
// for the life of the process, so a reconnection does not pay for PBKDF2
// again. 0, or -1 (logged) for a key of another length or a failure; `pmk`
// is then zero. Callable from any thread.
[[nodiscard]] int DerivePmk(std::string_view key, std::span<const std::uint8_t> ssid,
                            std::span<std::uint8_t, kPmkLength> pmk);

}  // namespace tarvik
