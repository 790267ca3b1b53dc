// The last word of a crashing process: a handler for the fatal signals writes
// a crash file (signal, fault address or sender, backtrace) named after the version,
// build, date and time into the install folder, runs a command that tells the
// user, and lets the process die of its signal as it would have.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace tarvik {

inline constexpr const char* kCrashMessageCaption = "Application Problem";
inline constexpr const char* kCrashMessageText =
    "Tarvik will have to close because of an internal error. We apologize for this "
    "inconvenience.\n"
    "Please contact support@tarvik.example for help in diagnosing the error.";

// "<installDir>/crash-1.2-063014-YYYYMMDD-HHMMSS.dmp" for the local time `time`.
std::string CrashDumpFileName(const std::string& installDir, const std::tm& time);

// Where crash files go: `installDir` when this user may write there (an
// installed program's folder usually is not), else $XDG_STATE_HOME/tarvik
// ($HOME/.local/state/tarvik), created when missing. `installDir` when
// neither works.
std::string CrashFileFolder(const std::string& installDir);

// Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT on an
// alternate stack (the calling thread's; other threads' handlers run on their
// own stacks). Everything the handler needs is prepared here: the handler
// itself makes only async-signal-safe calls, takes the local time from time()
// and the UTC offset in force now, and silently skips whatever fails.
// `messageCommand` (program path and arguments, e.g. {exe, "--crash-message"})
// is started and waited for after the file is written; empty runs nothing.
// Installing again replaces the folder and the command. False when the
// handlers could not be installed.
bool InstallCrashHandler(const std::string& installDir,
                         const std::vector<std::string>& messageCommand);

}  // namespace tarvik
