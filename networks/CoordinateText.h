// The text of a latitude or longitude, by the angle-format setting, and the
// coordinates of a recorded position.
#pragma once

#include <cstdint>
#include <string>

#include "networks/PositionSnapshot.h"

namespace tarvik {

// Angle formats (the "GpsAngleFormat" setting); any other value means
// degrees, minutes and seconds.
inline constexpr std::int32_t GPS_ANGLE_DEGREES = 0;
inline constexpr std::int32_t GPS_ANGLE_DEGREES_MINUTES = 1;
inline constexpr std::int32_t GPS_ANGLE_DEGREES_MINUTES_SECONDS = 2;

// Replaces `out` with the position text of `degrees`: the magnitude with
// whole parts truncated, then " N"/" S" (latitude) or " E"/" W" (longitude).
//   0: "%3d.%06ld"           degrees, millionths of a degree
//   1: "%3d %02d.%04d'"      degrees, minutes, ten-thousandths of a minute
//   other: "%3d %02d' %02d.%03d\""  degrees, minutes, seconds, thousandths
// A value that is not a number or whose magnitude is above 360 reads "nan".
void FormatCoordinate(double degrees, bool isLatitude, std::int32_t angleFormat, std::string& out);

// The fix's latitude and longitude (degrees, south and west negative).
double PositionLatitude(const PositionSnapshot& position);
double PositionLongitude(const PositionSnapshot& position);

}  // namespace tarvik
