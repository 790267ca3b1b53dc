// `tarvik-cli watch`: the network table, redrawn once a second.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kWatchHelp;

// `args` follow the word "watch".
int RunWatch(const Arguments& args);

// Column titles, comma-separated, compared without case and spaces, to
// column identifiers; false when one names no column.
bool ParseColumns(const std::string& list, std::vector<int>& columns);

}  // namespace tarvik::cli
