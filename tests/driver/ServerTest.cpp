#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "driver/DeviceCodes.h"
#include "platform/driverio/ApcQueue.h"
#include "platform/driverio/DeviceFile.h"
#include "tests/driver/ServerTestKit.h"
#include "tests/driver/TestBackend.h"

namespace tarvik::testing {
namespace {

using driverio::CDeviceFile;
using driverio::DriverEvent;
using namespace tarvik::driver;

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

class DriverServerTest : public ServedBackend {
  protected:
    std::shared_ptr<CDeviceFile> OpenDriver() {
        std::uint32_t error = 0;
        auto file = CDeviceFile::Open("\\\\.\\TarvikP", error);
        EXPECT_TRUE(file) << error;
        return file;
    }
    std::uint32_t Ioctl(CDeviceFile& file, std::uint32_t code,
                        const std::vector<std::uint8_t>& input, std::uint32_t capacity,
                        std::vector<std::uint8_t>& output) {
        std::uint32_t returned = 0;
        return file.Control(code, input, capacity, output, returned);
    }
    std::shared_ptr<CDeviceFile> OpenTied(const std::string& device) {
        auto file = OpenDriver();
        std::vector<std::uint8_t> out;
        EXPECT_EQ(Ioctl(*file, kIoctlBindWait, {}, 0, out), 0u);
        EXPECT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16(device), 0, out), 0u);
        return file;
    }
};

TEST_F(DriverServerTest, BindingListDescribesEachBindingThenRunsOut) {
    auto file = OpenDriver();
    std::vector<std::uint8_t> query(20, 0), out;
    std::uint32_t returned = 0;
    ASSERT_EQ(file->Control(kIoctlQueryBinding, query, 1024, out, returned), 0u);
    EXPECT_EQ(returned, out.size());
    const std::uint32_t offset = U32At(out, 4), length = U32At(out, 8);
    EXPECT_EQ(offset, 20u);
    ASSERT_EQ(length, (kAdapterA.size() + 1) * 2);  // terminator counted
    ASSERT_LE(offset + length, out.size());
    std::vector<std::uint8_t> expected = Utf16(kAdapterA);
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + offset, out.begin() + offset + length),
              expected);

    query[0] = 1;
    ASSERT_EQ(Ioctl(*file, kIoctlQueryBinding, query, 1024, out), 0u);
    query[0] = 2;
    EXPECT_EQ(Ioctl(*file, kIoctlQueryBinding, query, 1024, out), kErrorNoMoreItems);
    query[0] = 0;
    EXPECT_EQ(Ioctl(*file, kIoctlQueryBinding, query, 40, out), kErrorInsufficientBuffer);
    EXPECT_EQ(Ioctl(*file, kIoctlQueryBinding, {0, 0, 0}, 1024, out), kErrorInvalidParameter);
}

TEST_F(DriverServerTest, OidRequestsConcernTheTiedAdapterOnly) {
    auto file = OpenDriver();
    std::vector<std::uint8_t> out;
    // Untied: OID requests, reads and writes have no adapter.
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 4), 64, out),
              kErrorDeviceNotConnected);
    std::uint32_t written = 0;
    EXPECT_EQ(file->Write(std::vector<std::uint8_t>(20, 1), written), kErrorDeviceNotConnected);
    // Names the driver is not bound to are refused; so is a second tie.
    EXPECT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16("\\DEVICE\\{NOPE}"), 0, out),
              kErrorFileNotFound);
    ASSERT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16(kAdapterA), 0, out), 0u);
    EXPECT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16(kAdapterB), 0, out), kErrorInvalidParameter);

    std::uint32_t returned = 0;
    const auto query = OidBlock(kOidVendorDescription, 60);
    ASSERT_EQ(file->Control(kIoctlQueryOid, query, 64, out, returned), 0u);
    const std::string text = "Simulated 802.11g Adapter";
    EXPECT_EQ(returned, 4 + text.size() + 1);  // the whole block: OID field and data
    EXPECT_EQ(U32At(out, 0), kOidVendorDescription);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data() + 4)), text);

    // The adapter's own errors pass through unchanged.
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 4), 8, out),
              kErrorInsufficientBuffer);
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(0x12345678, 4), 8, out), kErrorInvalidFunction);
    EXPECT_EQ(Ioctl(*file, kIoctlSetOid, OidBlock(kOidRejected, 4), 8, out),
              kErrorInvalidParameter);
    // Blocks shorter than the OID field plus 4 bytes are not requests.
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 2), 64, out),
              kErrorInvalidParameter);

    // A set hands the adapter everything behind the OID field.
    ASSERT_EQ(Ioctl(*file, kIoctlSetOid, OidBlock(0x0D010117, 6, 0xAB), 10, out), 0u);
    const auto sets = backend_.Sets();
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.back().device, kAdapterA);
    EXPECT_EQ(sets.back().data, std::vector<std::uint8_t>(6, 0xAB));
    EXPECT_EQ(Ioctl(*file, 0x0012C8FC, {}, 0, out), kErrorInvalidFunction);
}

