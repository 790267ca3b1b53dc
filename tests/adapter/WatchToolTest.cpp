// `tarvik-oid watch` run as a program against the daemon serving a small
// world where one of two networks leaves the air.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/RegistryStore.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/adapter/OidToolRun.h"

namespace tarvik::testing {
namespace {

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// The tool's settings come from a user hive in a temporary folder.
class WatchTool : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvik-watch-test-XXXXXX";
        folder_ = mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", (folder_ / "machine.reg").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("TARVIK_MACHINE_HIVE");
        std::filesystem::remove_all(folder_);
    }
    void StoreSetting(const std::string& name, std::uint32_t value) {
        RegistryStore user(folder_ / "config/tarvik/user.reg", "HKEY_CURRENT_USER");
        ASSERT_TRUE(user.WriteDword("Software\\Tarvik\\tarvik\\Settings", name, value));
    }

    std::filesystem::path folder_;
};

TEST_F(WatchTool, PrintsTheListEverySecondAndSeesANetworkLeave) {
    // A scan every second; one scan missed is out of range.
    StoreSetting("HardRefreshInterval", 1);
    StoreSetting("HitOutOfRangeInterval", 1);
    DaemonProcess daemon(ScenarioPath("watch.json"));
    ASSERT_TRUE(daemon.ready());

    const ToolRun run = RunTool("watch --seconds 3");
    EXPECT_EQ(run.status, 0) << run.out;
    // Once at the start and once a second after (a second may be lost when
    // the machine is busy), each time with the staying network.
    const std::size_t blocks = CountOf(run.out, "Scan counter: ");
    EXPECT_GE(blocks, 3u) << run.out;
    EXPECT_LE(blocks, 4u) << run.out;
    EXPECT_NE(run.out.find("Scan counter: 1\n"), std::string::npos) << run.out;
    EXPECT_EQ(CountOf(run.out, "StayingNet"), blocks) << run.out;
    EXPECT_NE(run.out.find("00:18:39:20:00:01  StayingNet  "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("StayingNet  1  7"), std::string::npos) << run.out;
    // Seen and not connected at first, then gone from the air.
    EXPECT_NE(run.out.find("LeavingNet  1  6  Not Connected"), std::string::npos) << run.out;
    const std::size_t lastBlock = run.out.rfind("Scan counter: ");
    const std::size_t leaving = run.out.find("LeavingNet", lastBlock);
    ASSERT_NE(leaving, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("7  Not Detected", leaving), std::string::npos) << run.out;
}

TEST_F(WatchTool, WithoutADriverOrWithOtherArgumentsItRefuses) {
    ::setenv("TARVIK_DRIVER_SOCKET", (folder_ / "nobody.sock").c_str(), 1);
    const ToolRun run = RunTool("watch --seconds 1");
    ::unsetenv("TARVIK_DRIVER_SOCKET");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Could not connect to Tarvik driver! Please try to re-install Tarvik."),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("Scan counter"), std::string::npos) << run.out;
    for (const char* args : {"watch --seconds", "watch --seconds x", "watch --minutes 2"}) {
        EXPECT_EQ(RunTool(args).status, 2) << args;
    }
}

}  // namespace
}  // namespace tarvik::testing
