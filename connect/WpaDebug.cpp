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

void SetWpaDebugObserver(WpaDebugObserver observer) {
    std::lock_guard<std::mutex> lock(g_observerMutex);
    g_observer = std::move(observer);
}

}  // namespace tarvik
