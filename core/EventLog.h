// TEMPORARY stand-in for the event log until the core branch is merged.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace tarvik {

inline int LogShimWrite(const char* prefix, const char* format, va_list args) {
    char message[2000];
    std::vsnprintf(message, sizeof message, format, args);
    std::fprintf(stderr, "%s%s\n", prefix, message);
    return 0;
}

#define TARVIK_LOG_SHIM(name, prefix)                                         \
    inline __attribute__((format(printf, 1, 2))) int name(const char* f, ...) { \
        va_list a;                                                            \
        va_start(a, f);                                                       \
        LogShimWrite(prefix, f, a);                                           \
        va_end(a);                                                            \
        return 0;                                                             \
    }
TARVIK_LOG_SHIM(LogInfo, "App: Info: ")
TARVIK_LOG_SHIM(LogWarn, "App: Warn: ")
TARVIK_LOG_SHIM(LogError, "App: Error: ")
#undef TARVIK_LOG_SHIM

}  // namespace tarvik
