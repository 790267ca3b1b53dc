// What the supplicant needs from the rest of the system. The application
// glue fills these when it prepares a connection; tests fill them with
// recorders. An empty function is taken as: setState/cancelAuthTimeout do
// nothing, getState gives 0, setKey and sendFrame fail, randomBytes is the
// kernel generator.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "ndis/NdisTypes.h"

namespace tarvik {

// Key algorithms handed to setKey.
inline constexpr int KEY_ALG_TKIP = 2;
inline constexpr int KEY_ALG_CCMP = 3;

inline constexpr ndis::MacAddress kBroadcastAddress = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

struct SupplicantCallbacks {
    // Every state change (SupplicantState.h numbers); state 11 is where the
    // connect wait is released.
    std::function<void(int state)> setState;
    std::function<int()> getState;
    // Installs a key: `address` is the peer for a pairwise key, the broadcast
    // address for a group key; `sequence` is the receive sequence counter
    // (RSC) in the frame's byte order. 0, or -1 when it could not be done.
    std::function<int(int algorithm, const ndis::MacAddress& address, int keyIndex, bool transmit,
                      std::span<const std::uint8_t> sequence, std::span<const std::uint8_t> key)>
        setKey;
    // Sends one EAPOL frame (from its version byte) to `destination`; 0 or -1.
    std::function<int(const ndis::MacAddress& destination, std::uint16_t etherType,
                      std::span<const std::uint8_t> frame)>
        sendFrame;
    std::function<void()> cancelAuthTimeout;
    // The SNonce source: fills the buffer, 0 or -1.
    std::function<int(std::span<std::uint8_t> buffer)> randomBytes;
};

}  // namespace tarvik
