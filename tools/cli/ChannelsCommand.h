// `tarvik-cli channels`: which channels are crowded, as the window's channel
// view shows it, after scanning for a few seconds.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kChannelsHelp;

// `args` follow the word "channels".
int RunChannels(const Arguments& args);

}  // namespace tarvik::cli
