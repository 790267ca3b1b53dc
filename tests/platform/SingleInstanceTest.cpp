#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace tarvik {
namespace {

using test::Pipe;
using test::StartChild;
using test::TempFolder;
using test::WaitForChild;

TEST(SingleInstanceTest, SecondCopyFindsTheFirstAndAsksItToShow) {
    TempFolder temp;
    const auto folder = temp.Path() / "instance";
    Pipe ready, shown, quit;
    // The first copy, in another process, reports each request on `shown` until `quit` closes.
    const pid_t first = StartChild([&] {
        CSingleInstance instance(folder);
        const bool acquired = instance.Acquire([&shown] { shown.Send('S'); });
        ready.Send(acquired && instance.OwnsLock() ? '1' : '0');
        quit.CloseWrite();
        quit.Receive(20000);
        return 0;
    });
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

    // A socket path too long for the socket address: the lock still works.
    const auto deep = temp.Path() / std::string(120, 'd');
    CSingleInstance first(deep), second(deep);
    EXPECT_TRUE(first.Acquire() && first.OwnsLock());
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.RequestShow());
}

}  // namespace
}  // namespace tarvik
