#include "adapter/AdapterChannel.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/ApplicationOptions.h"
#include "ndis/Oids.h"
#include "tests/core/LogCapture.h"
#include "tests/core/TempFolder.h"
#include "tests/driver/TestBackend.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;

class AdapterChannelTest : public ServedBackend {
  protected:
    TempFolder logFolder_;
    LogCapture log_{logFolder_.Path()};
};

TEST_F(AdapterChannelTest, OpensOnceTiesTheDeviceAndCloses) {
    CAdapterChannel channel(kAdapterA);
    EXPECT_EQ(channel.Gate(), nullptr);
    ASSERT_EQ(channel.Open(), 0);
    ASSERT_NE(channel.Gate(), nullptr);
    EXPECT_EQ(channel.Open(), -1);
    char text[64] = {};
    EXPECT_EQ(channel.QueryAdapterOid(log_.Settings(), ndis::OID_GEN_VENDOR_DESCRIPTION, text,
                                      sizeof(text), nullptr),
              0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    channel.CloseHandle();
    EXPECT_FALSE(channel.Handle());
    EXPECT_EQ(channel.QueryAdapterOid(log_.Settings(), ndis::OID_GEN_VENDOR_DESCRIPTION, text,
                                      sizeof(text), nullptr),
              3);
    // The direct path needs no open channel.
    log_.Settings().UseGlobalStatsForQueries = 1;
    std::memset(text, 0, sizeof(text));
    EXPECT_EQ(channel.QueryAdapterOid(log_.Settings(), ndis::OID_GEN_VENDOR_DESCRIPTION, text,
                                      sizeof(text), nullptr),
              0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(log_.Messages(), (Lines{"App: Info: Opening driver handle on " + kAdapterA,
                                      "App: Info: Opening driver handle on " + kAdapterA,
                                      "App: Info: Driver handle already open!",
                                      "App: Info: Closing driver handle on " + kAdapterA}));
}

TEST_F(AdapterChannelTest, AFailedDeviceOpenKeepsTheHandleWithoutAGate) {
    const std::string unbound = "\\DEVICE\\{00000000-0000-0000-0000-00000000000F}";
    CAdapterChannel channel(unbound);
    EXPECT_EQ(channel.Open(), -1);
    EXPECT_TRUE(channel.Handle());
    EXPECT_EQ(channel.Gate(), nullptr);
    std::uint32_t value = 0;
    // Requests still go out, on a handle tied to nothing, after the failed gate wait.
    EXPECT_EQ(
        channel.QueryAdapterOid(log_.Settings(), ndis::OID_GEN_PHYSICAL_MEDIUM, &value, 4, nullptr),
        1167);
    EXPECT_EQ(log_.Messages(),
              (Lines{"App: Info: Opening driver handle on " + unbound,
                     "App: Info: Could not connect to the device " + unbound,
                     "App: Warn: Giving up on waiting for driver to be free inside QueryOid"}));
}

TEST_F(AdapterChannelTest, NoDriverIsReportedWithTheError) {
    server_->Stop();
    thread_.join();
    CAdapterChannel channel(kAdapterA);
    EXPECT_EQ(channel.Open(), -1);
    EXPECT_FALSE(channel.Handle());
    EXPECT_EQ(log_.Messages(), (Lines{"App: Info: Opening driver handle on " + kAdapterA,
                                      "App: Info: Could not connect to the driver, 2"}));
}

}  // namespace
}  // namespace tarvik::testing
