#include "core/StatusLine.h"

#include <mutex>

#include "core/EventLog.h"

namespace tarvik {
namespace {

// The status lock; taken before the log lock, never after it.
std::mutex g_statusMutex;
IStatusLineSink* g_sink = nullptr;

}  // namespace

void SetStatusLineSink(IStatusLineSink* sink) {
    std::lock_guard<std::mutex> lock(g_statusMutex);
    g_sink = sink;
}

void SetStatusText(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_statusMutex);
    if (g_sink != nullptr) g_sink->ShowStatusText(FormatLocalTime("%H:%M:%S ") + text);
    LogInfo("%s", text.c_str());
}

}  // namespace tarvik
