// A GPS position kept by a network record: the receiver's 1376-byte fix
// block, exactly as scan files store it. Held as opaque bytes here; the GPS
// code gives the block its meaning.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvik {

inline constexpr std::size_t kGpsFixBlockSize = 1376;
using GpsFixBlock = std::array<std::uint8_t, kGpsFixBlockSize>;

struct PositionSnapshot {
    GpsFixBlock fix{};
    bool operator==(const PositionSnapshot&) const = default;
};

}  // namespace tarvik
