// Debug output of the supplicant side: element decoding, key handshake.
// Every message goes to the event log at Info level whatever its level;
// messages of level WPA_MSG_INFO and above also go to standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tarvik {

inline constexpr int WPA_MSG_DUMP = 0;
inline constexpr int WPA_MSG_DEBUG = 1;
inline constexpr int WPA_MSG_INFO = 2;
inline constexpr int WPA_MSG_WARNING = 3;

// A message longer than this (terminator included) is cut.
inline constexpr std::size_t kWpaDebugBufferSize = 3000;

void WpaPrintf(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Byte dumps go to standard output only, and only at WPA_MSG_INFO and above:
// "<title> - hexdump(len=N):" then " %02x" per byte (" [NULL]" when `bytes`
// has no buffer). The key form prints " [REMOVED]" in place of the bytes.
void WpaHexdump(int level, const char* title, std::span<const std::uint8_t> bytes);
void WpaHexdumpKey(int level, const char* title, std::span<const std::uint8_t> bytes);

// Also hands every formatted message to `observer` (for diagnostics
// windows and tests); an empty function removes it. Callable from any
// thread; the observer runs on the thread that writes the message, under a
// lock, so it must not write debug messages itself.
using WpaDebugObserver = std::function<void(int level, const std::string& message)>;
void SetWpaDebugObserver(WpaDebugObserver observer);

}  // namespace tarvik
