#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace tarvik {
namespace {

using test::Pipe;
using test::StartChild;
using test::TempFolder;
using test::WaitForChild;

// A first copy in another process: answers requests, reports each one on
// `shown`, and runs until `quit` closes.
pid_t StartFirstCopy(const std::filesystem::path& folder, Pipe& ready, Pipe& shown, Pipe& quit) {
    return StartChild([&] {
        CSingleInstance instance(folder);
        const bool first = instance.Acquire([&shown] { shown.Send('S'); });
        ready.Send(first && instance.OwnsLock() ? '1' : '0');
        quit.CloseWrite();
        quit.Receive(20000);
        return 0;
    });
}

TEST(SingleInstanceTest, SecondCopyFindsTheFirstAndAsksItToShow) {
    TempFolder temp;
    const auto folder = temp.Path() / "instance";
    Pipe ready, shown, quit;
    const pid_t first = StartFirstCopy(folder, ready, shown, quit);
    ASSERT_EQ(ready.Receive(), '1');
    {
        CSingleInstance second(folder);
        EXPECT_FALSE(second.Acquire());
        EXPECT_FALSE(second.OwnsLock());
        for (int ask = 0; ask < 2; ++ask) {  // a third copy is answered as well
            EXPECT_TRUE(second.RequestShow());
            EXPECT_EQ(shown.Receive(), 'S');
        }
    }

    quit.CloseWrite();
    const int status = WaitForChild(first);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // The first copy has ended cleanly: its socket is gone and a new copy runs.
    EXPECT_FALSE(std::filesystem::exists(folder / "instance.sock"));
    CSingleInstance next(folder);
    EXPECT_TRUE(next.Acquire());
    EXPECT_TRUE(next.OwnsLock());
    EXPECT_EQ(next.FailureText(), "");
}

TEST(SingleInstanceTest, KilledCopyLeavesASocketThatFoolsNobody) {
    TempFolder temp;
    const auto folder = temp.Path() / "instance";
    Pipe ready;
    const pid_t first = StartChild([&] {
        CSingleInstance instance(folder);
        ready.Send(instance.Acquire() ? '1' : '0');
        ::raise(SIGKILL);
        return 1;
    });
    ASSERT_EQ(ready.Receive(), '1');
    const int status = WaitForChild(first);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(std::filesystem::exists(folder / "instance.sock"));

    Pipe shown;
    CSingleInstance survivor(folder);
    ASSERT_TRUE(survivor.Acquire([&shown] { shown.Send('1'); }));
    EXPECT_TRUE(survivor.OwnsLock());

    // The lock is per open file, so a second object in this process is a second copy.
    CSingleInstance second(folder);
    EXPECT_FALSE(second.Acquire());
    EXPECT_TRUE(second.RequestShow());
    EXPECT_EQ(shown.Receive(), '1');
    survivor.SetShowRequestHandler([&shown] { shown.Send('2'); });  // replaces the first
    EXPECT_TRUE(second.RequestShow());
    EXPECT_EQ(shown.Receive(), '2');
}

TEST(SingleInstanceTest, HolderThatDoesNotAnswerIsReportedAsSilent) {
    TempFolder temp;
    const auto folder = temp.Path() / "instance";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const int lock = ::open((folder / "instance.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    CSingleInstance second(folder);
    EXPECT_FALSE(second.Acquire());
    // No socket at all.
    EXPECT_FALSE(second.RequestShow());

    // A socket that takes the connection and never answers.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, (folder / "instance.sock").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    EXPECT_FALSE(second.RequestShow());

    ::close(listener);
    ::close(lock);
}

TEST(SingleInstanceTest, UnsafeOrUnusableFolderDoesNotStopTheProgram) {
    TempFolder temp;
    const auto open = temp.Path() / "open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    CSingleInstance shared(open);
    EXPECT_TRUE(shared.Acquire());
    EXPECT_FALSE(shared.OwnsLock());
    EXPECT_NE(shared.FailureText(), "");
    EXPECT_FALSE(std::filesystem::exists(open / "instance.lock"));

    // A socket path too long for sockaddr_un: the lock still works.
    const auto deep = temp.Path() / std::string(120, 'd');
    CSingleInstance first(deep);
    EXPECT_TRUE(first.Acquire());
    EXPECT_TRUE(first.OwnsLock());
    EXPECT_NE(first.FailureText(), "");
    CSingleInstance second(deep);
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.RequestShow());
}

TEST(SingleInstanceTest, FolderComesFromTheEnvironment) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = runtime ? runtime : "";
    ::setenv("TARVIK_INSTANCE_DIR", "/tmp/override", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    EXPECT_EQ(DefaultInstanceFolder(), "/tmp/override");
    ::unsetenv("TARVIK_INSTANCE_DIR");
    EXPECT_EQ(DefaultInstanceFolder(), "/run/user/1234/tarvik");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(DefaultInstanceFolder(), "/tmp/tarvik-" + std::to_string(::getuid()));
    if (runtime) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace tarvik