TEST_F(DriverServerTest, DirectDeviceAnswersGlobalStatsUnderBothNames) {
    for (const std::string& name : {"\\\\.\\" + kGuidA, "\\\\.\\Globals\\" + kGuidA}) {
        std::uint32_t error = 0;
        auto direct = CDeviceFile::Open(name, error);
        ASSERT_TRUE(direct) << name << " " << error;
        std::vector<std::uint8_t> out;
        std::uint32_t returned = 0;
        ASSERT_EQ(direct->Control(kIoctlQueryGlobalStats, OidBlock(kOidVendorDescription, 0), 2048,
                                  out, returned),
                  0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data())),
                  "Simulated 802.11g Adapter");  // no OID field in front
        EXPECT_EQ(returned, out.size());
        EXPECT_EQ(direct->Control(kIoctlQueryGlobalStats, OidBlock(kOidVendorDescription, 0), 4,
                                  out, returned),
                  kErrorInsufficientBuffer);
        EXPECT_EQ(
            direct->Control(kIoctlQueryOid, OidBlock(kOidVendorDescription, 4), 64, out, returned),
            kErrorInvalidFunction);
    }
    std::uint32_t error = 0;
    EXPECT_FALSE(CDeviceFile::Open("\\\\.\\{00000000-0000-0000-0000-000000000000}", error));
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST_F(DriverServerTest, ReadsCompleteOneFrameEachOnThePostingThreadAndCancelAbortsTheRest) {
    auto file = OpenTied(kAdapterA);
    struct Completion {
        std::uint32_t status;
        std::vector<std::uint8_t> data;
    };
    std::vector<Completion> done;  // touched on this thread only, by the completions
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(file->ReadAsync(2400,
                                  [&](std::uint32_t status, auto data) {
                                      done.push_back({status, {data.begin(), data.end()}});
                                  }),
                  0u);
    }
    std::uint32_t written = 0;
    ASSERT_EQ(file->Write(std::vector<std::uint8_t>(60, 0x11), written), 0u);
    EXPECT_EQ(written, 60u);
    ASSERT_EQ(file->Write(std::vector<std::uint8_t>(42, 0x22), written), 0u);
    // Nothing runs until this thread waits alertably.
    EXPECT_TRUE(done.empty());
    while (done.size() < 2) ASSERT_TRUE(driverio::WaitAlertable(5000));
    EXPECT_EQ(done[0].status, 0u);
    EXPECT_EQ(done[0].data, std::vector<std::uint8_t>(60, 0x11));
    EXPECT_EQ(done[1].data, std::vector<std::uint8_t>(42, 0x22));

    ASSERT_EQ(file->CancelIo(), 0u);
    ASSERT_TRUE(driverio::WaitAlertable(5000));
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[2].status, kErrorOperationAborted);
    EXPECT_FALSE(driverio::WaitAlertable(0));
}

TEST_F(DriverServerTest, FramesArrivingWithNoReadPendingWaitForTheNextRead) {
    auto file = OpenTied(kAdapterA);
    std::uint32_t written = 0;
    ASSERT_EQ(file->Write(std::vector<std::uint8_t>(30, 0x33), written), 0u);
    std::vector<std::uint8_t> got;
    ASSERT_EQ(file->ReadAsync(20,
                              [&](std::uint32_t status, auto data) {
                                  EXPECT_EQ(status,
                                            kErrorMoreData);  // cut to the read's size, and says so
                                  got.assign(data.begin(), data.end());
                              }),
              0u);
    ASSERT_TRUE(driverio::WaitAlertable(5000));
    EXPECT_EQ(got, std::vector<std::uint8_t>(20, 0x33));
}

