#include "tools/cli/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tools/cli/TextTable.h"

namespace tarvik::cli {

int Fail(int status, const std::string& text) {
    std::fprintf(stderr, "tarvik-cli: %s\n", PrintableText(text).c_str());
    return status;
}

int UsageError(const std::string& command, const std::string& text) {
    const std::string help =
        command.empty() ? "tarvik-cli --help" : "tarvik-cli " + command + " --help";
    return Fail(kExitUsage, text + " (see '" + help + "')");
}

std::optional<long> ParseNumber(const std::string& text, long min, long max) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || value < min || value > max) return std::nullopt;
    return value;
}

bool WantsHelp(const Arguments& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

}  // namespace tarvik::cli
