#include "adapter/DriverChannel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "adapter/Adapter.h"
#include "adapter/AdapterChannel.h"
#include "core/ApplicationOptions.h"
#include "ndis/Oids.h"
#include "platform/driverio/ApcQueue.h"
#include "platform/driverio/DriverProtocol.h"
#include "tests/adapter/AdapterTestSupport.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/core/TempFolder.h"
#include "tests/driver/ServerTestKit.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;
constexpr std::uint32_t kVendor = ndis::OID_GEN_VENDOR_DESCRIPTION;
const std::string kGaveUp = "App: Warn: Giving up on waiting for driver to be free inside QueryOid";

class DriverChannelTest : public ServedBackend {
  protected:
    DriverHandle OpenTied(const std::string& device) {
        DriverHandle handle = OpenDriver();
        EXPECT_TRUE(handle);
        EXPECT_TRUE(OpenDevice(handle, device));
        return handle;
    }
    CDriverGate gate_;
    TempFolder logFolder_;
    LogCapture log_{logFolder_.Path()};
};

// Through a tied handle the whole block is counted; the direct path needs
// no handle and counts the data only.
TEST_F(DriverChannelTest, QueriesCopyTheDataAndCountWhatCameBack) {
    // Without a channel: 3, and neither buffer nor count is touched.
    std::uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    std::uint32_t returned = 99;
    EXPECT_EQ(QueryOid(nullptr, &gate_, kVendor, buffer, 8, &returned), 3);
    EXPECT_EQ(returned, 99u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_TRUE(gate_.Take(std::chrono::milliseconds(0)));  // the gate was freed
    gate_.Free();

    DriverHandle handle = OpenTied(kAdapterA);
    char text[64];
    std::memset(text, 'x', sizeof(text));
    ASSERT_EQ(QueryOid(handle, &gate_, kVendor, text, sizeof(text), &returned), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(text[sizeof(text) - 1], 0);  // unfilled data reads as zeros
    EXPECT_EQ(returned, 4 + std::strlen(text) + 1);
    EXPECT_EQ(QueryOid(handle, &gate_, kVendor, text, 4, &returned), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(log_.Messages().empty());

    const std::u16string device(kAdapterA.begin(), kAdapterA.end());
    std::memset(text, 'x', sizeof(text));
    ASSERT_EQ(QueryOidDirect(device, kVendor, text, 64, &returned), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(returned, std::strlen(text) + 1);
    EXPECT_EQ(QueryOidDirect(device, kVendor, text, 3, &returned), ERROR_INSUFFICIENT_BUFFER);
    for (const char16_t* unbound : {u"\\DEVICE\\{00000000-0000-0000-0000-000000000000}", u"\\DEV"})
        EXPECT_EQ(QueryOidDirect(unbound, kVendor, text, 8, &returned), 3);
}

TEST_F(DriverChannelTest, SetBlocksAreNeverShorterThanEightBytesAndFailuresAreLogged) {
    DriverHandle handle = OpenTied(kAdapterA);
    const std::uint8_t value[36] = {1, 2};
    // Data length, block length; the adapter gets the block less its OID field.
    const std::pair<std::uint32_t, std::uint32_t> rows[] = {{0, 8}, {2, 10}, {4, 8}, {36, 40}};
    for (const auto& [length, block] : rows) {
        SCOPED_TRACE(length);
        EXPECT_EQ(SetBlockLength(length), block);
        ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_SSID, length ? value : nullptr, length,
                         nullptr),
                  0);
        EXPECT_EQ(backend_.Sets().back().data.size(), block - 4);
    }
    EXPECT_EQ(backend_.Sets().back().data[1], 2);
    EXPECT_TRUE(log_.Messages().empty());
    // Failed sets are logged with their error.
    EXPECT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_SSID, nullptr, 6, nullptr), -1);
    EXPECT_EQ(SetOid(nullptr, &gate_, ndis::OID_802_11_SSID, "abcd", 4, nullptr), -1);
    EXPECT_EQ(SetOid(handle, &gate_, kOidRejected, "abcd", 4, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(log_.Messages(),
              (Lines{"App: Error: InformationBuffer is NULL but length is > 0, aborting SetOid",
                     "App: Error: Set Oid failed with error 4294967295",
                     "App: Error: Set Oid failed with error 4294967295",
                     "App: Error: Set Oid failed with error 87"}));
    EXPECT_EQ(backend_.Sets().size(), 5u);  // only the rejected one reached the adapter
}

TEST_F(DriverChannelTest, DeviceNamesGoOutCutAt255CharactersAndComeBackAsAList) {
    EXPECT_EQ(EncodeOpenDeviceName("\xE9Z"), (std::vector<std::uint8_t>{0xE9, 0xFF, 'Z', 0}));
    // A bound name of 255 characters is reached by its 300-character extension.
    const std::string longName = "\\DEVICE\\" + std::string(247, 'L');
    backend_.AddAdapter(longName, "Long");
    EXPECT_TRUE(OpenDevice(OpenDriver(), longName + std::string(45, 'Q')));
    EXPECT_FALSE(OpenDevice(OpenDriver(), "\\DEVICE\\{NOT-BOUND}"));
    EXPECT_FALSE(OpenDevice(nullptr, kAdapterA));

    // The binding list: every name, then a closing zero.
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(BindingNames(list.data(), list.size()),
              (std::vector<std::string>{kAdapterA, kAdapterB, longName}));
    const std::size_t end = (kAdapterA.size() + kAdapterB.size() + longName.size() + 3) * 2;
    EXPECT_EQ(std::vector<std::uint8_t>(list.begin() + end, list.begin() + end + 3),
              (std::vector<std::uint8_t>{0, 0, 0xCC}));  // nothing written past the zero
    // A list that would not fit is refused whole, never written past the buffer.
    std::vector<std::uint8_t> small(end + 1);
    EXPECT_EQ(QueryBindings(small.data(), small.size()), RES_BINDINGS_FAILED);
    std::vector<std::uint8_t> exact(end + 2);
    EXPECT_EQ(QueryBindings(exact.data(), exact.size()), RES_BINDINGS_DONE);
}

TEST_F(DriverChannelTest, FramesGoOutWrittenAndComeBackOneReadEach) {
    DriverHandle handle = OpenTied(kAdapterA);
    std::uint8_t first[2400];
    ReadRequest r1;
    r1.offset = 5;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> done;  // error, bytes
    auto record = [&](std::uint32_t error, std::uint32_t bytes, ReadRequest&) {
        done.emplace_back(error, bytes);
    };
    ASSERT_EQ(ReadPacket(handle, &gate_, first, sizeof(first), r1, record), 0);
    EXPECT_EQ(r1.offset, 0u);
    std::vector<std::uint8_t> frame(98, 0x5A);
    std::uint32_t length = static_cast<std::uint32_t>(frame.size());
    ASSERT_EQ(WritePacket(handle, &gate_, frame.data(), length), RES_PACKET_WRITTEN);
    EXPECT_EQ(length, 98u);
    while (done.empty()) ASSERT_TRUE(driverio::WaitAlertable(5000));
    EXPECT_EQ(done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0u, 98u}}));
    EXPECT_EQ(first[97], 0x5A);
    EXPECT_TRUE(log_.Messages().empty());
    // Without a handle, or with one tied to no device.
    EXPECT_EQ(ReadPacket(nullptr, &gate_, first, 16, r1, nullptr), -1);
    EXPECT_EQ(WritePacket(nullptr, &gate_, first, length), -1);
    EXPECT_EQ(WritePacket(OpenDriver(), &gate_, first, length), RES_PACKET_WRITE_FAILED);
    EXPECT_EQ(log_.Messages(), (Lines{"App: Error: Write packet failed with error 6",
                                      "App: Error: Write packet failed with error 1167"}));
}

