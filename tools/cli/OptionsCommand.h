// `tarvik-cli options`: the settings of the window's Options dialog, listed,
// read and changed under the same limits. Needs no driver.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kOptionsHelp;

// `args` follow the word "options".
int RunOptions(const Arguments& args);

}  // namespace tarvik::cli
