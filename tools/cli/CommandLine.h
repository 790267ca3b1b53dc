// What every command shares: its arguments, the one-line error on stderr,
// and whole numbers read strictly.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

// Exit statuses: done, failed, and arguments that make no sense.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

using Arguments = std::vector<std::string>;

// "tarvik-cli: <text>" on stderr; returns `status`.
int Fail(int status, const std::string& text);
// The error and where the help is, on one line; returns kExitUsage.
int UsageError(const std::string& command, const std::string& text);

// A decimal number from `min` to `max` and nothing else.
std::optional<long> ParseNumber(const std::string& text, long min, long max);

// True when `args` holds "--help" or "-h".
bool WantsHelp(const Arguments& args);

}  // namespace tarvik::cli