TEST_F(DriverServerTest, SeveralClientsAtOnceEachKeepTheirOwnAdapter) {
    auto a = OpenTied(kAdapterA);
    auto b = OpenTied(kAdapterB);
    std::atomic<int> failures{0};
    auto hammer = [&](CDeviceFile& file, const std::string& expected) {
        for (int i = 0; i < 200; ++i) {
            std::vector<std::uint8_t> out;
            std::uint32_t returned = 0;
            if (file.Control(kIoctlQueryOid, OidBlock(kOidVendorDescription, 60), 64, out,
                             returned) != 0 ||
                std::string(reinterpret_cast<const char*>(out.data() + 4)) != expected) {
                ++failures;
            }
        }
    };
    // Two threads share handle a, as the main and receive threads share one.
    std::thread t1([&] { hammer(*a, "Simulated 802.11g Adapter"); });
    std::thread t2([&] { hammer(*a, "Simulated 802.11g Adapter"); });
    std::thread t3([&] { hammer(*b, "Simulated Ethernet Adapter"); });
    t1.join();
    t2.join();
    t3.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(DriverServerTest, EventsReachSubscribers) {
    std::uint32_t error = 0;
    auto control = CDeviceFile::OpenControl(error);
    ASSERT_TRUE(control) << error;
    auto quiet = CDeviceFile::OpenControl(error);
    ASSERT_TRUE(quiet);
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<DriverEvent> events;
    ASSERT_EQ(control->Subscribe([&](const DriverEvent& e) {
        std::lock_guard lock(mutex);
        events.push_back(e);
        arrived.notify_all();
    }),
              0u);
    ASSERT_EQ(quiet->Subscribe(nullptr), 0u);  // subscribed without a callback: harmless

    auto tied = OpenTied(kAdapterA);
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Ioctl(*tied, kIoctlSetOid, OidBlock(kOidTestMediaEvent, 4, 1), 8, out), 0u);
    ASSERT_EQ(Ioctl(*tied, kIoctlSetOid, OidBlock(kOidTestMediaEvent, 4, 0), 8, out), 0u);
    ASSERT_EQ(Ioctl(*tied, kIoctlSetOid, OidBlock(kOidTestAddressChange, 4), 8, out), 0u);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(
        arrived.wait_for(lock, std::chrono::seconds(5), [&] { return events.size() == 3; }));
    EXPECT_EQ(events[0].kind, DriverEvent::Kind::MediaConnect);
    EXPECT_EQ(events[0].name, "Simulated 802.11g Adapter");
    EXPECT_EQ(events[1].kind, DriverEvent::Kind::MediaDisconnect);
    EXPECT_EQ(events[2].kind, DriverEvent::Kind::AddressChange);
    EXPECT_EQ(events[2].name, kAdapterA);
}

TEST_F(DriverServerTest, IpHelperServiceAndNetworkCardRequests) {
    std::uint32_t error = 0;
    auto control = CDeviceFile::OpenControl(error);
    ASSERT_TRUE(control);
    driverio::IpConfigRecord config;
    ASSERT_EQ(control->GetIpConfig(kAdapterA, config), 0u);
    EXPECT_TRUE(config.dhcpEnabled);
    ASSERT_EQ(config.addresses.size(), 1u);
    EXPECT_EQ(config.addresses[0].address, "192.168.1.20");
    EXPECT_EQ(control->GetIpConfig("\\DEVICE\\{NOPE}", config), kErrorNotFound);
    EXPECT_EQ(control->ReleaseAddress(kAdapterA), 0u);

    bool running = false;
    ASSERT_EQ(control->QueryService(running), 0u);
    EXPECT_TRUE(running);
    ASSERT_EQ(control->StopService(), 0u);
    ASSERT_EQ(control->QueryService(running), 0u);
    EXPECT_FALSE(running);
    ASSERT_EQ(control->StartService(), 0u);
    EXPECT_TRUE(backend_.serviceRunning());

    std::vector<driverio::NetworkCardRecord> cards;
    ASSERT_EQ(control->GetNetworkCards(cards), 0u);
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].serviceName, kGuidA);
    EXPECT_EQ(cards[0].description, "Simulated 802.11g Adapter (registry)");
}

