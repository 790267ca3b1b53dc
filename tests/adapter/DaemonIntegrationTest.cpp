// The driver channel against tarvik-driverd and its simulated world.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "adapter/DriverChannel.h"
#include "ndis/BssidList.h"
#include "ndis/NdisTypes.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"
#include "platform/driverio/ApcQueue.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/core/LogCapture.h"
#include "tests/core/TempFolder.h"

namespace tarvik::testing {
namespace {

const std::string kCard = "\\DEVICE\\{5A5A0001-1111-2222-3333-444455556666}";
const std::string kWired = "\\DEVICE\\{5A5A0002-1111-2222-3333-444455556666}";

class DaemonChannel : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()) << "tarvik-driverd did not start"; }

    DriverHandle OpenTied(const std::string& device) {
        DriverHandle handle = OpenDriver();
        EXPECT_TRUE(handle);
        EXPECT_TRUE(OpenDevice(handle, device));
        return handle;
    }
    std::uint32_t QueryU32(const DriverHandle& handle, std::uint32_t oid) {
        std::uint32_t value = 0xFFFFFFFF;
        EXPECT_EQ(QueryOid(handle, &gate_, oid, &value, 4, nullptr), 0);
        return value;
    }

    DaemonProcess daemon_{ScenarioPath("channel.json")};
    TempFolder logFolder_;
    LogCapture log_{logFolder_.Path()};
    CDriverGate gate_;
};

TEST_F(DaemonChannel, BindingsQueriesAndTheDirectPath) {
    std::vector<std::uint8_t> list(kBindingListSize);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(BindingNames(list.data(), list.size()), (std::vector<std::string>{kCard, kWired}));

    DriverHandle handle = OpenTied(kCard);
    char text[2048] = {};
    ASSERT_EQ(
        QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text), nullptr), 0);
    EXPECT_STREQ(text, "Channel Test Card");
    EXPECT_EQ(QueryU32(handle, ndis::OID_GEN_PHYSICAL_MEDIUM), 1u);

    const std::u16string device(kCard.begin(), kCard.end());
    char direct[2048] = {};
    ASSERT_EQ(
        QueryOidDirect(device, ndis::OID_GEN_VENDOR_DESCRIPTION, direct, sizeof(direct), nullptr),
        0);
    EXPECT_STREQ(direct, "Channel Test Card");

    // A channel that never opened answers 3, touching nothing.
    std::uint32_t returned = 7;
    EXPECT_EQ(QueryOid(nullptr, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 8, &returned), 3);
    EXPECT_EQ(returned, 7u);
    // A name the driver is not bound to.
    EXPECT_FALSE(OpenDevice(OpenDriver(), std::string(300, 'x')));
}

