// `tarvik-cli profiles`: the saved network profiles the window uses, listed,
// shown, removed and reordered. Needs no driver.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kProfilesHelp;

// `args` follow the word "profiles".
int RunProfiles(const Arguments& args);

}  // namespace tarvik::cli
