#include "adapter/DriverChannel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "adapter/AdapterChannel.h"
#include "core/ApplicationOptions.h"

#include "ndis/Oids.h"
#include "platform/driverio/ApcQueue.h"
#include "platform/driverio/DriverProtocol.h"
#include "tests/core/LogCapture.h"
#include "tests/core/TempFolder.h"
#include "tests/driver/TestBackend.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;
const std::string kGaveUp = "App: Warn: Giving up on waiting for driver to be free inside QueryOid";

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

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

TEST_F(DriverChannelTest, QueryCopiesTheDataAndReportsTheWholeBlock) {
    // Without a channel: 3, and neither buffer nor count is touched.
    std::uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    std::uint32_t returned = 99;
    EXPECT_EQ(QueryOid(nullptr, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, buffer, 8, &returned), 3);
    EXPECT_EQ(returned, 99u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_TRUE(gate_.Take(std::chrono::milliseconds(0)));  // the gate was freed
    gate_.Free();

    DriverHandle handle = OpenTied(kAdapterA);
    char text[64];
    std::memset(text, 'x', sizeof(text));
    ASSERT_EQ(
        QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text), &returned),
        0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(text[sizeof(text) - 1], 0);  // unfilled data reads as zeros
    EXPECT_EQ(returned, 4 + std::strlen(text) + 1);
    EXPECT_EQ(QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 4, &returned),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(log_.Messages().empty());
    // No gate at all: the failed wait is reported, the query goes ahead.
    EXPECT_EQ(QueryOid(handle, nullptr, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 64, nullptr), 0);
    EXPECT_EQ(log_.Messages(), Lines{kGaveUp});
}

TEST_F(DriverChannelTest, SetBlocksAreNeverShorterThanEightBytes) {
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
}

TEST_F(DriverChannelTest, FailedSetsAreLoggedWithTheirError) {
    DriverHandle handle = OpenTied(kAdapterA);
    EXPECT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_SSID, nullptr, 6, nullptr), -1);
    EXPECT_EQ(SetOid(nullptr, &gate_, ndis::OID_802_11_SSID, "abcd", 4, nullptr), -1);
    EXPECT_EQ(SetOid(handle, &gate_, kOidRejected, "abcd", 4, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(log_.Messages(),
              (Lines{"App: Error: InformationBuffer is NULL but length is > 0, aborting SetOid",
                     "App: Error: Set Oid failed with error 4294967295",
                     "App: Error: Set Oid failed with error 4294967295",
                     "App: Error: Set Oid failed with error 87"}));
    EXPECT_EQ(backend_.Sets().size(), 1u);  // only the rejected one reached the adapter
}

TEST_F(DriverChannelTest, DeviceNamesAreSignExtendedAndCutAt255Characters) {
    EXPECT_EQ(EncodeOpenDeviceName(std::string(300, 'a')).size(), 510u);
    EXPECT_EQ(EncodeOpenDeviceName("\xE9Z"), (std::vector<std::uint8_t>{0xE9, 0xFF, 'Z', 0}));
    // A bound name of 255 characters is reached by its 300-character extension.
    const std::string longName = "\\DEVICE\\" + std::string(247, 'L');
    backend_.AddAdapter(longName, "Long");
    EXPECT_TRUE(OpenDevice(OpenDriver(), longName + std::string(45, 'Q')));
    EXPECT_FALSE(OpenDevice(OpenDriver(), "\\DEVICE\\{NOT-BOUND}"));
    EXPECT_FALSE(OpenDevice(nullptr, kAdapterA));
}

TEST_F(DriverChannelTest, DirectQueriesNeedNoDriverHandle) {
    std::u16string device(kAdapterA.begin(), kAdapterA.end());
    char text[64] = {};
    std::uint32_t returned = 0;
    ASSERT_EQ(
        QueryOidDirect(device, ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text), &returned), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(returned, std::strlen(text) + 1);
    EXPECT_EQ(QueryOidDirect(device, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 3, &returned),
              ERROR_INSUFFICIENT_BUFFER);
    for (const char16_t* unbound :
         {u"\\DEVICE\\{00000000-0000-0000-0000-000000000000}", u"\\DEV"}) {
        EXPECT_EQ(QueryOidDirect(unbound, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 8, &returned), 3);
    }
}

TEST_F(DriverChannelTest, BindingListHoldsEveryNameThenAClosingZero) {
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(BindingNames(list.data(), list.size()),
              (std::vector<std::string>{kAdapterA, kAdapterB}));
    const std::size_t end = (kAdapterA.size() + 1 + kAdapterB.size() + 1) * 2;
    EXPECT_EQ(std::vector<std::uint8_t>(list.begin() + end, list.begin() + end + 3),
              (std::vector<std::uint8_t>{0, 0, 0xCC}));  // nothing written past the zero
    // A list that would not fit is refused whole, never written past the buffer.
    std::vector<std::uint8_t> small(end + 1);
    EXPECT_EQ(QueryBindings(small.data(), small.size()), RES_BINDINGS_FAILED);
    std::vector<std::uint8_t> exact(end + 2);
    EXPECT_EQ(QueryBindings(exact.data(), exact.size()), RES_BINDINGS_DONE);
}

TEST_F(DriverChannelTest, WithoutADaemonThereIsNoDriver) {
    server_->Stop();
    thread_.join();
    EXPECT_FALSE(OpenDriver());
    EXPECT_EQ(LastDriverError(), 2u);
    std::vector<std::uint8_t> list(kBindingListSize);
    EXPECT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_FAILED);
    CAdapterChannel channel(kAdapterA);
    EXPECT_EQ(channel.Open(), -1);
    EXPECT_FALSE(channel.Handle());
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Could not connect to the driver, 2"));
}

