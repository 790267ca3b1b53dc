// `tarvik-cli gps`: the fixes the NMEA parser makes of the configured
// receiver's sentences, or of a receiver log, one line each.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kGpsHelp;

// `args` follow the word "gps".
int RunGps(const Arguments& args);

}  // namespace tarvik::cli
