// Attaching the receiver's position to the networks in the list.
#pragma once

#include <ctime>
#include <vector>

#include "gps/GpsState.h"
#include "networks/NetworkList.h"

namespace tarvik {

// With a current fix (open port, data no older than 5 s, 2D or 3D), every
// record that is not "Not Detected" gets the fix as its position at lowest
// signal when it has none or its signal is at or below its lowest, and as its
// position at highest signal likewise. All records updated in one call share
// one snapshot block. Returns how many positions were set.
std::size_t AttachPositions(const std::vector<BssidRecord>& records, const GpsState& state,
                            std::time_t now);

}  // namespace tarvik
