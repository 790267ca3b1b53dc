// The start-up check for another running copy, with its log lines.
#pragma once

#include <functional>

#include "platform/SingleInstance.h"

namespace tarvik {

// Acquire() on `instance`. When another copy runs: asks it to show itself,
// logs Error "Previous instance found, restoing and quitting." and returns
// false (the caller quits). Otherwise logs Info "Previous instance not found,
// proceeding with initialization." and returns true.
bool RunSingleInstanceCheck(CSingleInstance& instance, std::function<void()> onShowRequest);

}  // namespace tarvik
