// Reads a scenario file (JSON) into a Scenario, validating every field. A
// refused scenario gets one message naming the JSON path of the first fault,
// e.g. "accessPoints[3].channel: must be 1-14 or 36-165".
#pragma once

#include <string>
#include <string_view>

#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

// Both return true on success; on failure `error` holds the message and
// `scenario` is left unspecified.
bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error);
bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error);

}  // namespace tarvik::driver::sim
