// `tarvik-cli export`: a scan file (or a WiGLE CSV file) written in one of
// the export formats, without a driver or the window.
#pragma once

#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kExportHelp;

// `args` follow the word "export".
int RunExport(const Arguments& args);

}  // namespace tarvik::cli
