// Both registry hives in a temporary folder (XDG_CONFIG_HOME, TARVIK_MACHINE_HIVE)
// and the event log switched on into it, so a test reads back what was logged.
#pragma once

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "TempFolder.h"
#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "core/LogFile.h"
#include "platform/RegistryStore.h"

namespace tarvik {

inline std::string ReadFileText(const std::filesystem::path& file) {
    std::ostringstream out;
    out << std::ifstream(file, std::ios::binary).rdbuf();
    return out.str();
}

class ScopedHives {
  public:
    explicit ScopedHives(const std::filesystem::path& folder)
        : configHome_(folder / "config"), machineHive_(folder / "machine.reg") {
        ::setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", machineHive_.c_str(), 1);
        RegistryStore::ResetDefaultHives();
    }
    ~ScopedHives() {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("TARVIK_MACHINE_HIVE");
        RegistryStore::ResetDefaultHives();
    }
    ScopedHives(const ScopedHives&) = delete;
    const std::filesystem::path& ConfigHome() const { return configHome_; }
    const std::filesystem::path& MachineHive() const { return machineHive_; }

  private:
    std::filesystem::path configHome_;
    std::filesystem::path machineHive_;
};

inline void SetInstallDirectoryValue(const std::string& folder) {
    RegistryStore::LocalMachine().WriteString("SOFTWARE\\Tarvik", "INSTInfo", folder);
}

class LogCapture {
  public:
    explicit LogCapture(const std::filesystem::path& folder)
        : hives_(folder), installFolder_(folder / "install") {
        std::filesystem::create_directories(installFolder_);
        SetInstallDirectoryValue(installFolder_.string());
        settings_.FileLoggingEnabled = 1;
        settings_.FileLogMaxLines = 100000;
        SetLogSettings(&settings_);
    }
    ~LogCapture() { SetLogSettings(nullptr); }
    LogCapture(const LogCapture&) = delete;
    CApplicationOptions& Settings() { return settings_; }
    const ScopedHives& Hives() const { return hives_; }
    std::filesystem::path LogFile() const { return installFolder_ / kLogFileName; }

    // The lines so far without their "[HH:MM:SS] " stamp (checked).
    std::vector<std::string> Messages() const {
        static const std::regex stamp(R"(\[([01]\d|2[0-3]):[0-5]\d:[0-5]\d\] )");
        std::vector<std::string> messages;
        for (const std::string& line : SplitLogLines(ReadFileText(LogFile()))) {
            const bool stamped = line.size() >= 11 && std::regex_match(line.substr(0, 11), stamp);
            messages.push_back(stamped ? line.substr(11) : "<unstamped> " + line);
        }
        return messages;
    }

  private:
    ScopedHives hives_;
    std::filesystem::path installFolder_;
    CApplicationOptions settings_{nullptr, "/opt/tarvik/bin/tarvik"};
};

}  // namespace tarvik
