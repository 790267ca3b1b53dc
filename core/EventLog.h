// The process-wide event log: one line per message, "[%H:%M:%S] " then
// "App: Info: ", "App: Warn: " or "App: Error: " then the message, written to
// program.log in the install directory when file logging is switched on.
// Callable from any thread.
#pragma once

#include <cstddef>
#include <string>

namespace tarvik {

class CApplicationOptions;

// A line (time stamp, level prefix and message) longer than this is cut.
inline constexpr std::size_t kLogLineBufferSize = 2000;
inline constexpr const char* kLogFileName = "program.log";

// printf-style. The formatted message is taken literally afterwards. Always 0.
int LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogWarn(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The string value "INSTInfo" of SOFTWARE\Tarvik in the machine hive (at most
// 1023 bytes of text), else the executable's folder. Looked up on every call.
std::string GetInstallDirectory();

// The record whose FileLoggingEnabled and FileLogMaxLines the log reads at
// every line; nullptr means the built-in defaults (file logging off). The
// record must stay alive until it is uninstalled; its destructor does that.
void SetLogSettings(const CApplicationOptions* options);
// Uninstalls `options` if it is the installed record.
void ClearLogSettings(const CApplicationOptions* options);

// Makes the registry store report its problems as Error lines.
void InstallLogAsStoreErrorSink();

// The current local time through strftime `format` (used for the status line too).
std::string FormatLocalTime(const char* format);

}  // namespace tarvik