TEST_F(DriverServerTest, GarbageGetsErrorRepliesOrAClosedConnectionAndTheServerGoesOn) {
    RawClient raw(socketPath_);
    ASSERT_TRUE(raw.connected());
    driverio::Message reply;
    raw.SendBody({0x30, 5, 0, 0, 0, 9, 9});  // unknown kind
    ASSERT_TRUE(raw.Receive(reply));
    EXPECT_EQ(reply.id, 5u);
    EXPECT_EQ(reply.status, kErrorInvalidFunction);
    raw.SendBody({2, 6, 0, 0, 0, 1});  // a control request cut short
    ASSERT_TRUE(raw.Receive(reply));
    EXPECT_EQ(reply.id, 6u);
    EXPECT_EQ(reply.status, kErrorInvalidParameter);
    raw.SendBody({3, 7, 0, 0, 0, 0x60, 9, 0, 0});  // a read before any open
    ASSERT_TRUE(raw.Receive(reply));
    EXPECT_EQ(reply.status, kErrorInvalidHandle);
    raw.SendBody({64, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // a reply, sent to us
    ASSERT_TRUE(raw.Receive(reply));
    EXPECT_EQ(reply.status, kErrorInvalidFunction);
    raw.SendRaw({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});  // impossible length
    EXPECT_FALSE(raw.Receive(reply));

    RawClient shortBody(socketPath_);
    shortBody.SendBody({1, 2});  // no room for a request id
    EXPECT_FALSE(shortBody.Receive(reply));

    RawClient vanishing(socketPath_);
    vanishing.SendRaw({200, 0, 0});  // half a length prefix, then gone

    // Everyone else is still served.
    auto file = OpenTied(kAdapterA);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 60), 64, out), 0u);
}

TEST_F(DriverServerTest, ClosingAHandleWithReadsPendingAbortsThem) {
    auto file = OpenTied(kAdapterA);
    std::uint32_t status = 0;
    ASSERT_EQ(file->ReadAsync(2400, [&](std::uint32_t s, auto) { status = s; }), 0u);
    file->Close();
    ASSERT_TRUE(driverio::WaitAlertable(5000));
    EXPECT_EQ(status, kErrorOperationAborted);
    std::uint32_t written = 0;
    EXPECT_EQ(file->Write(std::vector<std::uint8_t>(20, 0), written), kErrorInvalidHandle);
}

TEST_F(DriverServerTest, StopRemovesTheSocketFileAndALiveSocketIsNotTakenOver) {
    DriverServer second(backend_);
    std::string error;
    EXPECT_FALSE(second.Listen(socketPath_, error));
    EXPECT_NE(error.find("another"), std::string::npos) << error;

    server_->Stop();
    thread_.join();
    struct stat info {};
    EXPECT_NE(stat(socketPath_.c_str(), &info), 0);
    std::uint32_t code = 0;
    EXPECT_FALSE(CDeviceFile::Open("\\\\.\\TarvikP", code));
    EXPECT_EQ(code, kErrorFileNotFound);
}

TEST(DriverServerListen, AStaleSocketFileIsReplacedButOtherFilesAreNot) {
    char pattern[] = "/tmp/tarvik-driver-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    TestBackend backend;
    {
        DriverServer first(backend);
        std::string error;
        ASSERT_TRUE(first.Listen(folder + "/a/b/driver.sock", error)) << error;
    }
    // A socket file left behind by a daemon that died.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string stale = folder + "/stale.sock";
    std::strcpy(address.sun_path, stale.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    std::string error;
    {
        DriverServer server(backend);
        EXPECT_TRUE(server.Listen(stale, error)) << error;
    }
    const std::string plain = folder + "/plain";
    std::fclose(std::fopen(plain.c_str(), "w"));
    DriverServer server(backend);
    EXPECT_FALSE(server.Listen(plain, error));
    EXPECT_TRUE(std::filesystem::exists(plain));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tarvik::testing
