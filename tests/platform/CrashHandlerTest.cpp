#include "platform/CrashHandler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace tarvik {
namespace {

using test::ReadFile;
using test::StartChild;
using test::TempFolder;
using test::WaitForChild;
using ::testing::ElementsAre;
using ::testing::MatchesRegex;

std::string NameAt(const std::filesystem::path& folder, std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return CrashDumpFileName(folder.string(), local);
}

struct Crash {
    const char* what;
    int signal;
    void (*cause)();
    bool reportsAddress = false;  // a fault: the file names its address
    bool folderMissing = false;   // only the file is skipped
};

// A real fault: a write to a read-only page, whose address the child first
// reports on g_addressPipe.
int g_addressPipe[2] = {-1, -1};
void WriteToReadOnlyPage() {
    void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) std::_Exit(4);
    if (::write(g_addressPipe[1], &page, sizeof page) != sizeof page) std::_Exit(5);
    *static_cast<volatile int*>(page) = 1;
}

std::string HexAddress(const void* address) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016jx",
                  static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(address)));
    return text;
}

TEST(CrashHandlerTest, FatalSignalWritesTheFileRunsTheMessageAndEndsTheProcess) {
    const std::tm time{7, 8, 9, 5, 6, 2007 - 1900, 0, 0, 0, 0, nullptr};  // 2007-07-05 09:08:07
    EXPECT_EQ(CrashDumpFileName("/opt/tarvik", time),
              "/opt/tarvik/crash-1.2-063014-20070705-090807.dmp");
    const Crash crashes[] = {
        {"write to a read-only page", SIGSEGV, WriteToReadOnlyPage, true},
        {"abort", SIGABRT, [] { std::abort(); }},
        {"missing folder", SIGBUS, [] { ::raise(SIGBUS); }, false, true},
    };
    ASSERT_EQ(::pipe(g_addressPipe), 0);
    for (const Crash& crash : crashes) {
        SCOPED_TRACE(crash.what);
        TempFolder temp;
        const auto shown = temp.Path() / "shown";
        const auto folder = crash.folderMissing ? temp.Path() / "missing" : temp.Path();
        const std::time_t before = std::time(nullptr);
        const pid_t child = StartChild([&] {
            const std::vector<std::string> message = {"/bin/sh", "-c",
                                                      "echo \"$0\" > '" + shown.string() + "'"};
            if (!InstallCrashHandler(folder.string(), message) && !crash.folderMissing) return 2;
            crash.cause();
            return 3;
        });
        const int status = WaitForChild(child);
        const std::time_t after = std::time(nullptr);

        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), crash.signal);
        EXPECT_EQ(ReadFile(shown), "/bin/sh\n");
        if (crash.folderMissing) {
            EXPECT_FALSE(std::filesystem::exists(folder));
            continue;
        }
        const std::vector<std::string> names = test::ListFolder(temp.Path());
        ASSERT_THAT(names, ElementsAre(MatchesRegex("crash-1\\.2-063014-[0-9]{8}-[0-9]{6}\\.dmp"),
                                       "shown"));
        const std::string file = (temp.Path() / names[0]).string();
        // Same format throughout, so the names order as the times do.
        EXPECT_GE(file, NameAt(temp.Path(), before));
        EXPECT_LE(file, NameAt(temp.Path(), after));
        const std::string dump = ReadFile(file);
        EXPECT_NE(dump.find("Signal: " + std::to_string(crash.signal) + " ("), std::string::npos);
        void* page = nullptr;
        if (crash.reportsAddress) {
            ASSERT_EQ(::read(g_addressPipe[0], &page, sizeof page), ssize_t(sizeof page));
        }
        const std::string origin = crash.reportsAddress
                                       ? "\nAddress: " + HexAddress(page) + "\n"
                                       : "\nSender: " + std::to_string(child) + "\n";
        EXPECT_NE(dump.find(origin), std::string::npos) << dump;
        const std::size_t frames = dump.find("Backtrace:\n");
        EXPECT_TRUE(frames != std::string::npos && dump.size() > frames + 20) << "at least a frame";
    }
    ::close(g_addressPipe[0]);
    ::close(g_addressPipe[1]);
}

}  // namespace
}  // namespace tarvik
