// The elements of EAPOL-Key key data: the RSN element (id 48), the WPA
// element (id 221, 00-50-F2 type 1 version 1), and the key data
// encapsulations of 00-0F-AC: PMKID (type 4) and GTK (type 1).
#pragma once

#include <cstdint>
#include <span>

namespace tarvik {

inline constexpr std::size_t kPmkidLength = 16;

struct KeyDataElements {
    std::span<const std::uint8_t> rsnElement;  // whole element, header included
    std::span<const std::uint8_t> wpaElement;  // whole element, header included
    std::span<const std::uint8_t> pmkid;       // 16 bytes
    // After the selector: key id byte (bits 0-1 index, bit 2 transmit), a
    // reserved byte, then the key.
    std::span<const std::uint8_t> gtk;
};

// Walks the elements; a vendor element of length 0 ends the walk, and so
// does a single byte left over (key wrap padding). The first element of each
// kind is kept. 0, or -1 when an element runs past the end. The spans point
// into `keyData`.
int ParseKeyData(std::span<const std::uint8_t> keyData, KeyDataElements& elements);

}  // namespace tarvik
