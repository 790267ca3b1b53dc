#include "adapter/DriverChannel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "ndis/Oids.h"
#include "platform/driverio/ApcQueue.h"
#include "platform/driverio/DriverProtocol.h"
#include "tests/core/LogCapture.h"
#include "tests/core/TempFolder.h"
#include "tests/driver/TestBackend.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;

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

TEST_F(DriverChannelTest, QueryWithoutAChannelReturns3AndTouchesNothing) {
    std::uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    std::uint32_t returned = 99;
    EXPECT_EQ(QueryOid(nullptr, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, buffer, 8, &returned), 3);
    EXPECT_EQ(returned, 99u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_TRUE(log_.Messages().empty());
    // No gate either: the failed wait is reported, then the same answer.
    EXPECT_EQ(QueryOid(nullptr, nullptr, ndis::OID_GEN_VENDOR_DESCRIPTION, buffer, 8, &returned),
              3);
    EXPECT_EQ(log_.Messages(),
              Lines{"App: Warn: Giving up on waiting for driver to be free inside QueryOid"});
    EXPECT_TRUE(gate_.Take(std::chrono::milliseconds(0)));  // the gate was freed
}

TEST_F(DriverChannelTest, QueryCopiesTheDataAndReportsTheWholeBlock) {
    DriverHandle handle = OpenTied(kAdapterA);
    char text[64];
    std::memset(text, 'x', sizeof(text));
    std::uint32_t returned = 0;
    ASSERT_EQ(
        QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text), &returned),
        0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(text[sizeof(text) - 1], 0);  // unfilled data reads as zeros
    EXPECT_EQ(returned, 4 + std::strlen(text) + 1);
    EXPECT_EQ(QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, 4, &returned),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(DriverChannelTest, SetBlocksAreNeverShorterThanEightBytes) {
    EXPECT_EQ(SetBlockLength(0), 8u);
    EXPECT_EQ(SetBlockLength(2), 10u);
    EXPECT_EQ(SetBlockLength(4), 8u);
    EXPECT_EQ(SetBlockLength(36), 40u);
    DriverHandle handle = OpenTied(kAdapterA);
    const std::uint8_t value[36] = {1, 2};
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_BSSID_LIST_SCAN, nullptr, 0, nullptr), 0);
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_INFRASTRUCTURE_MODE, value, 2, nullptr), 0);
    ASSERT_EQ(SetOid(handle, &gate_, ndis::OID_802_11_SSID, value, 36, nullptr), 0);
    const auto sets = backend_.Sets();
    ASSERT_EQ(sets.size(), 3u);
    // The adapter gets the block less its OID field: blocks of 8, 10 and 40 bytes.
    EXPECT_EQ(sets[0].data.size(), 4u);
    EXPECT_EQ(sets[1].data.size(), 6u);
    EXPECT_EQ(sets[1].data[0], 1);
    EXPECT_EQ(sets[2].data.size(), 36u);
    EXPECT_EQ(sets[2].oid, ndis::OID_802_11_SSID);
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
    EXPECT_TRUE(backend_.Sets().size() == 1);  // only the rejected one reached the adapter
}

TEST_F(DriverChannelTest, DeviceNamesAreSignExtendedAndCutAt255Characters) {
    const auto bytes = EncodeOpenDeviceName(std::string(300, 'a'));
    EXPECT_EQ(bytes.size(), 510u);
    EXPECT_EQ(EncodeOpenDeviceName("\xE9Z"), (std::vector<std::uint8_t>{0xE9, 0xFF, 'Z', 0}));
    // A bound name of 255 characters is reached by its 300-character extension.
    const std::string longName = "\\DEVICE\\" + std::string(247, 'L');
    backend_.AddAdapter(longName, "Long");
    DriverHandle handle = OpenDriver();
    ASSERT_TRUE(handle);
    EXPECT_TRUE(OpenDevice(handle, longName + std::string(45, 'Q')));
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
    EXPECT_EQ(QueryOidDirect(u"\\DEVICE\\{00000000-0000-0000-0000-000000000000}",
                             ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text), &returned),
              3);
    EXPECT_EQ(QueryOidDirect(u"\\DEV", ndis::OID_GEN_VENDOR_DESCRIPTION, text, 8, &returned), 3);
}

TEST_F(DriverChannelTest, BindingListHoldsEveryNameThenAClosingZero) {
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(BindingNames(list.data(), list.size()),
              (std::vector<std::string>{kAdapterA, kAdapterB}));
    const std::size_t end = (kAdapterA.size() + 1 + kAdapterB.size() + 1) * 2;
    EXPECT_EQ(list[end], 0);
    EXPECT_EQ(list[end + 1], 0);
    EXPECT_EQ(list[end + 2], 0xCC);  // nothing written past the closing zero

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
}