TEST_F(DriverChannelTest, FramesGoOutWrittenAndComeBackOneReadEach) {
    DriverHandle handle = OpenTied(kAdapterA);
    std::uint8_t first[2400], second[2400];
    ReadRequest r1, r2;
    r1.offset = 5;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> done;  // error, bytes
    auto record = [&](std::uint32_t error, std::uint32_t bytes, ReadRequest&) {
        done.emplace_back(error, bytes);
    };
    ASSERT_EQ(ReadPacket(handle, &gate_, first, sizeof(first), r1, record), 0);
    EXPECT_EQ(r1.offset, 0u);
    ASSERT_EQ(ReadPacket(handle, &gate_, second, sizeof(second), r2, record), 0);
    std::vector<std::uint8_t> frame(98, 0x5A);
    std::uint32_t length = static_cast<std::uint32_t>(frame.size());
    ASSERT_EQ(WritePacket(handle, &gate_, frame.data(), length), RES_PACKET_WRITTEN);
    EXPECT_EQ(length, 98u);
    while (done.empty()) ASSERT_TRUE(driverio::WaitAlertable(5000));
    EXPECT_EQ(done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0u, 98u}}));
    EXPECT_EQ(first[97], 0x5A);
    ASSERT_EQ(handle->CancelIo(), 0u);
    ASSERT_TRUE(driverio::WaitAlertable(5000));
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[1].first, static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(DriverChannelTest, ReadsAndWritesWithoutAHandle) {
    std::uint8_t buffer[16];
    ReadRequest request;
    EXPECT_EQ(ReadPacket(nullptr, &gate_, buffer, sizeof(buffer), request, nullptr), -1);
    std::uint32_t length = 16;
    EXPECT_EQ(WritePacket(nullptr, &gate_, buffer, length), -1);
    EXPECT_EQ(WritePacket(OpenDriver(), &gate_, buffer, length), RES_PACKET_WRITE_FAILED);
    EXPECT_EQ(log_.Messages(), (Lines{"App: Error: Write packet failed with error 6",
                                      "App: Error: Write packet failed with error 1167"}));
}

