#include "core/ApplicationOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "LogCapture.h"
#include "core/AutostartEntry.h"
#include "core/StatusLine.h"

namespace tarvik {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSettingsKey = "Software\\Tarvik\\tarvik\\Settings";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class ApplicationOptionsTest : public ::testing::Test {
  protected:
    // A program installed under <temp>/bin, with its share folder beside it.
    std::filesystem::path Bin() const { return folder_.Path() / "bin"; }
    std::string ProgramPath() const { return (Bin() / "tarvik").string(); }

    // A stand-in for tarvik-regedit that appends its arguments to calls.txt.
    void InstallRecordingEditor() {
        std::filesystem::create_directories(Bin());
        const auto script = Bin() / "tarvik-regedit";
        // One write per call, so that concurrent calls never interleave.
        std::ofstream(script) << "#!/bin/sh\nline=$(printf '%s|' \"$@\")\n"
                                 "echo \"$line\" >> \"$(dirname \"$0\")/calls.txt\"\n";
        ::chmod(script.c_str(), 0755);
    }

    // The editor runs detached; wait until it has recorded `count` calls.
    std::vector<std::string> WaitForEditorCalls(std::size_t count) {
        std::vector<std::string> calls;
        for (int i = 0; i < 1000; ++i) {
            calls = SplitLogLines(ReadFileText(Bin() / "calls.txt"));
            if (calls.size() >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return calls;
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    CApplicationOptions options_{nullptr, ProgramPath()};
};

TEST_F(ApplicationOptionsTest, HoldsEveryFieldWithItsDefault) {
    const auto fields = CApplicationOptions::Fields();
    ASSERT_EQ(fields.size(), 46u);
    std::set<std::string> names;
    for (const auto& field : fields) {
        if (field.valueName != nullptr) {
            EXPECT_TRUE(names.insert(field.valueName).second);
        }
        EXPECT_EQ(options_.*field.member, field.defaultValue);
    }
    EXPECT_EQ(names.size(), 45u);  // the Connection Manager interval is not stored
    EXPECT_EQ(fields[44].valueName, nullptr);
    EXPECT_EQ(fields[44].member, &CApplicationOptions::ConnectionManagerInterval);

    EXPECT_EQ(options_.ApplicationName(), "tarvik");
    EXPECT_EQ(options_.TimeBeforeClearingNotDetectedAccessPoints, 200);
    EXPECT_EQ(options_.ComBaudRate, 4800);
    EXPECT_EQ(options_.HoppingStateMachineInterval, 500);
    EXPECT_EQ(options_.ColorOpenBlock, 0xE5FFE5);       // red 229, green 255, blue 229
    EXPECT_EQ(options_.ColorSignalStrength, 0xFFFF80);  // red 128, green 255, blue 255
    EXPECT_EQ(options_.FileLoggingEnabled, 0);
    EXPECT_EQ(options_.FileLogMaxLines, 2000);
    EXPECT_EQ(options_.ConnectionManagerInterval, 1000);
    EXPECT_EQ(options_.EnumerateOnDeviceChangeEvent, 1);
}

TEST_F(ApplicationOptionsTest, LoadsStoredValuesUnchangedAndKeepsDefaultsForMissingOnes) {
    RegistryStore& hive = RegistryStore::CurrentUser();
    hive.WriteDword(kSettingsKey, "SoftRefreshInterval", 0);  // below the dialog's limit
    hive.WriteDword(kSettingsKey, "ComPortNumber", 0xFFFFFFFF);
    options_.ConnectionManagerInterval = 7;
    EXPECT_EQ(options_.Load(), 0);
    EXPECT_EQ(options_.SoftRefreshInterval, 0);
    EXPECT_EQ(options_.ComPortNumber, -1);
    EXPECT_EQ(options_.HardRefreshInterval, 4);
    EXPECT_EQ(options_.ConnectionManagerInterval, 7);  // not stored, untouched
}

// How often the file `name` was renamed into place since the watch began. The
// watch also sees the temporary files' moves, since the kernel merges
// identical events that follow each other.
int CountRenamesInto(int watch, const std::string& name) {
    alignas(inotify_event) char buffer[65536];
    int count = 0;
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_MOVED_TO) && event->len > 0 && name == event->name) ++count;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return count;
}

TEST_F(ApplicationOptionsTest, SavesEveryStoredValueAsADwordInOneAtomicWrite) {
    options_.ColorWPA2Block = 0x123456;
    options_.FileLogMaxLines = 10;
    const auto folder = RegistryStore::CurrentUser().FilePath().parent_path();
    std::filesystem::create_directories(folder);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO), 0);
    EXPECT_EQ(options_.Save(), 0);
    EXPECT_EQ(options_.Save(), 0);  // nothing changed: nothing written
    EXPECT_EQ(CountRenamesInto(watch, "user.reg"), 1);
    ::close(watch);

