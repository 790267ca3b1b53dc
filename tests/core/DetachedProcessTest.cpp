#include "core/DetachedProcess.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "LogCapture.h"

namespace tarvik {
namespace {

std::string WaitForFile(const std::filesystem::path& file) {
    for (int i = 0; i < 1000; ++i) {
        const std::string text = ReadFileText(file);
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

TEST(DetachedProcess, RunsTheProgramInItsOwnSessionWithoutLeavingAChild) {
    TempFolder folder;
    const auto script = folder.Path() / "report";
    const auto out = folder.Path() / "out.txt";
    // Session id (field 6 of /proc/<pid>/stat), standard output, arguments.
    std::ofstream(script) << "#!/bin/sh\n"
                             "sid=$(cut -d' ' -f6 /proc/$$/stat)\n"
                             "fd1=$(readlink /proc/$$/fd/1)\n"
                             "echo \"$sid $fd1 $1|$2\" > \"$3.tmp\" && mv \"$3.tmp\" \"$3\"\n";
    ::chmod(script.c_str(), 0755);

    ASSERT_EQ(SpawnDetached(script.string(), {"/s", "a b", out.string()}), 0);
    const std::string report = WaitForFile(out);
    ASSERT_FALSE(report.empty());
    std::istringstream fields(report);
    pid_t session = 0;
    std::string output, arguments;
    fields >> session >> output;
    std::getline(fields >> std::ws, arguments);
    EXPECT_NE(session, ::getsid(0));
    EXPECT_EQ(output, "/dev/null");
    EXPECT_EQ(arguments, "/s|a b");
    // The intermediate process was reaped; the program belongs to init.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(DetachedProcess, ReportsWhyTheProgramCouldNotStart) {
    TempFolder folder;
    EXPECT_EQ(SpawnDetached((folder.Path() / "missing").string(), {}), ENOENT);
    std::ofstream(folder.Path() / "plain") << "text";
    ::chmod((folder.Path() / "plain").c_str(), 0644);
    EXPECT_EQ(SpawnDetached((folder.Path() / "plain").string(), {}), EACCES);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
}  // namespace tarvik
