// Shared pieces of the GUI suites: a temporary home for the settings hives
// and the instance lock, and the daemon with the suites' scenario.
#pragma once

#include <stdlib.h>

#include <QStringList>
#include <filesystem>
#include <string>

#include "platform/RegistryStore.h"
#include "tests/adapter/DaemonProcess.h"

namespace tarvik::testing {

inline std::string UiScenarioPath(const std::string& name) {
    return std::string(TARVIK_SOURCE_DIR) + "/tests/ui/scenarios/" + name;
}

// XDG_CONFIG_HOME, TARVIK_MACHINE_HIVE, XDG_RUNTIME_DIR and
// TARVIK_INSTANCE_DIR point into one temporary folder while this lives.
class TemporaryHome {
  public:
    TemporaryHome() {
        char pattern[] = "/tmp/tarvik-ui-test-XXXXXX";
        folder_ = mkdtemp(pattern);
        std::filesystem::create_directories(folder_ / "config");
        std::filesystem::create_directories(folder_ / "runtime");
        std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", (folder_ / "machine.reg").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (folder_ / "runtime").c_str(), 1);
        ::setenv("TARVIK_INSTANCE_DIR", (folder_ / "instance").c_str(), 1);
        // The hives follow, or one test would read what another stored.
        RegistryStore::ResetDefaultHives();
    }
    ~TemporaryHome() {
        for (const char* name :
             {"XDG_CONFIG_HOME", "TARVIK_MACHINE_HIVE", "XDG_RUNTIME_DIR", "TARVIK_INSTANCE_DIR"}) {
            ::unsetenv(name);
        }
        RegistryStore::ResetDefaultHives();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path UserHive() const { return folder_ / "config/tarvik/user.reg"; }

  private:
    std::filesystem::path folder_;
};

}  // namespace tarvik::testing
