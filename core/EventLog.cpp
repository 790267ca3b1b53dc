#include "core/EventLog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>

#include "core/ApplicationOptions.h"
#include "core/ExecutablePath.h"
#include "core/LogFile.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr const char* kInstallKey = "SOFTWARE\\Tarvik";
constexpr const char* kInstallValue = "INSTInfo";
constexpr std::size_t kInstallDirectoryBufferSize = 1024;  // including the terminator
// Store problems waiting for the log lock; more than this are dropped.
constexpr std::size_t kMaxPendingStoreProblems = 16;

// The log lock: guards the installed settings and the file. The file state
// is never destroyed, so threads still logging at exit stay safe.
std::mutex g_logMutex;
const CApplicationOptions* g_settings = nullptr;
thread_local bool t_holdsLogLock = false;

CappedLogFile& LogFile() {
    static CappedLogFile* file = new CappedLogFile;
    return *file;
}

// Store problems are queued rather than written directly: writing a line
// reads the machine hive, so the store may report while this very thread
// holds the (non-recursive) log lock.
std::mutex g_pendingMutex;
std::deque<std::string>& PendingStoreProblems() {
    static auto* problems = new std::deque<std::string>;
    return *problems;
}

void CutToBuffer(std::string& line) {
    if (line.size() <= kLogLineBufferSize) return;
    // Do not leave the first bytes of a UTF-8 sequence behind.
    std::size_t cut = kLogLineBufferSize;
    const auto byteAt = [&line](std::size_t i) { return static_cast<unsigned char>(line[i]); };
    std::size_t start = cut;
    while (start > 0 && cut - start < 4 && (byteAt(start) & 0xC0) == 0x80) --start;
    if (start < cut && (byteAt(start) & 0xC0) == 0xC0) cut = start;
    line.resize(cut);
}

// Under the log lock.
void WriteLineLocked(const std::string& prefixedMessage) {
    std::string line = FormatLocalTime("[%H:%M:%S] ");
    line += prefixedMessage;
    CutToBuffer(line);

    const bool enabled = g_settings != nullptr && g_settings->FileLoggingEnabled != 0;
    if (!enabled) return;
    const std::int32_t maxLines = g_settings->FileLogMaxLines;
    const std::string path = GetInstallDirectory() + "/" + kLogFileName;
    // A file that cannot be written loses the line; logging never fails its callers.
    LogFile().AppendLine(path, line, maxLines < 0 ? 0u : static_cast<std::uint32_t>(maxLines));
}

bool TakePendingStoreProblem(std::string& message) {
    std::lock_guard<std::mutex> lock(g_pendingMutex);
    if (PendingStoreProblems().empty()) return false;
    message = std::move(PendingStoreProblems().front());
    PendingStoreProblems().pop_front();
    return true;
}

bool HasPendingStoreProblems() {
    std::lock_guard<std::mutex> lock(g_pendingMutex);
    return !PendingStoreProblems().empty();
}

void DrainPendingLocked() {
    // Bounded: writing a line may itself queue a new problem.
    std::string message;
    for (std::size_t i = 0; i < kMaxPendingStoreProblems && TakePendingStoreProblem(message); ++i) {
        WriteLineLocked("App: Error: " + message);
    }
}

// Leaves the log lock, first writing queued store problems. A problem queued
// after the drain but before the unlock is written here too, unless another
// thread took the lock and will write it on leaving.
void UnlockLog(std::unique_lock<std::mutex>& lock) {
    for (int round = 0; round < 4; ++round) {
        DrainPendingLocked();
        t_holdsLogLock = false;
        lock.unlock();
        if (!HasPendingStoreProblems() || !lock.try_lock()) return;
        t_holdsLogLock = true;
    }
    t_holdsLogLock = false;
    lock.unlock();
}

void WriteLine(const std::string& prefixedMessage) {
    std::unique_lock<std::mutex> lock(g_logMutex);
    t_holdsLogLock = true;
    WriteLineLocked(prefixedMessage);
    UnlockLog(lock);
}

void ReportStoreProblem(const std::string& message) {
    {
        std::lock_guard<std::mutex> lock(g_pendingMutex);
        if (PendingStoreProblems().size() >= kMaxPendingStoreProblems) return;
        PendingStoreProblems().push_back(message);
    }
    // Raised while this thread writes a line: written before it leaves the lock.
    if (t_holdsLogLock) return;
    std::unique_lock<std::mutex> lock(g_logMutex, std::try_to_lock);
    if (!lock.owns_lock()) return;  // the holder writes it on leaving
    t_holdsLogLock = true;
    UnlockLog(lock);
}

int LogLevel(const char* prefix, const char* format, va_list args) {
    char message[kLogLineBufferSize];
    std::vsnprintf(message, sizeof message, format, args);
    WriteLine(std::string(prefix) + message);
    return 0;
}

}  // namespace

int LogInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogLevel("App: Info: ", format, args);
    va_end(args);
    return 0;
}

int LogWarn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogLevel("App: Warn: ", format, args);
    va_end(args);
    return 0;
}

int LogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogLevel("App: Error: ", format, args);
    va_end(args);
    return 0;
}

std::string GetInstallDirectory() {
    const std::optional<RegValue> value =
        RegistryStore::LocalMachine().ReadValue(kInstallKey, kInstallValue);
    if (value && value->type == RegType::String) {
        // As a C string: an embedded terminator ends it.
        std::string text = value->text.substr(0, value->text.find('\0'));
        if (text.size() < kInstallDirectoryBufferSize) return text;
    }
    return FolderOf(ExecutablePath());
}

void SetLogSettings(const CApplicationOptions* options) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_settings = options;
}

void ClearLogSettings(const CApplicationOptions* options) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_settings == options) g_settings = nullptr;
}

void InstallLogAsStoreErrorSink() {
    RegistryStore::SetErrorSink(ReportStoreProblem);
}

std::string FormatLocalTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[64];
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(text, sizeof text, format, &local) == 0) {
        return {};
    }
    return text;
}

}  // namespace tarvik
