// The driver device served over its real socket to the real client layer.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "driver/DeviceCodes.h"
#include "platform/driverio/ApcQueue.h"
#include "tests/driver/ServerTestKit.h"

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

std::string TextAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes.size() > at ? reinterpret_cast<const char*>(bytes.data() + at) : "";
}

using DriverServerTest = ServedDriver;

TEST_F(DriverServerTest, BindingListDescribesEachBindingThenRunsOut) {
    auto file = OpenDriver();
    std::vector<std::uint8_t> query(20, 0);
    ASSERT_EQ(Ioctl(*file, kIoctlQueryBinding, query), 0u);
    EXPECT_EQ(returned_, out_.size());
    const std::uint32_t offset = U32At(out_, 4), length = U32At(out_, 8);
    EXPECT_EQ(offset, 20u);
    ASSERT_EQ(length, (kAdapterA.size() + 1) * 2);  // terminator counted
    ASSERT_LE(offset + length, out_.size());
    std::vector<std::uint8_t> expected = Utf16(kAdapterA);
    expected.insert(expected.end(), {0, 0});
    EXPECT_EQ(std::vector<std::uint8_t>(out_.begin() + offset, out_.begin() + offset + length),
              expected);
    const struct {
        std::uint8_t index;
        std::vector<std::uint8_t> block;
        std::uint32_t capacity, status;
    } rows[] = {{1, query, 1024, 0},
                {2, query, 1024, kErrorNoMoreItems},
                {0, query, 40, kErrorInsufficientBuffer},
                {0, {0, 0, 0}, 1024, kErrorInvalidParameter}};
    for (auto row : rows) {
        row.block[0] = row.index;
        EXPECT_EQ(Ioctl(*file, kIoctlQueryBinding, row.block, row.capacity), row.status)
            << int(row.index) << " " << row.capacity;
    }
}

TEST_F(DriverServerTest, OidRequestsConcernTheTiedAdapterOnly) {
    auto file = OpenDriver();
    // Untied: OID requests, reads and writes have no adapter.
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 4), 64),
              kErrorDeviceNotConnected);
    std::uint32_t written = 0;
    EXPECT_EQ(file->Write(std::vector<std::uint8_t>(20, 1), written), kErrorDeviceNotConnected);
    // Names the driver is not bound to are refused; so is a second tie.
    EXPECT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16("\\DEVICE\\{NOPE}")), kErrorFileNotFound);
    ASSERT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16(kAdapterA)), 0u);
    EXPECT_EQ(Ioctl(*file, kIoctlOpenDevice, Utf16(kAdapterB)), kErrorInvalidParameter);

    ASSERT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 60), 64), 0u);
    const std::string text = "Simulated 802.11g Adapter";
    EXPECT_EQ(returned_, 4 + text.size() + 1);  // the whole block: OID field and data
    EXPECT_EQ(U32At(out_, 0), kOidVendorDescription);
    EXPECT_EQ(TextAt(out_, 4), text);

    // The adapter's own errors pass through unchanged; blocks shorter than
    // the OID field plus 4 bytes are not requests; unknown codes are refused.
    const struct {
        std::uint32_t code;
        std::vector<std::uint8_t> block;
        std::uint32_t capacity, status;
    } refusals[] = {
        {kIoctlQueryOid, OidBlock(kOidVendorDescription, 4), 8, kErrorInsufficientBuffer},
        {kIoctlQueryOid, OidBlock(0x12345678, 4), 8, kErrorInvalidFunction},
        {kIoctlSetOid, OidBlock(kOidRejected, 4), 8, kErrorInvalidParameter},
        {kIoctlQueryOid, OidBlock(kOidVendorDescription, 2), 64, kErrorInvalidParameter},
        {0x0012C8FC, {}, 0, kErrorInvalidFunction},
    };
    for (const auto& row : refusals) {
        EXPECT_EQ(Ioctl(*file, row.code, row.block, row.capacity), row.status) << row.code;
    }
    // A set hands the adapter everything behind the OID field.
    ASSERT_EQ(Ioctl(*file, kIoctlSetOid, OidBlock(0x0D010117, 6, 0xAB), 10), 0u);
    const auto sets = backend_.Sets();
    EXPECT_EQ(sets.back().device, kAdapterA);
    EXPECT_EQ(sets.back().data, std::vector<std::uint8_t>(6, 0xAB));
}

