// `tarvik-cli open` and `tarvik-cli merge`: scan files summarised and
// combined without a driver or the window.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kOpenHelp;
extern const char* const kMergeHelp;

// `args` follow the word "open" / "merge".
int RunOpen(const Arguments& args);
int RunMerge(const Arguments& args);

}  // namespace tarvik::cli
