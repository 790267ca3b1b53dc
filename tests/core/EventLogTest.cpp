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

class EventLogTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    LogCapture log_{folder_.Path()};
};

TEST_F(EventLogTest, WritesNothingUntilSwitchedOnThenCreatesTheFileAtTheNextLine) {
    log_.Settings().FileLoggingEnabled = 0;
    LogInfo("while off");
    SetLogSettings(nullptr);  // built-in defaults: off as well
    LogInfo("before settings");
    EXPECT_FALSE(std::filesystem::exists(log_.LogFile()));

    SetLogSettings(&log_.Settings());
    log_.Settings().FileLoggingEnabled = 1;
    LogInfo("first line");
    EXPECT_THAT(log_.Messages(), ElementsAre("App: Info: first line"));
}

TEST_F(EventLogTest, PrefixesEachLevel) {
    EXPECT_EQ(LogInfo("Starting WMI"), 0);
    EXPECT_EQ(LogWarn("%d warnings", 2), 0);
    EXPECT_EQ(LogError("code %u", 5u), 0);
    EXPECT_THAT(log_.Messages(), ElementsAre("App: Info: Starting WMI", "App: Warn: 2 warnings",
                                             "App: Error: code 5"));
}

TEST_F(EventLogTest, TwelveMessagesWithLimitTenKeepTheFirstTenAndTheTwelfth) {
    log_.Settings().FileLogMaxLines = 10;
    for (int i = 1; i <= 12; ++i) LogInfo("message %d", i);
    std::vector<std::string> expected;
    for (int i = 1; i <= 10; ++i) expected.push_back("App: Info: message " + std::to_string(i));
    expected.push_back("App: Info: message 12");
    EXPECT_EQ(log_.Messages(), expected);

    log_.Settings().FileLogMaxLines = 3;  // lowered: cut from the end at the next line
    LogInfo("after");
    EXPECT_THAT(log_.Messages(), ElementsAre("App: Info: message 1", "App: Info: message 2",
                                             "App: Info: message 3", "App: Info: after"));

    // A negative limit (a stored 0xFFFFFFFF) keeps no old line rather than failing.
    log_.Settings().FileLogMaxLines = -1;
    LogInfo("alone");
    EXPECT_THAT(log_.Messages(), ElementsAre("App: Info: alone"));
}

TEST_F(EventLogTest, TakesInsertedTextLiterally) {
    LogInfo("Connecting to %s", "100%sure%n%d");
    SetStatusText("Saved 50%s of %x");
    EXPECT_THAT(log_.Messages(), ElementsAre("App: Info: Connecting to 100%sure%n%d",
                                             "App: Info: Saved 50%s of %x"));
}

TEST_F(EventLogTest, CutsALineLongerThanTheBuffer) {
    LogInfo("%s", std::string(5000, 'a').c_str());
    // Two-byte characters: the cut never leaves half of one behind.
    std::string accents;
    for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";
    LogError("%s", accents.c_str());

    const std::vector<std::string> lines = SplitLogLines(ReadFileText(log_.LogFile()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kLogLineBufferSize);
    EXPECT_EQ(lines[0].substr(11, 11), "App: Info: ");
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
    const std::filesystem::path besideExecutable =
        std::filesystem::path(executableFolder) / kLogFileName;
    std::filesystem::remove(besideExecutable);
    LogInfo("next to the program");
    EXPECT_EQ(ReadFileText(besideExecutable).substr(11), "App: Info: next to the program\n");
    std::filesystem::remove(besideExecutable);

    // Writing a line reads the machine hive. A damaged hive is reported while
    // the log is busy with that line, and the report follows the line.
    SetInstallDirectoryValue((folder_.Path() / "install").string());
    InstallLogAsStoreErrorSink();
    std::ofstream(log_.Hives().MachineHive()) << "garbage\n";
    LogInfo("with a damaged machine hive");  // INSTInfo is lost with it
    const std::vector<std::string> lines = SplitLogLines(ReadFileText(besideExecutable));
    std::filesystem::remove(besideExecutable);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(11), "App: Info: with a damaged machine hive");
    EXPECT_THAT(lines[1].substr(11), ::testing::StartsWith("App: Error: The registry file "));
}

TEST_F(EventLogTest, DropsTheLineWhenTheFileCannotBeWritten) {
    // A plain file where the folder should be (fails even for root).
    std::ofstream(folder_.Path() / "not-a-folder") << "x";
    SetInstallDirectoryValue((folder_.Path() / "not-a-folder").string());
    EXPECT_EQ(LogError("lost"), 0);

    SetInstallDirectoryValue((folder_.Path() / "install").string());
    LogInfo("kept");  // the lock was released
    EXPECT_THAT(log_.Messages(), ElementsAre("App: Info: kept"));
}

TEST_F(EventLogTest, ConcurrentWritersProduceOnlyWholeLines) {
    constexpr int kThreads = 4;
    constexpr int kLines = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                if (i % 10 == 0) {
                    SetStatusText("status " + std::to_string(t) + "-" + std::to_string(i));
                } else {
                    LogInfo("thread %d line %d %s", t, i, std::string(i, 'x').c_str());
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    std::set<std::string> expected;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kLines; ++i) {
            expected.insert(i % 10 == 0
                                ? "App: Info: status " + std::to_string(t) + "-" + std::to_string(i)
                                : "App: Info: thread " + std::to_string(t) + " line " +
                                      std::to_string(i) + " " + std::string(i, 'x'));
        }
    }
    const std::vector<std::string> messages = log_.Messages();
    EXPECT_EQ(messages.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(messages.begin(), messages.end()), expected);
}

TEST_F(EventLogTest, ReportsRegistryStoreProblemsAsErrors) {
    InstallLogAsStoreErrorSink();
    const auto damaged = folder_.Path() / "damaged.reg";
    std::ofstream(damaged) << "this is not a registry file\n[unclosed\n";
    RegistryStore store(damaged, "HKEY_CURRENT_USER");
    EXPECT_EQ(store.ReadDword("Software\\Tarvik", "x", 7), 7u);
    const std::vector<std::string> messages = log_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], ::testing::StartsWith("App: Error: The registry file " +
                                                   damaged.string() + " was damaged"));
}

class RecordingSink : public IStatusLineSink {
  public:
    void ShowStatusText(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

TEST_F(EventLogTest, StatusTextGoesToTheSinkWithItsTimeAndAlwaysToTheLog) {
    SetStatusText("before the window");
    RecordingSink sink;
    SetStatusLineSink(&sink);
    SetStatusText("Scanning 100%s");
    SetStatusLineSink(nullptr);
    SetStatusText("after the window");

    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_THAT(sink.shown[0], ::testing::MatchesRegex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] "
                                                       "Scanning 100%s"));
    EXPECT_THAT(log_.Messages(),
                ElementsAre("App: Info: before the window", "App: Info: Scanning 100%s",
                            "App: Info: after the window"));
}

}  // namespace
}  // namespace tarvik
