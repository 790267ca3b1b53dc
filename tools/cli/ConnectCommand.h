// `tarvik-cli connect` and `tarvik-cli disconnect`: the window's Connect and
// Disconnect commands on a network named on the command line.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kConnectHelp;
extern const char* const kDisconnectHelp;

// `args` follow the command's word.
int RunConnect(const Arguments& args);
int RunDisconnect(const Arguments& args);

}  // namespace tarvik::cli
