// Evaluates an access point's signal timeline at a moment of scenario time.
#pragma once

#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

// True when the access point is on the air at `seconds` since the world began.
bool IsOnAir(const SignalTimeline& timeline, double seconds);

// RSSI in dBm at `seconds`: keyframes interpolated linearly (held before the
// first and after the last), plus the drift, rounded to whole dBm.
int RssiAt(const SignalTimeline& timeline, double seconds);

}  // namespace tarvik::driver::sim