class NoBindings : public ServedBackend {
  protected:
    void AddAdapters() override {}
};

TEST_F(NoBindings, BindingListHoldsOnlyTheClosingZero) {
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    ASSERT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_DONE);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 0);
    EXPECT_EQ(list[2], 0xCC);
    EXPECT_TRUE(BindingNames(list.data(), list.size()).empty());
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
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], std::make_pair(0u, 98u));
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
    DriverHandle untied = OpenDriver();
    EXPECT_EQ(WritePacket(untied, &gate_, buffer, length), RES_PACKET_WRITE_FAILED);
    EXPECT_EQ(log_.Messages(), (Lines{"App: Error: Write packet failed with error 6",
                                      "App: Error: Write packet failed with error 1167"}));
}

TEST_F(DriverChannelTest, AStuckGateDelaysTheNextQueryWhichStillGoesAhead) {
    DriverHandle handle = OpenTied(kAdapterA);
    ASSERT_TRUE(gate_.Take());  // a request that never finishes
    char text[64] = {};
    EXPECT_EQ(
        QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text), nullptr), 0);
    EXPECT_STREQ(text, "Simulated 802.11g Adapter");
    EXPECT_EQ(log_.Messages(),
              Lines{"App: Warn: Giving up on waiting for driver to be free inside QueryOid"});
    gate_.Free();
}

TEST_F(DriverChannelTest, TheGateSerialisesThreadsSharingOneHandle) {
    DriverHandle handle = OpenTied(kAdapterA);
    std::atomic<int> inside{0}, overlaps{0}, failures{0};
    auto worker = [&] {
        for (int i = 0; i < 100; ++i) {
            ASSERT_TRUE(gate_.Take());
            if (inside.fetch_add(1) != 0) ++overlaps;
            inside.fetch_sub(1);
            gate_.Free();
            char text[64];
            if (QueryOid(handle, &gate_, ndis::OID_GEN_VENDOR_DESCRIPTION, text, sizeof(text),
                         nullptr) != 0) {
                ++failures;
            }
        }
    };
    std::thread a(worker), b(worker), c(worker);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(log_.Messages().empty());
}

// A daemon that answers every binding query with `reply`: enough of the
// protocol to hand the channel a reply no honest driver would give.
class ScriptedBindingDaemon {
  public:
    explicit ScriptedBindingDaemon(std::vector<std::uint8_t> reply) : reply_(std::move(reply)) {
        char pattern[] = "/tmp/tarvik-scripted-XXXXXX";
        folder_ = mkdtemp(pattern);
        path_ = folder_ + "/driver.sock";
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(listen_, 4);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedBindingDaemon() {
        ::shutdown(listen_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
        std::filesystem::remove_all(folder_);
    }
    const std::string& path() const { return path_; }

  private:
    void Serve() {
        const int fd = ::accept(listen_, nullptr, nullptr);
        if (fd < 0) return;
        driverio::FrameBuffer frames;
        std::vector<std::uint8_t> body;
        std::uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
            if (n <= 0) break;
            frames.Append({chunk, static_cast<std::size_t>(n)});
            while (frames.Take(body) == driverio::FrameBuffer::Next::Body) {
                driverio::Message request, reply;
                if (driverio::DecodeMessage(body, request) != driverio::DecodeResult::Ok) break;
                reply.kind = driverio::MessageKind::Reply;
                reply.id = request.id;
                if (request.kind == driverio::MessageKind::Control &&
                    request.code == ndis::IOCTL_TARVIK_QUERY_BINDING) {
                    reply.data = reply_;
                    reply.count = static_cast<std::uint32_t>(reply_.size());
                }
                const auto bytes = driverio::EncodeMessage(reply);
                ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            }
        }
        ::close(fd);
    }

    std::vector<std::uint8_t> reply_;
    std::string folder_;
    std::string path_;
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
    setenv("TARVIK_DRIVER_SOCKET", daemon.path().c_str(), 1);
    std::vector<std::uint8_t> list(kBindingListSize, 0xCC);
    EXPECT_EQ(QueryBindings(list.data(), list.size()), RES_BINDINGS_FAILED);
    unsetenv("TARVIK_DRIVER_SOCKET");
    EXPECT_EQ(list[0], 0xCC);
    EXPECT_EQ(log.Messages(),
              Lines{"App: Warn: Binding 0 names bytes past the end of the driver's reply"});
}

}  // namespace
}  // namespace tarvik::testing