// The bound, from both sides: a gate freed well within it is taken without
// a word; one still held when it ends is given up on, and the query goes ahead.
TEST_F(DriverChannelTest, TheGateIsWaitedForUpToItsBoundThenGivenUp) {
    DriverHandle handle = OpenTied(kAdapterA);
    std::atomic<bool> taken = false;
    auto holdThenFree = [&](bool freeAfterAWhile) {
        return std::thread([&, freeAfterAWhile] {
            ASSERT_TRUE(gate_.Take());
            taken = true;
            if (!freeAfterAWhile) return;
            std::this_thread::sleep_for(kDriverGateBound / 10);
            gate_.Free();
        });
    };
    char text[64] = {};
    std::thread holder = holdThenFree(true);
    while (!taken) std::this_thread::yield();
    EXPECT_EQ(QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 64, nullptr), 0);
    holder.join();
    EXPECT_TRUE(log_.Messages().empty());

    taken = false;
    holder = holdThenFree(false);  // never freed
    holder.join();
    EXPECT_EQ(QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 64, nullptr), 0);
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
            if (QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 64, nullptr)) {
                ++failures;
            }
        }
    };
    std::thread a(worker), b(worker), c(worker);
    a.join();
    b.join();
    c.join();
    backend_.SetQueryProbe(nullptr);
    EXPECT_EQ(unguarded.load(), 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(DriverChannelTest, AdapterChannelOpensOnceTiesTheDeviceAndCloses) {
    CAdapterChannel channel(kAdapterA);
    EXPECT_EQ(channel.Gate(), nullptr);
    ASSERT_EQ(channel.Open(), 0);
    ASSERT_NE(channel.Gate(), nullptr);
    EXPECT_EQ(channel.Open(), -1);
    char text[64] = {};
    const auto query = [&](CAdapterChannel& on, std::uint32_t oid) {
        std::memset(text, 0, sizeof(text));
        return on.QueryAdapterOid(log_.Settings(), oid, text, sizeof(text), nullptr);
    };
    EXPECT_EQ(query(channel, ndis::OID_GEN_VENDOR_DESCRIPTION), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    channel.CloseHandle();
    EXPECT_FALSE(channel.Handle());
    EXPECT_EQ(query(channel, ndis::OID_GEN_VENDOR_DESCRIPTION), 3);
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
    EXPECT_EQ(query(channel, ndis::OID_GEN_VENDOR_DESCRIPTION), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
}

// A daemon that answers every request of one connection, binding queries
// with `reply`: enough to hand the channel a reply no honest driver would give.
class ScriptedBindingDaemon {
  public:
    explicit ScriptedBindingDaemon(std::vector<std::uint8_t> reply) : reply_(std::move(reply)) {
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(listen_, 4);
        thread_ = std::thread([this] { Serve(::accept(listen_, nullptr, nullptr)); });
        setenv("TARVIK_DRIVER_SOCKET", path_.c_str(), 1);
    }
    ~ScriptedBindingDaemon() {
        unsetenv("TARVIK_DRIVER_SOCKET");
        ::shutdown(listen_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
    }

  private:
    void Serve(int fd) {
        driverio::FrameBuffer frames;
        std::vector<std::uint8_t> body;
        std::uint8_t chunk[4096];
        for (ssize_t n; fd >= 0 && (n = ::recv(fd, chunk, sizeof(chunk), 0)) > 0;) {
            frames.Append({chunk, static_cast<std::size_t>(n)});
            while (frames.Take(body) == driverio::FrameBuffer::Next::Body) {
                driverio::Message request, reply;
                if (driverio::DecodeMessage(body, request) != driverio::DecodeResult::Ok) break;
                reply.id = request.id;
                if (request.code == ndis::IOCTL_TARVIK_QUERY_BINDING) {
                    reply.data = reply_;
                    reply.count = static_cast<std::uint32_t>(reply_.size());
                }
                const auto bytes = driverio::EncodeMessage(reply);
                ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            }
        }
        if (fd >= 0) ::close(fd);
    }

    std::vector<std::uint8_t> reply_;
    TempFolder folder_;
    std::string path_ = (folder_.Path() / "driver.sock").string();
    int listen_ = -1;
    std::thread thread_;
};

TEST(DriverChannelHostile, ABindingReplyNamingBytesPastItsEndIsRefused) {
    TempFolder logFolder;
    LogCapture log(logFolder.Path());
    // Name offset 20, length 2000: past the 1024-byte reply.
    std::vector<std::uint8_t> reply(kBindingReplySize, 'A');
    const std::uint32_t header[5] = {0, 20, 2000, 0, 0};
    std::memcpy(reply.data(), header, sizeof(header));
    ScriptedBindingDaemon daemon(reply);
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    EXPECT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_FAILED);
    EXPECT_EQ(list[0], 0xCC);
    EXPECT_EQ(log.Messages(),
              Lines{"App: Warn: Binding 0 names bytes past the end of the driver's reply"});
}

}  // namespace
}  // namespace tarvik::testing
