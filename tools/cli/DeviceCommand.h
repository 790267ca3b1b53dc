// `tarvik-cli device`: the Device Information page's texts for the card the
// window would choose, once.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kDeviceHelp;

// `args` follow the word "device".
int RunDevice(const Arguments& args);

}  // namespace tarvik::cli
