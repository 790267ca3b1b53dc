#include "platform/CrashHandler.h"

#include <errno.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Version.h"

namespace tarvik {
namespace {

struct FatalSignal {
    int number;
    const char* name;
};
constexpr FatalSignal kFatalSignals[] = {
    {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"},   {SIGFPE, "SIGFPE"},
    {SIGILL, "SIGILL"},   {SIGABRT, "SIGABRT"},
};

constexpr std::size_t kPathCapacity = 4096;
constexpr int kMaxFrames = 64;
constexpr std::size_t kAlternateStackSize = 256 * 1024;

// What the handler needs, prepared at install time. A re-install publishes a
// new block and leaks the old one: a handler may still be reading it.
struct CrashState {
    char prefix[kPathCapacity];  // "<dir>/crash-1.2-063014-"
    std::size_t prefixLength = 0;
    long utcOffsetSeconds = 0;
    char** messageArgv = nullptr;  // null-terminated, or null for no command
};

std::atomic<CrashState*> g_state{nullptr};
std::atomic<bool> g_handling{false};

// A fixed-size text under construction; whatever does not fit is dropped.
class SafeText {
  public:
    void Append(const char* text) {
        while (*text != '\0' && length_ + 1 < sizeof buffer_) buffer_[length_++] = *text++;
        buffer_[length_] = '\0';
    }
    void AppendDecimal(unsigned long value, int minDigits) {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 && count < 24);
        while (count < minDigits && count < 24) digits[count++] = '0';
        char reversed[25];
        for (int i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
        reversed[count] = '\0';
        Append(reversed);
    }
    void AppendHex(std::uintptr_t value) {
        char digits[2 + 2 * sizeof value + 1] = "0x";
        for (std::size_t i = 0; i < 2 * sizeof value; ++i) {
            const unsigned nibble = (value >> (4 * (2 * sizeof value - 1 - i))) & 0xF;
            digits[2 + i] = "0123456789abcdef"[nibble];
        }
        digits[sizeof digits - 1] = '\0';
        Append(digits);
    }
    const char* Text() const { return buffer_; }
    std::size_t Length() const { return length_; }

  private:
    char buffer_[kPathCapacity + 64] = {};
    std::size_t length_ = 0;
};

// Civil date from days since 1970-01-01 (proleptic Gregorian), without libc.
void CivilFromDays(long days, long& year, unsigned& month, unsigned& day) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

void AppendLocalStamp(SafeText& text, long utcOffsetSeconds) {
    const long local = static_cast<long>(::time(nullptr)) + utcOffsetSeconds;
    long days = local / 86400;
    long seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    long year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    text.AppendDecimal(static_cast<unsigned long>(year < 0 ? 0 : year), 4);
    text.AppendDecimal(month, 2);
    text.AppendDecimal(day, 2);
    text.Append("-");
    text.AppendDecimal(static_cast<unsigned long>(seconds / 3600), 2);
    text.AppendDecimal(static_cast<unsigned long>(seconds / 60 % 60), 2);
    text.AppendDecimal(static_cast<unsigned long>(seconds % 60), 2);
}

void WriteText(int fd, const SafeText& text) {
    const char* data = text.Text();
    std::size_t left = text.Length();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

const char* SignalName(int number) {
    for (const FatalSignal& signal : kFatalSignals) {
        if (signal.number == number) return signal.name;
    }
    return "?";
}

void WriteCrashFile(const CrashState& state, int number, const siginfo_t* info) {
    if (state.prefixLength == 0) return;
    SafeText path;
    path.Append(state.prefix);
    AppendLocalStamp(path, state.utcOffsetSeconds);
    path.Append(".dmp");
    const int fd = ::open(path.Text(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;

    SafeText header;
    header.Append("Tarvik ");
    header.Append(kTarvikVersion);
    header.Append(" Build ");
    header.Append(kTarvikBuild);
    header.Append("\nSignal: ");
    header.AppendDecimal(static_cast<unsigned long>(number), 1);
    header.Append(" (");
    header.Append(SignalName(number));
    header.Append(")\nCode: ");
    const int code = info ? info->si_code : 0;
    if (code < 0) header.Append("-");
    header.AppendDecimal(static_cast<unsigned long>(code < 0 ? -static_cast<long>(code) : code), 1);
    // A fault names its address; a signal sent by a process (raise, abort, kill) its sender.
    if (code > 0) {
        header.Append("\nAddress: ");
        header.AppendHex(reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr));
    } else {
        header.Append("\nSender: ");
        header.AppendDecimal(static_cast<unsigned long>(info ? info->si_pid : 0), 1);
    }
    header.Append("\nBacktrace:\n");
    WriteText(fd, header);

    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, kMaxFrames);
    if (count > 0) ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
}

void RunMessageCommand(char** argv) {
    if (argv == nullptr) return;
    const pid_t child = ::_Fork();
    if (child == 0) {
        // The crashing signal is blocked in here; the command starts with none blocked.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    if (child < 0) return;
    int status;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// Back to the default action; the signal is blocked while we run, so it is
// delivered, and ends the process, when the handler returns. A fault from
// an instruction simply recurs.
void DieOf(int number) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(number, &fallback, nullptr);
    ::raise(number);
}

void OnFatalSignal(int number, siginfo_t* info, void*) {
    if (g_handling.exchange(true)) {
        // Another thread is writing the crash file; it ends the process.
        for (;;) ::pause();
    }
    if (const CrashState* state = g_state.load()) {
        WriteCrashFile(*state, number, info);
        RunMessageCommand(state->messageArgv);
    }
    DieOf(number);
}

char** CopyArgv(const std::vector<std::string>& command) {
    if (command.empty()) return nullptr;
    char** argv = new char*[command.size() + 1];
    for (std::size_t i = 0; i < command.size(); ++i) argv[i] = ::strdup(command[i].c_str());
    argv[command.size()] = nullptr;
    return argv;
}

long CurrentUtcOffset() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

bool InstallAlternateStack() {
    static void* stack = nullptr;
    if (stack == nullptr) stack = std::malloc(kAlternateStackSize);
    if (stack == nullptr) return false;
    stack_t alternate{};
    alternate.ss_sp = stack;
    alternate.ss_size = kAlternateStackSize;
    return ::sigaltstack(&alternate, nullptr) == 0;
}

}  // namespace

std::string CrashDumpFileName(const std::string& installDir, const std::tm& time) {
    char name[96];
    std::snprintf(name, sizeof name, "crash-%s-%s-%04d%02d%02d-%02d%02d%02d.dmp", kTarvikVersion,
                  kTarvikBuild, time.tm_year + 1900, time.tm_mon + 1, time.tm_mday, time.tm_hour,
                  time.tm_min, time.tm_sec);
    return installDir + "/" + name;
}

std::string CrashFileFolder(const std::string& installDir) {
    if (!installDir.empty() && ::access(installDir.c_str(), W_OK | X_OK) == 0) return installDir;
    std::filesystem::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/') {
        state = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        state = std::filesystem::path(home) / ".local" / "state";
    } else {
        return installDir;
    }
    const std::filesystem::path folder = state / "tarvik";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return installDir;
    return folder.string();
}

bool InstallCrashHandler(const std::string& installDir,
                         const std::vector<std::string>& messageCommand) {
    auto* state = new CrashState;
    const std::string prefix = installDir + "/crash-" + kTarvikVersion + "-" + kTarvikBuild + "-";
    // A folder too long for the buffer gets no file (the message still shows).
    if (prefix.size() < sizeof state->prefix) {
        std::memcpy(state->prefix, prefix.c_str(), prefix.size() + 1);
        state->prefixLength = prefix.size();
    } else {
        state->prefix[0] = '\0';
    }
    state->utcOffsetSeconds = CurrentUtcOffset();
    state->messageArgv = CopyArgv(messageCommand);

    // The first backtrace() loads its unwinder, which allocates: do it now.
    void* frames[2];
    ::backtrace(frames, 2);

    g_state.store(state);  // an earlier block is leaked on purpose (see CrashState)
    const bool stackReady = InstallAlternateStack();

    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | (stackReady ? SA_ONSTACK : 0);
    ::sigemptyset(&action.sa_mask);
    for (const FatalSignal& signal : kFatalSignals) ::sigaddset(&action.sa_mask, signal.number);
    bool installed = true;
    for (const FatalSignal& signal : kFatalSignals) {
        installed = ::sigaction(signal.number, &action, nullptr) == 0 && installed;
    }
    return installed;
}

}  // namespace tarvik
