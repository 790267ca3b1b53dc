#include "adapter/ChannelLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

namespace tarvik::channel_log {
namespace {

std::mutex g_mutex;
Sink g_sink;

void Write(Level level, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof(text), format, args);
    std::lock_guard lock(g_mutex);
    if (g_sink) {
        g_sink(level, text);
        return;
    }
    static const char* const kPrefix[] = {"App: Info: ", "App: Warn: ", "App: Error: "};
    std::fprintf(stderr, "%s%s\n", kPrefix[static_cast<int>(level)], text);
}

}  // namespace

void SetSink(Sink sink) {
    std::lock_guard lock(g_mutex);
    g_sink = std::move(sink);
}

#define TARVIK_CHANNEL_LOG(name, level)  \
    void name(const char* format, ...) { \
        va_list args;                    \
        va_start(args, format);          \
        Write(level, format, args);      \
        va_end(args);                    \
    }

TARVIK_CHANNEL_LOG(Info, Level::Info)
TARVIK_CHANNEL_LOG(Warn, Level::Warn)
TARVIK_CHANNEL_LOG(Error, Level::Error)

#undef TARVIK_CHANNEL_LOG

}  // namespace tarvik::channel_log
