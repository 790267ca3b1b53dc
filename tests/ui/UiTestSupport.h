// Shared by the GUI suites: a temporary home (hives, instance lock), the scenario.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>

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
        for (const auto& [name, leaf] : kVariables) ::setenv(name, (folder_ / leaf).c_str(), 1);
        // The hives follow, or one test would read what another stored.
        RegistryStore::ResetDefaultHives();
    }
    ~TemporaryHome() {
        for (const auto& variable : kVariables) ::unsetenv(variable.first);
        RegistryStore::ResetDefaultHives();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }

  private:
    static constexpr std::pair<const char*, const char*> kVariables[] = {
        {"XDG_CONFIG_HOME", "config"},
        {"TARVIK_MACHINE_HIVE", "machine.reg"},
        {"XDG_RUNTIME_DIR", "runtime"},
        {"TARVIK_INSTANCE_DIR", "instance"}};
    std::filesystem::path folder_;
};

}  // namespace tarvik::testing
