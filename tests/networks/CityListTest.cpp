// A city survey's worth of networks in range at once, served by
// tarvik-driverd over its socket: the whole list reaches the network list
// through the adapter, and tarvik-oid's scan shows all of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "adapter/Adapter.h"
#include "networks/NetworkList.h"
#include "platform/driverio/DriverProtocol.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/core/LogCapture.h"

namespace tarvik {
namespace {

const std::string kGuid = "{C17E0000-0000-4000-8000-000000000001}";

// `count` access points on channels 1 to 11; every third one has WPA2, so
// the items differ in size as in a real survey.
std::string CityScenario(std::size_t count) {
    std::string json = R"({"adapters": [{"guid": ")" + kGuid + R"("}], "accessPoints": [)";
    char ap[200];
    for (std::size_t i = 0; i < count; ++i) {
        const char* security =
            i % 3 == 0 ? R"(, "security": "wpa2-psk", "passphrase": "city-wide")" : "";
        std::snprintf(ap, sizeof(ap),
                      R"(%s{"bssid": "02:c1:%02zx:%02zx:%02zx:01", "ssid": "City%06zu", )"
                      R"("channel": %zu%s})",
                      i == 0 ? "" : ", ", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff, i,
                      1 + i % 11, security);
        json += ap;
    }
    return json + "]}";
}

class CityList : public ::testing::TestWithParam<std::size_t> {
  protected:
    void SetUp() override {
        const auto scenario = folder_.Path() / "city.json";
        std::ofstream(scenario) << CityScenario(GetParam());
        daemon_ = std::make_unique<testing::DaemonProcess>(scenario.string());
        ASSERT_TRUE(daemon_->ready());
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    std::unique_ptr<testing::DaemonProcess> daemon_;
};

TEST_P(CityList, EveryNetworkReachesTheList) {
    CAdapter adapter("\\DEVICE\\" + kGuid, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    CNetworkList list;
    EXPECT_EQ(adapter.ScanAndFetchBssidList(
                  false, [&](std::span<const std::uint8_t> bytes) { list.MergeBssidList(bytes); }),
              RES_BSSID_LIST_OBTAINED);
    EXPECT_EQ(list.Size(), GetParam());
    EXPECT_EQ(list.ScanCounter(), 1u);
}

// tarvik-oid's scan shows the whole list; a fixed length above what one query
// carries is refused with the limit named.
TEST_P(CityList, ToolScanShowsEveryNetwork) {
    const auto run = testing::RunTool("scan 0 --wait 0");
    EXPECT_EQ(run.status, 0) << run.out.substr(0, 300);
    EXPECT_NE(run.out.find(std::to_string(GetParam()) + " network(s)"), std::string::npos);
    const auto tooLong = testing::RunTool("query 0 OID_802_11_BSSID_LIST --length 99999999");
    EXPECT_EQ(tooLong.status, 2);
    const auto limit = std::to_string(driverio::kMaxOidDataSize);
    EXPECT_NE(tooLong.out.find("--length is at most " + limit + " bytes"), std::string::npos)
        << tooLong.out;
}

// 5,000 is far past the old growth loop's reach (about 690); 8,000 makes a
// list of about 1.4 MB, past what one message could carry before.
INSTANTIATE_TEST_SUITE_P(Sizes, CityList, ::testing::Values(5000, 8000),
                         [](const auto& info) { return std::to_string(info.param) + "Networks"; });

}  // namespace
}  // namespace tarvik
