#include "core/EventLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "LogCapture.h"
#include "core/ExecutablePath.h"
#include "core/StatusLine.h"

namespace tarvik {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

class EventLogTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    LogCapture log_{folder_.Path()};
};

// Levels, literal text, status text, the cap read at each line, long lines cut.
TEST_F(EventLogTest, WritesLiterallyOnceSwitchedOnUnderTheCurrentCapAndDropsWhatItCannotWrite) {
    log_.Settings().FileLoggingEnabled = 0;
    LogInfo("while off");
    SetLogSettings(nullptr);  // built-in defaults: off as well
    LogInfo("before settings");
    EXPECT_FALSE(std::filesystem::exists(log_.LogFile()));
    SetLogSettings(&log_.Settings());
    log_.Settings().FileLoggingEnabled = 1;  // the very next line creates the file
    EXPECT_EQ(LogInfo("Connecting to %s", "100%sure%n%d"), 0);
    EXPECT_EQ(LogWarn("%d warnings", 2), 0);
    std::ofstream(folder_.Path() / "not-a-folder") << "x";  // fails even for root
    SetInstallDirectoryValue((folder_.Path() / "not-a-folder").string());
    EXPECT_EQ(LogError("lost"), 0);
    SetInstallDirectoryValue((folder_.Path() / "install").string());
    EXPECT_EQ(LogError("code %u", 5u), 0);  // the lock was released
    struct : IStatusLineSink {
        void ShowStatusText(const std::string& text) override { shown.push_back(text); }
        std::vector<std::string> shown;
    } sink;
    SetStatusLineSink(&sink);
    SetStatusText("Scanning 100%s");
    SetStatusLineSink(nullptr);
    SetStatusText("after the window");
    EXPECT_THAT(sink.shown, ElementsAre(::testing::MatchesRegex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] "
                                                                "Scanning 100%s")));
    EXPECT_THAT(log_.Messages(),
                ElementsAre("App: Info: Connecting to 100%sure%n%d", "App: Warn: 2 warnings",
                            "App: Error: code 5", "App: Info: Scanning 100%s",
                            "App: Info: after the window"));
    // The cap is read at every line: the first lines stay, the last is replaced.
    log_.Settings().FileLogMaxLines = 2;
    for (int i = 1; i <= 2; ++i) LogInfo("message %d", i);
    EXPECT_THAT(log_.Messages(), ElementsAre(StartsWith("App: Info: Connecting"),
                                             "App: Warn: 2 warnings", "App: Info: message 2"));
    log_.Settings().FileLogMaxLines = -1;  // a stored 0xFFFFFFFF keeps no old line
    LogInfo("%s", std::string(5000, 'a').c_str());
    log_.Settings().FileLogMaxLines = 5;
    std::string accents;  // two-byte characters
    for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";
    LogError("%s", accents.c_str());  // both cut between characters
    const std::vector<std::string> lines = SplitLogLines(ReadFileText(log_.LogFile()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kLogLineBufferSize);
    // 23 bytes of stamp and prefix leave an odd count: the last character goes whole.
    EXPECT_EQ(lines[1].size(), kLogLineBufferSize - 1);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 2), "\xC3\xA9");
}

// The only test that writes beside the test program (tests run in parallel).
TEST_F(EventLogTest, InstallDirectoryFallsBackToTheExecutablesFolder) {
    const std::string executableFolder = FolderOf(ExecutablePath());
    ASSERT_FALSE(executableFolder.empty());
    EXPECT_EQ(GetInstallDirectory(), folder_.Path() / "install");
    SetInstallDirectoryValue(std::string(1023, 'd'));  // fits the 1024-byte buffer
    EXPECT_EQ(GetInstallDirectory(), std::string(1023, 'd'));
    SetInstallDirectoryValue(std::string(1024, 'd'));  // does not
    EXPECT_EQ(GetInstallDirectory(), executableFolder);
    RegistryStore::LocalMachine().DeleteValue("SOFTWARE\\Tarvik", "INSTInfo");
    EXPECT_EQ(GetInstallDirectory(), executableFolder);
    // A damaged machine hive, read while the log is busy, is reported after the line.
    const auto besideExecutable = std::filesystem::path(executableFolder) / kLogFileName;
    std::filesystem::remove(besideExecutable);
    InstallLogAsStoreErrorSink();
    std::ofstream(log_.Hives().MachineHive()) << "garbage\n";
    LogInfo("with a damaged machine hive");
    const std::vector<std::string> lines = SplitLogLines(ReadFileText(besideExecutable));
    std::filesystem::remove(besideExecutable);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(11), "App: Info: with a damaged machine hive");
    EXPECT_THAT(lines[1].substr(11), StartsWith("App: Error: The registry file " +
                                                log_.Hives().MachineHive().string() + " was"));
}

TEST_F(EventLogTest, ConcurrentWritersProduceOnlyWholeLines) {
    std::multiset<std::string> expected;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 150; ++i)
            expected.insert("App: Info: " + std::to_string(t) + " " + std::string(i, 'x'));
        threads.emplace_back([t] {
            for (int i = 0; i < 150; ++i) {
                const std::string text = std::to_string(t) + " " + std::string(i, 'x');
                i % 10 == 0 ? SetStatusText(text) : void(LogInfo("%s", text.c_str()));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    const std::vector<std::string> messages = log_.Messages();
    EXPECT_EQ(std::multiset<std::string>(messages.begin(), messages.end()), expected);
}

}  // namespace
}  // namespace tarvik
