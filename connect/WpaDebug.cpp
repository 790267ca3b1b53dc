#include "connect/WpaDebug.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "core/EventLog.h"

namespace tarvik {
namespace {

std::mutex g_observerMutex;
WpaDebugObserver g_observer;

}  // namespace

void WpaPrintf(int level, const char* format, ...) {
    char message[kWpaDebugBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    LogInfo("%s", message);
    if (level >= WPA_MSG_INFO) std::printf("%s\n", message);

    std::lock_guard<std::mutex> lock(g_observerMutex);
    if (g_observer) g_observer(level, message);
}

namespace {

void PrintDump(int level, const char* title, std::span<const std::uint8_t> bytes, bool key) {
    if (level < WPA_MSG_INFO) return;
    std::printf("%s - hexdump(len=%lu):", title, static_cast<unsigned long>(bytes.size()));
    if (bytes.data() == nullptr) {
        std::printf(" [NULL]");
    } else if (key) {
        std::printf(" [REMOVED]");
    } else {
        for (std::uint8_t b : bytes) std::printf(" %02x", b);
    }
    std::printf("\n");
}

}  // namespace

void WpaHexdump(int level, const char* title, std::span<const std::uint8_t> bytes) {
    PrintDump(level, title, bytes, false);
}

void WpaHexdumpKey(int level, const char* title, std::span<const std::uint8_t> bytes) {
    PrintDump(level, title, bytes, true);
}

void SetWpaDebugObserver(WpaDebugObserver observer) {
    std::lock_guard<std::mutex> lock(g_observerMutex);
    g_observer = std::move(observer);
}

}  // namespace tarvik
