// The driver channel against tarvik-driverd and its simulated world.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "adapter/DriverChannel.h"
#include "ndis/Oids.h"
#include "tests/adapter/DaemonProcess.h"

namespace tarvik::testing {
namespace {

const std::string kCard = "\\DEVICE\\{5A5A0001-1111-2222-3333-444455556666}";
const std::string kWired = "\\DEVICE\\{5A5A0002-1111-2222-3333-444455556666}";

TEST(DaemonChannel, BindingsAndDirectQueriesThenSigtermRemovesTheSocket) {
    DaemonProcess daemon(ScenarioPath("channel.json"));
    ASSERT_TRUE(daemon.ready()) << "tarvik-driverd did not start";
    std::vector<std::uint8_t> names(kBindingListSize);
    ASSERT_EQ(QueryBindings(names.data(), names.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(BindingNames(names.data(), names.size()), (std::vector<std::string>{kCard, kWired}));
    const std::u16string device(kCard.begin(), kCard.end());
    char direct[64] = {};
    ASSERT_EQ(QueryOidDirect(device, ndis::OID_GEN_VENDOR_DESCRIPTION, direct, 64, nullptr), 0);
    EXPECT_STREQ(direct, "Channel Test Card");

    const std::string path = daemon.socketPath();
    EXPECT_EQ(daemon.Stop(), 0);
    struct stat info {};
    EXPECT_NE(stat(path.c_str(), &info), 0);
    EXPECT_FALSE(OpenDriver());
}

TEST(DaemonStartup, WithoutAScenarioTheBundledWorldIsServed) {
    DaemonProcess daemon("");
    ASSERT_TRUE(daemon.ready());
    std::vector<std::uint8_t> list(kBindingListSize);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_FALSE(BindingNames(list.data(), list.size()).empty());
}

TEST(DaemonStartup, ABadScenarioOrBackendIsRefusedClearly) {
    const std::string command = DaemonPath() +
                                " --backend sim --scenario /nonexistent.json "
                                "--socket /tmp/tarvik-never.sock 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char text[512] = {};
    const std::size_t n = std::fread(text, 1, sizeof(text) - 1, pipe);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
    EXPECT_NE(std::string(text, n).find("/nonexistent.json"), std::string::npos) << text;
    EXPECT_EQ(WEXITSTATUS(std::system((DaemonPath() + " --backend nl80211 2>/dev/null").c_str())),
              1);
    EXPECT_EQ(WEXITSTATUS(std::system((DaemonPath() + " --bogus 2>/dev/null").c_str())), 2);
}

}  // namespace
}  // namespace tarvik::testing