TEST_F(DaemonChannel, ScanFetchConnectEventsAddressAndFrames) {
    DriverHandle handle = OpenTied(kCard);
    std::uint32_t error = 0;
    auto events = driverio::CDeviceFile::OpenControl(error);
    ASSERT_TRUE(events) << error;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<driverio::DriverEvent> seen;
    ASSERT_EQ(events->Subscribe([&](const driverio::DriverEvent& e) {
        std::lock_guard lock(mutex);
        seen.push_back(e);
        arrived.notify_all();
    }),
              0u);

    // A value-less set (an 8-byte block) starts a scan.
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_BSSID_LIST_SCAN, nullptr, 0, nullptr), 0);
    std::vector<std::uint8_t> small(100);
    EXPECT_EQ(QueryOid(handle, &gate_, ndis::OID_802_11_BSSID_LIST, small.data(), 100, nullptr),
              ERROR_INSUFFICIENT_BUFFER);
    std::vector<std::uint8_t> buffer(8000);
    std::uint32_t returned = 0;
    ASSERT_EQ(QueryOid(handle, &gate_, ndis::OID_802_11_BSSID_LIST, buffer.data(),
                       static_cast<std::uint32_t>(buffer.size()), &returned),
              0);
    ASSERT_GT(returned, 4u);
    const auto list = ndis::ParseBssidList({buffer.data(), returned - 4});
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_TRUE(list.Clean());

    const std::uint32_t infrastructure = ndis::Ndis802_11Infrastructure;
    const std::uint32_t open = ndis::Ndis802_11AuthModeOpen;
    const std::uint32_t disabled = ndis::Ndis802_11EncryptionDisabled;
    ASSERT_EQ(
        SetOid(handle, &gate_, ndis::OID_802_11_INFRASTRUCTURE_MODE, &infrastructure, 4, nullptr),
        0);
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_AUTHENTICATION_MODE, &open, 4, nullptr), 0);
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_ENCRYPTION_STATUS, &disabled, 4, nullptr), 0);
    const auto ssid = ndis::BuildSsid("ChannelOpen");
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_SSID, ssid->data(),
                     static_cast<std::uint32_t>(ssid->size()), nullptr),
              0);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] {
            for (const auto& e : seen) {
                if (e.kind == driverio::DriverEvent::Kind::AddressChange) return true;
            }
            return false;
        }));
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen[0].kind, driverio::DriverEvent::Kind::MediaConnect);
        EXPECT_EQ(seen[0].name, "Channel Test Card");
    }
    EXPECT_EQ(QueryU32(handle, ndis::OID_GEN_MEDIA_CONNECT_STATUS), 0u);
    driverio::IpConfigRecord config;
    ASSERT_EQ(events->GetIpConfig(kCard, config), 0u);
    ASSERT_FALSE(config.addresses.empty());
    EXPECT_EQ(config.addresses[0].address, "192.168.7.50");

    // Traffic: each read completes with one Ethernet frame.
    struct Read {
        std::uint8_t buffer[2400];
        ReadRequest request;
        std::uint32_t error = 0xFFFFFFFF;
        std::uint32_t bytes = 0;
    };
    std::vector<std::unique_ptr<Read>> reads;
    for (int i = 0; i < 3; ++i) {
        reads.push_back(std::make_unique<Read>());
        Read& r = *reads.back();
        ASSERT_EQ(ReadPacket(handle, &gate_, r.buffer, sizeof(r.buffer), r.request,
                             [&r](std::uint32_t e, std::uint32_t n, ReadRequest&) {
                                 r.error = e;
                                 r.bytes = n;
                             }),
                  0);
    }
    auto completed = [&] {
        int n = 0;
        for (const auto& r : reads) n += r->error != 0xFFFFFFFF ? 1 : 0;
        return n;
    };
    for (int i = 0; i < 100 && completed() < 2; ++i) driverio::WaitAlertable(100);
    ASSERT_GE(completed(), 2);
    EXPECT_EQ(reads[0]->error, 0u);
    EXPECT_GE(reads[0]->bytes, 14u);  // at least an Ethernet header
    EXPECT_LE(reads[0]->bytes, 2400u);
    ASSERT_EQ(handle->CancelIo(), 0u);
    while (driverio::WaitAlertable(0)) {
    }
    ASSERT_EQ(completed(), 3);
    for (const auto& r : reads) {
        EXPECT_TRUE(r->error == 0 ||
                    r->error == static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));
    }

    ASSERT_EQ(events->ReleaseAddress(kCard), 0u);
    bool running = false;
    ASSERT_EQ(events->QueryService(running), 0u);
    EXPECT_TRUE(running);
    ASSERT_EQ(events->StopService(), 0u);
    ASSERT_EQ(events->QueryService(running), 0u);
    EXPECT_FALSE(running);
}

TEST_F(DaemonChannel, AStuckGateCostsTheNextQueryAWarningNotTheQuery) {
    DriverHandle handle = OpenTied(kCard);
    ASSERT_TRUE(gate_.Take());
    std::uint32_t medium = 0;
    EXPECT_EQ(QueryOid(handle, &gate_, ndis::OID_GEN_PHYSICAL_MEDIUM, &medium, 4, nullptr), 0);
    EXPECT_EQ(medium, 1u);
    gate_.Free();
    EXPECT_EQ(log_.Messages(),
              std::vector<std::string>{
                  "App: Warn: Giving up on waiting for driver to be free inside QueryOid"});
}

TEST_F(DaemonChannel, SigtermEndsTheDaemonAndRemovesItsSocket) {
    const std::string path = daemon_.socketPath();
    EXPECT_EQ(daemon_.Stop(), 0);
    struct stat info {};
    EXPECT_NE(stat(path.c_str(), &info), 0);
    EXPECT_FALSE(OpenDriver());
}

TEST(DaemonWithoutCards, BindingListHoldsOnlyTheClosingZero) {
    DaemonProcess daemon(ScenarioPath("empty.json"));
    ASSERT_TRUE(daemon.ready());
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 0);
    EXPECT_EQ(list[2], 0xCC);
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
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(std::string(text, n).find("/nonexistent.json"), std::string::npos) << text;
    EXPECT_EQ(WEXITSTATUS(std::system((DaemonPath() + " --backend nl80211 2>/dev/null").c_str())),
              1);
    EXPECT_EQ(WEXITSTATUS(std::system((DaemonPath() + " --bogus 2>/dev/null").c_str())), 2);
}

}  // namespace
}  // namespace tarvik::testing