// The bound, from both sides: a gate freed well within it is taken without
// a word; one still held when it ends is given up on, and the query goes ahead.
TEST_F(DriverChannelTest, TheGateIsWaitedForUpToItsBoundThenGivenUp) {
    DriverHandle handle = OpenTied(kAdapterA);
    char text[64] = {};
    const auto query = [&] { return QueryOid(handle, &gate_, kVendor, text, 64, nullptr); };
    std::atomic<bool> taken = false;
    std::thread holder([&] {
        ASSERT_TRUE(gate_.Take());
        taken = true;
        std::this_thread::sleep_for(kDriverGateBound / 10);
        gate_.Free();
    });
    while (!taken) std::this_thread::yield();
    EXPECT_EQ(query(), 0);
    holder.join();
    EXPECT_TRUE(log_.Messages().empty());

    std::thread([&] { ASSERT_TRUE(gate_.Take()); }).join();  // never freed
    EXPECT_EQ(query(), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(log_.Messages(), Lines{kGaveUp});
    gate_.Free();
}

// While the driver works on a query, the querying thread holds the gate.
TEST_F(DriverChannelTest, TheGateSerialisesThreadsSharingOneHandle) {
    DriverHandle handle = OpenTied(kAdapterA);
    std::atomic<int> unguarded{0}, failures{0};
    backend_.SetQueryProbe([&] {
        if (gate_.Take(std::chrono::milliseconds(0))) {
            ++unguarded;
            gate_.Free();
        }
    });
    auto worker = [&] {
        char text[64];
        for (int i = 0; i < 50; ++i) {
            if (QueryOid(handle, &gate_, kVendor, text, 64, nullptr)) {
                ++failures;
            }
        }
    };
    std::thread a(worker), b(worker), c(worker);
    for (std::thread* t : {&a, &b, &c}) t->join();
    backend_.SetQueryProbe(nullptr);
    EXPECT_EQ(unguarded.load(), 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(DriverChannelTest, AdapterChannelOpensOnceTiesTheDeviceAndCloses) {
    CAdapterChannel channel(kAdapterA);
    ASSERT_EQ(channel.Open(), 0);
    ASSERT_NE(channel.Gate(), nullptr);
    EXPECT_EQ(channel.Open(), -1);
    char text[64] = {};
    const auto query = [&](CAdapterChannel& on, std::uint32_t oid) {
        std::memset(text, 0, sizeof(text));
        return on.QueryAdapterOid(log_.Settings(), oid, text, sizeof(text), nullptr);
    };
    EXPECT_EQ(query(channel, kVendor), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    channel.CloseHandle();
    EXPECT_EQ(query(channel, kVendor), 3);
    // A failed device open keeps the handle, without a gate; requests still
    // go out, tied to nothing, after the failed gate wait.
    const std::string unbound = "\\DEVICE\\{00000000-0000-0000-0000-00000000000F}";
    CAdapterChannel untied(unbound);
    EXPECT_EQ(untied.Open(), -1);
    EXPECT_TRUE(untied.Handle());
    EXPECT_EQ(untied.Gate(), nullptr);
    EXPECT_EQ(query(untied, ndis::OID_GEN_PHYSICAL_MEDIUM), 1167);
    EXPECT_EQ(log_.Messages(),
              (Lines{"App: Info: Opening driver handle on " + kAdapterA,
                     "App: Info: Opening driver handle on " + kAdapterA,
                     "App: Info: Driver handle already open!",
                     "App: Info: Closing driver handle on " + kAdapterA,
                     "App: Info: Opening driver handle on " + unbound,
                     "App: Info: Could not connect to the device " + unbound, kGaveUp}));
    log_.Settings().UseGlobalStatsForQueries = 1;  // the direct path needs no channel
    EXPECT_EQ(query(channel, kVendor), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");

    // Without a daemon there is no driver.
    server_->Stop();
    thread_.join();
    CAdapterChannel alone(kAdapterA);
    EXPECT_EQ(alone.Open(), -1);
    EXPECT_FALSE(alone.Handle());
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Could not connect to the driver, 2"));
}

// A card already connected: one query, no log line.
TEST_F(DriverChannelTest, AlreadyConnectedCardNeedsOneQueryAndNoLogLine) {
    backend_.SetOidValue(kAdapterA, ndis::OID_GEN_PHYSICAL_MEDIUM, {1, 0, 0, 0});
    backend_.SetOidValue(kAdapterA, ndis::OID_GEN_MEDIA_CONNECT_STATUS, {0, 0, 0, 0});
    CAdapter adapter(kAdapterA, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    const std::size_t lines = log_.Messages().size();
    const std::size_t queries = backend_.Queries();
    EXPECT_EQ(adapter.WaitForMediaConnect(10), RES_MEDIA_CONNECTED);
    EXPECT_EQ(backend_.Queries() - queries, 1u);
    EXPECT_EQ(log_.Messages().size(), lines);
}

// A daemon answering binding queries of one connection with `reply`.
void ServeBindingReply(int listener, const std::vector<std::uint8_t>& reply) {
    const int fd = ::accept(listener, nullptr, nullptr);
    driverio::FrameBuffer frames;
    std::vector<std::uint8_t> body;
    std::uint8_t chunk[4096];
    for (ssize_t n; fd >= 0 && (n = ::recv(fd, chunk, sizeof(chunk), 0)) > 0;) {
        frames.Append({chunk, static_cast<std::size_t>(n)});
        driverio::Message request, answer;
        while (frames.Take(body) == driverio::FrameBuffer::Next::Body &&
               driverio::DecodeMessage(body, request) == driverio::DecodeResult::Ok) {
            answer.id = request.id;
            const bool binding = request.code == ndis::IOCTL_TARVIK_QUERY_BINDING;
            answer.data = binding ? reply : std::vector<std::uint8_t>{};
            answer.count = static_cast<std::uint32_t>(answer.data.size());
            const auto bytes = driverio::EncodeMessage(answer);
            ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
    }
    if (fd >= 0) ::close(fd);
}

TEST(DriverChannelHostile, ABindingReplyNamingBytesPastItsEndIsRefused) {
    TempFolder logFolder;
    LogCapture log(logFolder.Path());
    // Name offset 20, length 2000: past the 1024-byte reply.
    std::vector<std::uint8_t> reply(kBindingReplySize, 'A');
    const std::uint32_t header[5] = {0, 20, 2000, 0, 0};
    std::memcpy(reply.data(), header, sizeof(header));
    const std::string path = (logFolder.Path() / "driver.sock").string();
    const int listener = BindSocketAt(path);
    ASSERT_EQ(::listen(listener, 4), 0);
    std::thread daemon(ServeBindingReply, listener, reply);
    setenv("TARVIK_DRIVER_SOCKET", path.c_str(), 1);
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    EXPECT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_FAILED);
    EXPECT_EQ(list[0], 0xCC);
    EXPECT_EQ(log.Messages(),
              Lines{"App: Warn: Binding 0 names bytes past the end of the driver's reply"});
    unsetenv("TARVIK_DRIVER_SOCKET");
    ::shutdown(listener, SHUT_RDWR);
    daemon.join();
    ::close(listener);
}

// Command lines the daemon refuses: exit status and what it says.
TEST(DaemonStartup, BadArgumentsAreRefusedClearly) {
    const struct {
        const char* args;
        int status;
        const char* says;
    } rows[] = {{"--backend nl80211", 1, "unknown backend \"nl80211\" (available: sim)"},
                {"--socket", 2, "usage: tarvik-driverd"}};
    for (const auto& row : rows) {
        const ToolRun run = RunCommand(DaemonPath() + " " + row.args);
        EXPECT_EQ(run.status, row.status) << row.args;
        EXPECT_NE(run.out.find(row.says), std::string::npos) << row.args << "\n" << run.out;
    }
}

}  // namespace
}  // namespace tarvik::testing
