// Who may serve and use the driver socket, and what one client may cost the
// daemon. Peers of another user are children that drop to "nobody", which
// needs root (as in CI); the trust rule itself is checked with made-up
// credentials everywhere.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <thread>

#include "driver/DeviceCodes.h"
#include "platform/PeerCredentials.h"
#include "tests/driver/ServerTestKit.h"
#include "tests/platform/ChildProcess.h"

namespace tarvik::testing {
namespace {

using namespace tarvik::driver;
using driverio::CDeviceFile;
using driverio::Message;

constexpr uid_t kNobody = 65534;

std::string MakeTempFolder() {
    char pattern[] = "/tmp/tarvik-safety-test-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "";
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Runs `body` in a child that has dropped to "nobody", and `meanwhile` here;
// true when the child exits 0.
bool RunAsNobody(const std::function<int()>& body, const std::function<void()>& meanwhile = {}) {
    const pid_t child = test::StartChild(
        [&] { return ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 ? body() : 2; });
    if (meanwhile) meanwhile();
    const int status = test::WaitForChild(child);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#define REQUIRE_ROOT()                                            \
    if (::geteuid() != 0)                                         \
    GTEST_SKIP() << "needs root for a peer of another user; the " \
                    "trust rule is checked by PeerTrust.Rule"

TEST(PeerTrust, Rule) {
    struct Row {
        const char* name;
        uid_t peer, self;
        bool rootToo, trusted;
    } rows[] = {
        {"same user", 1000, 1000, true, true},      {"root for a user", 0, 1000, true, true},
        {"root not wanted", 0, 1000, false, false}, {"another user", kNobody, 1000, true, false},
        {"user for root", 1000, 0, true, false},    {"root for root", 0, 0, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsTrustedPeer({1, row.peer, row.peer}, row.self, row.rootToo), row.trusted);
    }
}

TEST(DriverSocketFolder, UnsafeFoldersAreRefusedAndANewOneIsPrivate) {
    const std::string base = MakeTempFolder();
    ASSERT_FALSE(base.empty());
    TestBackend backend;
    std::string error;
    for (const mode_t mode : {0770, 0703}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(base.c_str(), mode), 0);
        DriverServer server(backend);
        EXPECT_FALSE(server.Listen(base + "/driver.sock", error));
        EXPECT_NE(error.find("writable by others"), std::string::npos) << error;
    }
    ASSERT_EQ(::chmod(base.c_str(), 0700), 0);
    const std::string link = base + "/link";
    ASSERT_EQ(::symlink(base.c_str(), link.c_str()), 0);
    DriverServer linked(backend);
    EXPECT_FALSE(linked.Listen(link + "/driver.sock", error));
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
    // Another user's folder, told by a made-up owner.
    EXPECT_NE(CheckPrivateFolder(base, ::geteuid() + 1).find("belongs to user"), std::string::npos);
    // A folder the daemon makes is 0700 and its socket 0600, whatever the umask.
    const mode_t umaskWas = ::umask(0);
    {
        DriverServer server(backend);
        const bool listening = server.Listen(base + "/new/driver.sock", error);
        ::umask(umaskWas);
        ASSERT_TRUE(listening) << error;
        EXPECT_EQ(ModeOf(base + "/new"), 0700u);
        EXPECT_EQ(ModeOf(base + "/new/driver.sock"), 0600u);
    }
    std::filesystem::remove_all(base);
}

TEST(DriverSocketFolder, TheClientRefusesADriverOfAnotherUser) {
    REQUIRE_ROOT();
    const std::string folder = MakeTempFolder();
    ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    const std::string path = folder + "/driver.sock";
    test::Pipe ready;
    std::uint32_t error = 0;
    // A fake driver that says yes to everything, as another user could run.
    EXPECT_TRUE(RunAsNobody(
        [&] {
            const int listener = BindSocketAt(path);
            if (listener < 0 || ::listen(listener, 1) != 0) return 3;
            ready.Send('r');
            RawClient victim(::accept(listener, nullptr, nullptr));
            Message open, yes;
            if (victim.Receive(open)) {
                yes.id = open.id;
                victim.Send(yes);
            }
            return 0;
        },
        [&] {
            ASSERT_EQ(ready.Receive(), 'r');
            EXPECT_FALSE(CDeviceFile::OpenAt(path, driverio::DeviceTarget::Driver, "", error));
        }));
    EXPECT_EQ(error, 5u);  // ERROR_ACCESS_DENIED
    std::filesystem::remove_all(folder);
}

using ServerSafety = ServedDriver;

TEST_F(ServerSafety, ThePeerOfAnotherUserIsHungUpOn) {
    REQUIRE_ROOT();
    // As if the socket had been made under umask 000.
    ASSERT_EQ(::chmod(folder_.c_str(), 0711), 0);
    ASSERT_EQ(::chmod(socketPath_.c_str(), 0666), 0);
    EXPECT_TRUE(RunAsNobody([&] {
        RawClient intruder(socketPath_);
        Message reply;
        return !intruder.connected() ? 3 : intruder.SendOpen(1) && intruder.Receive(reply);
    }));
    auto file = OpenDriver();
    EXPECT_TRUE(file && Works(*file));  // its own user still gets in
}

TEST_F(ServerSafety, StoppingLeavesASocketThatReplacedItsOwn) {
    ASSERT_EQ(::unlink(socketPath_.c_str()), 0);
    const int other = BindSocketAt(socketPath_);
    ASSERT_GE(other, 0);
    server_->Stop();
    thread_.join();
    EXPECT_TRUE(std::filesystem::is_socket(socketPath_));
    ::close(other);
}

class LimitedServer : public ServerSafety {
  protected:
    LimitedServer() {
        limits_.maxClients = 3;
        limits_.maxClientBacklog = 3u << 20;
        limits_.maxTotalQueued = 4u << 20;
        limits_.idleTimeout = std::chrono::milliseconds(500);
    }
};

TEST_F(LimitedServer, ConnectionsTheDaemonWaitsOnAreClosedButOpenHandlesStay) {
    auto open = OpenDriver();
    RawClient silent(socketPath_);  // never opens a handle
    EXPECT_TRUE(silent.HungUpByDaemon());
    RawClient halfway(socketPath_);
    Message reply;
    ASSERT_TRUE(halfway.SendOpen(1) && halfway.Receive(reply));
    halfway.SendRaw({200, 0, 0});  // half a length prefix, then nothing
    EXPECT_TRUE(halfway.HungUpByDaemon());
    // Quiet longer than the time-out, with nothing owed: still served.
    EXPECT_TRUE(open && Works(*open));
}

TEST_F(LimitedServer, ClientsThatSendLargeRequestsButNeverReadAreBoundedAndDropped) {
    constexpr int kClients = 3;
    const auto block = OidBlock(0x0D010117, driverio::kMaxCapacity - 128, 0x5A);
    std::atomic<int> dropped{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&] {
            RawClient greedy(socketPath_);
            bool sending = greedy.SendOpen(1) &&
                           greedy.Send(ControlRequest(2, kIoctlOpenDevice, Utf16(kAdapterA), 0));
            for (std::uint32_t id = 3; sending && id < 12; ++id) {
                sending = greedy.Send(ControlRequest(id, kIoctlSetOid, block,
                                                     static_cast<std::uint32_t>(block.size())));
            }
            dropped += greedy.HungUpByDaemon() ? 1 : 0;
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(dropped.load(), kClients);
    EXPECT_LE(server_->PeakQueued(), limits_.maxTotalQueued + driverio::kMaxMessageSize + 65536);
    auto file = OpenDriver();
    EXPECT_TRUE(file && Works(*file));
}

TEST_F(LimitedServer, APeerThatHungUpMakesRoomAtOnce) {
    auto holder = OpenDriver();
    auto leaving = OpenDriver();
    ASSERT_EQ(Ioctl(*holder, kIoctlOpenDevice, Utf16(kAdapterA)), 0u);
    // While the daemon is busy, one client leaves and two knock: with the
    // leaver gone both fit under the limit of three.
    std::thread busy([&] { Ioctl(*holder, kIoctlSetOid, OidBlock(kOidTestHold, 4)); });
    backend_.WaitUntilHeld();
    leaving->Close();
    RawClient first(socketPath_), second(socketPath_);
    backend_.Release();
    busy.join();
    for (RawClient* knocking : {&first, &second}) {
        Message reply;
        EXPECT_TRUE(knocking->SendOpen(7) && knocking->Receive(reply));
        EXPECT_EQ(reply.status, 0u);
    }
}

}  // namespace
}  // namespace tarvik::testing
