// `tarvik-cli watch`: the network table, redrawn once a second.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kWatchHelp;

// `args` follow the word "watch".
int RunWatch(const Arguments& args);

}  // namespace tarvik::cli