// Both name forms resolve alike (DriverSocketPath); one reaches the server here.
TEST_F(DriverServerTest, DirectDeviceAnswersGlobalStats) {
    std::uint32_t error = 0;
    auto direct = CDeviceFile::Open("\\\\.\\Globals\\" + kGuidA, error);
    ASSERT_TRUE(direct) << error;
    const auto oid = OidBlock(kOidVendorDescription, 0);
    ASSERT_EQ(Ioctl(*direct, kIoctlQueryGlobalStats, oid, 2048), 0u);
    EXPECT_EQ(TextAt(out_, 0), "Simulated 802.11g Adapter");  // no OID field in front
    EXPECT_EQ(returned_, out_.size());
    EXPECT_EQ(Ioctl(*direct, kIoctlQueryGlobalStats, oid, 4), kErrorInsufficientBuffer);
    EXPECT_EQ(Ioctl(*direct, kIoctlQueryOid, OidBlock(kOidVendorDescription, 4), 64),
              kErrorInvalidFunction);
    EXPECT_FALSE(CDeviceFile::Open("\\\\.\\{00000000-0000-0000-0000-000000000000}", error));
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST_F(DriverServerTest, ReadsCompleteOneFrameEachOnThePostingThreadAndCancelAbortsTheRest) {
    auto file = OpenTied(kAdapterA);
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> done;  // this thread only
    const auto post = [&](std::uint32_t capacity) {
        return file->ReadAsync(capacity, [&](std::uint32_t status, auto data) {
            done.push_back({status, {data.begin(), data.end()}});
        });
    };
    const auto waitFor = [&](std::size_t count) {
        while (done.size() < count) ASSERT_TRUE(driverio::WaitAlertable(5000));
    };
    std::uint32_t written = 0;
    // A frame with no read pending waits, and is cut to the read.
    ASSERT_EQ(file->Write(std::vector<std::uint8_t>(30, 0x33), written), 0u);
    ASSERT_EQ(post(20), 0u);
    waitFor(1);
    EXPECT_EQ(done[0], std::make_pair(kErrorMoreData, std::vector<std::uint8_t>(20, 0x33)));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(post(2400), 0u);
    ASSERT_EQ(file->Write(std::vector<std::uint8_t>(60, 0x11), written), 0u);
    EXPECT_EQ(written, 60u);
    ASSERT_EQ(file->Write(std::vector<std::uint8_t>(42, 0x22), written), 0u);
    EXPECT_EQ(done.size(), 1u);  // nothing runs until this thread waits alertably
    waitFor(3);
    EXPECT_EQ(done[1], std::make_pair(0u, std::vector<std::uint8_t>(60, 0x11)));
    EXPECT_EQ(done[2].second, std::vector<std::uint8_t>(42, 0x22));
    ASSERT_EQ(file->CancelIo(), 0u);
    waitFor(4);
    EXPECT_EQ(done[3].first, kErrorOperationAborted);
    EXPECT_FALSE(driverio::WaitAlertable(0));
    // Closing with a read pending aborts it; the handle is then dead.
    ASSERT_EQ(post(2400), 0u);
    file->Close();
    waitFor(5);
    EXPECT_EQ(done[4].first, kErrorOperationAborted);
    EXPECT_EQ(file->Write(std::vector<std::uint8_t>(20, 0), written), kErrorInvalidHandle);
}

TEST_F(DriverServerTest, ControlHandleGetsEventsIpHelperServiceAndNetworkCards) {
    std::uint32_t error = 0;
    auto control = CDeviceFile::OpenControl(error);
    auto quiet = CDeviceFile::OpenControl(error);
    ASSERT_TRUE(control && quiet) << error;
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
    ASSERT_EQ(Ioctl(*tied, kIoctlSetOid, OidBlock(kOidTestMediaEvent, 4, 1)), 0u);
    ASSERT_EQ(Ioctl(*tied, kIoctlSetOid, OidBlock(kOidTestMediaEvent, 4, 0)), 0u);
    ASSERT_EQ(Ioctl(*tied, kIoctlSetOid, OidBlock(kOidTestAddressChange, 4)), 0u);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(
        arrived.wait_for(lock, std::chrono::seconds(5), [&] { return events.size() == 3; }));
    EXPECT_EQ(events[0].kind, DriverEvent::Kind::MediaConnect);
    EXPECT_EQ(events[0].name, "Simulated 802.11g Adapter");
    EXPECT_EQ(events[1].kind, DriverEvent::Kind::MediaDisconnect);
    EXPECT_EQ(events[2].kind, DriverEvent::Kind::AddressChange);
    EXPECT_EQ(events[2].name, kAdapterA);
    lock.unlock();

    driverio::IpConfigRecord config;
    ASSERT_EQ(control->GetIpConfig(kAdapterA, config), 0u);
    EXPECT_TRUE(config.dhcpEnabled);
    ASSERT_EQ(config.addresses.size(), 1u);
    EXPECT_EQ(config.addresses[0].address, "192.168.1.20");
    EXPECT_EQ(control->GetIpConfig("\\DEVICE\\{NOPE}", config), kErrorNotFound);
    EXPECT_EQ(control->ReleaseAddress(kAdapterA), 0u);

    bool running = false;
    for (const bool start : {false, true}) {
        ASSERT_EQ(start ? control->StartService() : control->StopService(), 0u);
        ASSERT_EQ(control->QueryService(running), 0u);
        EXPECT_EQ(running, start);
        EXPECT_EQ(backend_.serviceRunning(), start);
    }

    std::vector<driverio::NetworkCardRecord> cards;
    ASSERT_EQ(control->GetNetworkCards(cards), 0u);
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].serviceName, kGuidA);
    EXPECT_EQ(cards[0].description, "Simulated 802.11g Adapter (registry)");
}

