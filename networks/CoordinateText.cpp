#include "networks/CoordinateText.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace tarvik {
namespace {

// Offsets of the coordinates inside the 1376-byte fix block (little-endian
// IEEE 754 doubles).
constexpr std::size_t kFixLatitude = 32;
constexpr std::size_t kFixLongitude = 40;

constexpr double kMaxDegrees = 360.0;

double ReadDouble(const GpsFixBlock& fix, std::size_t offset) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits |= std::uint64_t{fix[offset + i]} << (8 * i);
    return std::bit_cast<double>(bits);
}

}  // namespace

void FormatCoordinate(double degrees, bool isLatitude, std::int32_t angleFormat, std::string& out) {
    const bool negative = degrees < 0;
    const char* suffix = isLatitude ? (negative ? " S" : " N") : (negative ? " W" : " E");
    const double value = negative ? -degrees : degrees;

    char text[64];
    if (std::isnan(value) || value > kMaxDegrees) {
        std::snprintf(text, sizeof text, "nan%s", suffix);
    } else {
        // Every part is truncated, not rounded.
        const int whole = static_cast<int>(value);
        const double minutes = (value - whole) * 60.0;
        const int wholeMinutes = static_cast<int>(minutes);
        if (angleFormat == GPS_ANGLE_DEGREES) {
            const long millionths = static_cast<long>((value - whole) * 1e6);
            std::snprintf(text, sizeof text, "%3d.%06ld%s", whole, millionths, suffix);
        } else if (angleFormat == GPS_ANGLE_DEGREES_MINUTES) {
            const int fraction = static_cast<int>((minutes - wholeMinutes) * 10000.0);
            std::snprintf(text, sizeof text, "%3d %02d.%04d'%s", whole, wholeMinutes, fraction,
                          suffix);
        } else {
            const double seconds = (minutes - wholeMinutes) * 60.0;
            const int wholeSeconds = static_cast<int>(seconds);
            const int thousandths = static_cast<int>((seconds - wholeSeconds) * 1000.0);
            std::snprintf(text, sizeof text, "%3d %02d' %02d.%03d\"%s", whole, wholeMinutes,
                          wholeSeconds, thousandths, suffix);
        }
    }
    out.assign(text);
}

double PositionLatitude(const PositionSnapshot& position) {
    return ReadDouble(position.fix, kFixLatitude);
}

double PositionLongitude(const PositionSnapshot& position) {
    return ReadDouble(position.fix, kFixLongitude);
}

}  // namespace tarvik
