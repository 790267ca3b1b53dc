// Height of the WGS-84 geoid above the ellipsoid, from a 10-degree grid.
#pragma once

namespace tarvik {

// Metres at the position, interpolated bilinearly between the four grid
// nodes around it (linearly on the grid's last row or column). Coordinates
// outside +-90 / +-180 are clamped; a non-finite one gives 0.
double GeoidSeparation(double latitude, double longitude);

}  // namespace tarvik
