#include "core/AutostartEntry.h"

#include <cstdlib>
#include <system_error>

#include "platform/AtomicFile.h"

namespace tarvik {

std::filesystem::path AutostartEntryPath() {
    std::filesystem::path base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') return {};
        base = std::filesystem::path(home) / ".config";
    }
    return base / "autostart" / "tarvik.desktop";
}

std::string QuoteExecArgument(std::string_view argument) {
    // Inside quotes, '"', '`', '$' and '\' are escaped with a backslash; the
    // string escapes (backslash doubled, control characters) apply on top,
    // and '%' is doubled so it is not read as a field code.
    std::string quoted = "\"";
    for (const char c : argument) {
        switch (c) {
            case '"':
            case '`':
            case '$':
                quoted += "\\\\";
                quoted += c;
                break;
            case '\\':
                quoted += "\\\\\\\\";
                break;
            case '%':
                quoted += "%%";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '\r':
                quoted += "\\r";
                break;
            default:
                quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string AutostartEntryText(const std::string& executablePath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tarvik\n"
           "Comment=Wireless LAN scanner and connection utility\n"
           "Exec=" +
           QuoteExecArgument(executablePath) +
           " /login\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool WriteAutostartEntry(const std::string& executablePath, std::string& error) {
    const std::filesystem::path file = AutostartEntryPath();
    if (file.empty()) {
        error = "neither XDG_CONFIG_HOME nor HOME names a folder";
        return false;
    }
    return WriteFileAtomically(file, AutostartEntryText(executablePath), 0644, error);
}

bool RemoveAutostartEntry() {
    const std::filesystem::path file = AutostartEntryPath();
    if (file.empty()) return true;
    std::error_code error;
    std::filesystem::remove(file, error);
    return !error;
}

}  // namespace tarvik