    const std::vector<RegValue> values = RegistryStore::CurrentUser().EnumerateValues(kSettingsKey);
    EXPECT_EQ(values.size(), 45u);
    for (const RegValue& value : values) EXPECT_EQ(value.type, RegType::Dword) << value.name;

    CApplicationOptions loaded(nullptr, ProgramPath());
    loaded.Load();
    for (const auto& field : CApplicationOptions::Fields()) {
        EXPECT_EQ(loaded.*field.member, options_.*field.member) << field.valueName;
    }
}

TEST_F(ApplicationOptionsTest, RestoreDefaultsThenSaveWritesDefaultsAndLeavesTheRunValue) {
    options_.EnableAutoStart();
    options_.AutoStartOnLogin = 1;
    options_.AutoSaveInterval = 99;
    options_.Save();
    options_.ResetToDefaults();
    EXPECT_EQ(options_.AutoSaveInterval, 10);
    options_.Save();

    RegistryStore& hive = RegistryStore::CurrentUser();
    EXPECT_EQ(hive.ReadDword(kSettingsKey, "AutoSaveInterval", 0), 10u);
    EXPECT_EQ(hive.ReadDword(kSettingsKey, "AutoStartOnLogin", 7), 0u);
    EXPECT_EQ(hive.ReadString(kRunKey, "Tarvik", ""), "\"" + ProgramPath() + "\" /login");
}

// The shipped defaults file holds exactly the record's stored defaults.
TEST_F(ApplicationOptionsTest, ShippedSettingsFileHoldsEveryStoredDefault) {
    const auto copy = folder_.Path() / "settings.reg";
    std::filesystem::copy_file(std::filesystem::path(TARVIK_SOURCE_DIR) / "share/settings.reg",
                               copy);
    RegistryStore shipped(copy, "HKEY_CURRENT_USER");
    std::size_t stored = 0;
    for (const auto& field : CApplicationOptions::Fields()) {
        if (field.valueName == nullptr) continue;
        ++stored;
        const auto value = shipped.ReadValue(kSettingsKey, field.valueName);
        ASSERT_TRUE(value.has_value()) << field.valueName;
        EXPECT_EQ(value->type, RegType::Dword);
        EXPECT_EQ(value->dword, static_cast<std::uint32_t>(field.defaultValue)) << field.valueName;
    }
    EXPECT_EQ(shipped.EnumerateValues(kSettingsKey).size(), stored);
}

TEST_F(ApplicationOptionsTest, FirstLaunchIsDetectedUntilTheColumnCountIsStored) {
    EXPECT_TRUE(options_.IsFirstLaunch());
    RegistryStore::CurrentUser().WriteDword("Software\\Tarvik\\tarvik\\ColumnData", "Column Count",
                                            30);
    EXPECT_FALSE(options_.IsFirstLaunch());
    EXPECT_THAT(
        log_.Messages(),
        ElementsAre("App: Info: Could not read Column Count, indicating first time startup.",
                    "App: Info: Read Column Count, user has run Tarvik before."));
}

TEST_F(ApplicationOptionsTest, ImportRunsTheEditorOnTheShippedFileAtEveryStartUntilColumnsExist) {
    InstallRecordingEditor();
    const auto share = folder_.Path() / "share" / "tarvik";
    std::filesystem::create_directories(share);
    std::ofstream(share / "settings.reg") << "Windows Registry Editor Version 5.00\n";
    const std::string settingsFile = (share / "settings.reg").string();
    EXPECT_EQ(options_.DefaultSettingsFile(), settingsFile);

    // Two starts without stored columns import twice.
    for (int start = 0; start < 2; ++start) {
        CApplicationOptions record(nullptr, ProgramPath());
        ASSERT_TRUE(record.IsFirstLaunch());
        EXPECT_TRUE(record.ImportDefaultSettings());
    }
    EXPECT_THAT(WaitForEditorCalls(2),
                ElementsAre("/s|" + settingsFile + "|", "/s|" + settingsFile + "|"));
    const std::string editor = "\"" + (Bin() / "tarvik-regedit").string() + "\"";
    const std::vector<std::string> messages = log_.Messages();
    EXPECT_THAT(messages, Contains("App: Info: First launch by this user: importing default "
                                   "registry settings."));
    EXPECT_THAT(messages, Contains("App: Info: Determined regedit path: " + editor));
    EXPECT_THAT(messages, Contains("App: Info: Command: path=" + editor + ", parameter=/s \"" +
                                   settingsFile + "\""));
    EXPECT_THAT(messages, Contains("App: Info: Default registry values imported successfully."));

    RegistryStore::CurrentUser().WriteDword("Software\\Tarvik\\tarvik\\ColumnData", "Column Count",
                                            30);
    EXPECT_FALSE(CApplicationOptions(nullptr, ProgramPath()).IsFirstLaunch());
}

