// The driver channel's log calls, printf-style, at the event log's three
// levels. A stand-in until the process-wide event log exists: messages go to
// an installed sink (tests, the diagnostic tool) or to standard error.
#pragma once

#include <functional>
#include <string>

namespace tarvik::channel_log {

enum class Level { Info, Warn, Error };
using Sink = std::function<void(Level, const std::string&)>;

// Replaces the sink; an empty sink restores standard error. Thread-safe.
void SetSink(Sink sink);

void Info(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Error(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tarvik::channel_log