TEST_F(DriverServerTest, GarbageGetsErrorRepliesOrAClosedConnectionAndTheServerGoesOn) {
    RawClient raw(socketPath_);
    ASSERT_TRUE(raw.connected());
    const struct {
        std::vector<std::uint8_t> body;
        std::uint32_t status;
    } rows[] = {
        {{0x30, 5, 0, 0, 0, 9, 9}, kErrorInvalidFunction},      // unknown kind
        {{2, 6, 0, 0, 0, 1}, kErrorInvalidParameter},           // a control request cut short
        {{3, 7, 0, 0, 0, 0x60, 9, 0, 0}, kErrorInvalidHandle},  // a read before any open
        {{64, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         kErrorInvalidFunction},  // a reply
    };
    driverio::Message reply;
    for (const auto& row : rows) {
        raw.SendBody(row.body);
        ASSERT_TRUE(raw.Receive(reply));
        EXPECT_EQ(reply.id, row.body[1]);
        EXPECT_EQ(reply.status, row.status);
    }
    raw.SendRaw({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});  // impossible length
    EXPECT_FALSE(raw.Receive(reply));
    RawClient shortBody(socketPath_);
    shortBody.SendBody({1, 2});  // no room for a request id
    EXPECT_FALSE(shortBody.Receive(reply));
    RawClient vanishing(socketPath_);
    vanishing.SendRaw({200, 0, 0});  // half a length prefix, then gone

    auto file = OpenTied(kAdapterA);  // everyone else is still served
    EXPECT_EQ(Ioctl(*file, kIoctlQueryOid, OidBlock(kOidVendorDescription, 60), 64), 0u);
}

TEST_F(DriverServerTest, StopRemovesTheSocketFileAndALiveSocketIsNotTakenOver) {
    DriverServer second(backend_);
    std::string error;
    EXPECT_FALSE(second.Listen(socketPath_, error));
    EXPECT_NE(error.find("another"), std::string::npos) << error;
    server_->Stop();
    thread_.join();
    EXPECT_FALSE(std::filesystem::exists(socketPath_));
    std::uint32_t code = 0;
    EXPECT_FALSE(CDeviceFile::Open("\\\\.\\TarvikP", code));
    EXPECT_EQ(code, kErrorFileNotFound);
    // A socket file left behind by a daemon that died is replaced; other files are not.
    ::close(BindSocketAt(socketPath_));
    EXPECT_TRUE(DriverServer(backend_).Listen(socketPath_, error)) << error;
    const std::string plain = folder_ + "/plain";
    std::fclose(std::fopen(plain.c_str(), "w"));
    EXPECT_FALSE(DriverServer(backend_).Listen(plain, error));
    EXPECT_TRUE(std::filesystem::exists(plain));
}

}  // namespace
}  // namespace tarvik::testing