TEST_F(ApplicationOptionsTest, ImportWithoutAnEditorWarns) {
    std::filesystem::create_directories(Bin());
    EXPECT_EQ(options_.DefaultSettingsFile(), (Bin() / "settings.reg").string());
    EXPECT_FALSE(options_.ImportDefaultSettings());
    std::ofstream(Bin() / "tarvik-regedit") << "not a program";  // not executable
    ::chmod((Bin() / "tarvik-regedit").c_str(), 0644);
    EXPECT_FALSE(options_.ImportDefaultSettings());

    const std::vector<std::string> messages = log_.Messages();
    EXPECT_THAT(messages, Contains("App: Warn: ShellExecute returned error 2, could not import "
                                   "default values."));
    EXPECT_THAT(messages, Contains("App: Warn: ShellExecute returned error 13, could not import "
                                   "default values."));
    EXPECT_THAT(messages, Not(Contains(HasSubstr("imported successfully"))));
}

TEST_F(ApplicationOptionsTest, ImportStopsWhenTheProgramPathHasNoFolder) {
    CApplicationOptions record(nullptr, "tarvik");
    EXPECT_FALSE(record.ImportDefaultSettings());
    EXPECT_THAT(log_.Messages(),
                ElementsAre("App: Info: First launch by this user: importing default registry "
                            "settings.",
                            "App: Info: Determined regedit path: \"/tarvik-regedit\""));
}

TEST_F(ApplicationOptionsTest, AutoStartWritesTheRunValueAndTheDesktopEntry) {
    options_.EnableAutoStart();
    const std::string command = RegistryStore::CurrentUser().ReadString(kRunKey, "Tarvik", "");
    EXPECT_EQ(command, "\"" + ProgramPath() + "\" /login");
    EXPECT_THAT(log_.Messages(),
                ElementsAre("App: Info: Created Software\\Microsoft\\Windows\\CurrentVersion\\Run "
                            "under 2147483649",
                            "App: Info: Value successfully written to registry"));

    const auto entry = log_.Hives().ConfigHome() / "autostart" / "tarvik.desktop";
    EXPECT_EQ(AutostartEntryPath(), entry);
    const std::string text = ReadFileText(entry);
    EXPECT_THAT(text, HasSubstr("[Desktop Entry]\nType=Application\n"));
    EXPECT_THAT(text, HasSubstr("\nExec=\"" + ProgramPath() + "\" /login\n"));

    options_.DisableAutoStart();
    EXPECT_FALSE(RegistryStore::CurrentUser().ReadValue(kRunKey, "Tarvik").has_value());
    EXPECT_FALSE(std::filesystem::exists(entry));
    options_.DisableAutoStart();  // nothing left to remove: harmless
}

TEST_F(ApplicationOptionsTest, AutoStartFailureIsShownOnTheStatusLine) {
    // A plain file where the user hive's folder should be: the hive cannot be written.
    std::filesystem::create_directories(log_.Hives().ConfigHome());
    std::ofstream(log_.Hives().ConfigHome() / "tarvik") << "x";
    RegistryStore::ResetDefaultHives();

    options_.EnableAutoStart();
    const std::vector<std::string> messages = log_.Messages();
    EXPECT_THAT(messages, Contains("App: Error: Could not write value to registry"));
    EXPECT_THAT(messages, Contains("App: Info: Error writing to registry; Could not enable auto "
                                   "start on login."));
}

TEST(AutostartEntry, QuotesTheProgramPathForTheExecKey) {
    EXPECT_EQ(QuoteExecArgument("/opt/My Apps/tarvik"), "\"/opt/My Apps/tarvik\"");
    EXPECT_EQ(QuoteExecArgument("/a\"b$c`d"), "\"/a\\\\\"b\\\\$c\\\\`d\"");
    EXPECT_EQ(QuoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(QuoteExecArgument("/100%/x"), "\"/100%%/x\"");
}

}  // namespace
}  // namespace tarvik
