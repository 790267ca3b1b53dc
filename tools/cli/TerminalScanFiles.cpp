#include "tools/cli/TerminalScanFiles.h"

#include <cstdio>

#include "tools/cli/TextTable.h"

namespace tarvik::cli {

void CTerminalScanFiles::ShowMessage(const std::string& text, const std::string& caption,
                                     MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), PrintableText(text).c_str());
    std::fflush(stderr);
}

}  // namespace tarvik::cli
