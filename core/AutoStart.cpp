// Start on login: the Run value in the user hive and the desktop autostart
// entry that makes a desktop session act on it.
#include "core/ApplicationOptions.h"
#include "core/AutostartEntry.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Tarvik";
// The number of the per-user root key (HKEY_CURRENT_USER), as logged.
constexpr unsigned kCurrentUserRootKey = 0x80000001U;

}  // namespace

std::string CApplicationOptions::AutoStartCommand() const {
    return "\"" + executablePath_ + "\" /login";
}

void CApplicationOptions::EnableAutoStart() {
    RegistryStore& hive = UserHive();
    if (hive.CreateKey(kRunKey)) {
        LogInfo("Created %s under %u", kRunKey, kCurrentUserRootKey);
    } else {
        LogError("Could not create or open the registry key %s.", kRunKey);
    }
    if (hive.WriteString(kRunKey, kRunValue, AutoStartCommand())) {
        LogInfo("Value successfully written to registry");
    } else {
        LogError("Could not write value to registry");
        SetStatusText("Error writing to registry; Could not enable auto start on login.");
    }
    std::string error;
    if (!WriteAutostartEntry(executablePath_, error)) {
        LogError("Could not write the autostart entry: %s.", error.c_str());
    }
}

void CApplicationOptions::DisableAutoStart() {
    // Errors are ignored: there may be nothing to remove.
    UserHive().DeleteValue(kRunKey, kRunValue);
    RemoveAutostartEntry();
}

}  // namespace tarvik
