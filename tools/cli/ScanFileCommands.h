// `tarvik-cli open` and `tarvik-cli merge`: scan files summarised and
// combined without a driver or the window.
#pragma once

#include "networks/ScanFile.h"
#include "tools/cli/CommandLine.h"

namespace tarvik::cli {

extern const char* const kOpenHelp;
extern const char* const kMergeHelp;

// `args` follow the word "open" / "merge".
int RunOpen(const Arguments& args);
int RunMerge(const Arguments& args);

// Reads a scan file, or a WiGLE CSV file (its malformed rows named on
// stderr), with progress on stderr when it is a terminal.
ScanFileContents ReadSurveyFile(const std::string& file);

}  // namespace tarvik::cli
