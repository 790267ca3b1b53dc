// Points the default hives at a fresh temporary folder for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/RegistryStore.h"
#include "tests/platform/TempFolder.h"

namespace tarvik::test {

class HiveFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (temp_.Path() / "config").c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", MachineFile().c_str(), 1);
        RegistryStore::ResetDefaultHives();
    }

    std::filesystem::path UserFile() const { return temp_.Path() / "config/tarvik/user.reg"; }
    std::filesystem::path MachineFile() const { return temp_.Path() / "machine/machine.reg"; }
    RegistryStore& User() { return RegistryStore::CurrentUser(); }

    TempFolder temp_;
};

}  // namespace tarvik::test
