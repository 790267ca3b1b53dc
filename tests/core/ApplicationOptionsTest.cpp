#include "core/ApplicationOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "LogCapture.h"
#include "core/AutostartEntry.h"
#include "core/StatusLine.h"

namespace tarvik {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kSettingsKey = "Software\\Tarvik\\tarvik\\Settings";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class ApplicationOptionsTest : public ::testing::Test {
  protected:
    // A program installed under <temp>/bin, with its share folder beside it.
    std::filesystem::path Bin() const { return folder_.Path() / "bin"; }
    std::string ProgramPath() const { return (Bin() / "tarvik").string(); }

    // A stand-in for tarvik-regedit that records its arguments, session and
    // standard output in calls.txt; it runs detached, so wait for `count` calls.
    void InstallRecordingEditor() {
        std::filesystem::create_directories(Bin());
        const auto script = Bin() / "tarvik-regedit";
        std::ofstream(script) << "#!/bin/sh\nline=\"$(printf '%s|' \"$@\")"
                                 " $(cut -d' ' -f6 /proc/$$/stat) $(readlink /proc/$$/fd/1)\"\n"
                                 "echo \"$line\" >> \"$(dirname \"$0\")/calls.txt\"\n";
        ::chmod(script.c_str(), 0755);
    }
    std::vector<std::string> WaitForEditorCalls(std::size_t count) {
        std::vector<std::string> calls;
        for (int i = 0; i < 1000 && calls.size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            calls = SplitLogLines(ReadFileText(Bin() / "calls.txt"));
        }
        return calls;
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    CApplicationOptions options_{nullptr, ProgramPath()};
};

// The documented defaults, in declaration order; "-" is the value not stored.
constexpr const char* kDefaults =
    "RemoveUndetectedAccessPoints 0 TimeBeforeClearingNotDetectedAccessPoints 200 "
    "ClearingAccessPointsHard 0 ColoringEnabled 1 MaximumRssiValuesPerBssid 2000 ComPortNumber 3 "
    "ComBaudRate 4800 ComDataBits 8 ComParity 0 ComStopBits 0 ComHandshaking 0 GpsDataFormat 1 "
    "GpsAngleFormat 2 SoftRefreshInterval 1 HardRefreshInterval 4 DeviceInfoRefreshInterval 1 "
    "HoppingStateMachineInterval 500 HitOutOfRangeInterval 5 MediaStatusNotificationTimeout 10 "
    "DhcpAddressAquisitionTimeout 15 AutoSaveInterval 10 UseSharedModeInsteadOfOpen 0 "
    "UseDbmOrPercentage 1 SetBssidBeforeConnecting 0 DoStopWZVSVCOnStart 1 "
    "UseGlobalStatsForQueries 0 DoNotDisruptConnectionsOnStartup 1 "
    "UseDisassociateWhenDisconnecting 0 AutoStartOnLogin 0 ShowTableGridLines 1 TableColorSetup 2 "
    "SaveFilterOptionsOnExit 0 EapolNegotiationTimeout 15 PromptToSaveOnExit 0 "
    "MinimizeToTrayOnClose 1 AutoSaveOpenFileOnExit 0 ColorOpenBlock 0xE5FFE5 "
    "ColorWEPBlock 0xCCFFFF ColorWPABlock 0xE5F3FF ColorWPA2Block 0xD1E5FF "
    "ColorOutOfRangeText 0x4B4B4B ColorSignalStrength 0xFFFF80 FileLoggingEnabled 0 "
    "FileLogMaxLines 2000 - 1000 EnumerateOnDeviceChangeEvent 1";

// The record and the shipped defaults file both hold the documented defaults.
TEST_F(ApplicationOptionsTest, StartsWithTheDocumentedDefaultsAsDoesTheShippedFile) {
    const auto copy = folder_.Path() / "settings.reg";
    std::filesystem::copy_file(std::filesystem::path(TARVIK_SOURCE_DIR) / "share/settings.reg",
                               copy);
    RegistryStore shipped(copy, "HKEY_CURRENT_USER");
    std::istringstream table(kDefaults);
    std::string name, number;
    std::size_t index = 0;
    const auto fields = CApplicationOptions::Fields();
    for (; table >> name >> number; ++index) {
        SCOPED_TRACE(name);
        ASSERT_LT(index, fields.size());
        const auto value = static_cast<std::int32_t>(std::stoul(number, nullptr, 0));
        EXPECT_EQ(options_.*fields[index].member, value);
        if (name == "-") {
            EXPECT_EQ(fields[index].valueName, nullptr);
            continue;
        }
        EXPECT_STREQ(fields[index].valueName, name.c_str());
        EXPECT_EQ(shipped.ReadDword(kSettingsKey, name, ~0u), static_cast<std::uint32_t>(value));
    }
    EXPECT_EQ(index, fields.size());
    EXPECT_EQ(shipped.EnumerateValues(kSettingsKey).size(), fields.size() - 1);
    EXPECT_EQ(options_.ApplicationName(), "tarvik");
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

TEST_F(ApplicationOptionsTest, LoadsStoredValuesUncheckedAndSavesThemInOneAtomicWrite) {
    RegistryStore& hive = RegistryStore::CurrentUser();
    hive.WriteDword(kSettingsKey, "SoftRefreshInterval", 0);  // below the dialog's limit
    hive.WriteDword(kSettingsKey, "ComPortNumber", 0xFFFFFFFF);
    options_.ConnectionManagerInterval = 7;
    EXPECT_EQ(options_.Load(), 0);
    EXPECT_EQ(options_.SoftRefreshInterval, 0);
    EXPECT_EQ(options_.ComPortNumber, -1);
    EXPECT_EQ(options_.HardRefreshInterval, 4);        // missing: the default stays
    EXPECT_EQ(options_.ConnectionManagerInterval, 7);  // not stored, untouched

    options_.ColorWPA2Block = 0x123456;
    const auto folder = RegistryStore::CurrentUser().FilePath().parent_path();
    std::filesystem::create_directories(folder);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO), 0);
    EXPECT_EQ(options_.Save(), 0);
    EXPECT_EQ(options_.Save(), 0);  // nothing changed: nothing written
    EXPECT_EQ(CountRenamesInto(watch, "user.reg"), 1);
    ::close(watch);

    const std::vector<RegValue> values = hive.EnumerateValues(kSettingsKey);
    EXPECT_EQ(values.size(), 45u);
    for (const RegValue& value : values) EXPECT_EQ(value.type, RegType::Dword) << value.name;
    CApplicationOptions loaded(nullptr, ProgramPath());
    loaded.Load();
    for (const auto& field : CApplicationOptions::Fields()) {
        if (field.valueName) {
            EXPECT_EQ(loaded.*field.member, options_.*field.member) << field.valueName;
        }
    }
}

TEST_F(ApplicationOptionsTest, FirstLaunchIsDetectedUntilTheColumnCountIsStored) {
    EXPECT_TRUE(options_.IsFirstLaunch());
    RegistryStore::CurrentUser().WriteDword(options_.SectionKey("ColumnData"), "Column Count", 30);
    EXPECT_FALSE(options_.IsFirstLaunch());
    EXPECT_THAT(
        log_.Messages(),
        ElementsAre("App: Info: Could not read Column Count, indicating first time startup.",
                    "App: Info: Read Column Count, user has run Tarvik before."));
}

TEST_F(ApplicationOptionsTest, ImportRunsTheEditorOnTheShippedFileDetachedOrWarns) {
    std::filesystem::create_directories(Bin());
    EXPECT_EQ(options_.DefaultSettingsFile(), (Bin() / "settings.reg").string());
    EXPECT_FALSE(options_.ImportDefaultSettings());              // no editor
    std::ofstream(Bin() / "tarvik-regedit") << "not a program";  // not executable
    EXPECT_FALSE(options_.ImportDefaultSettings());
    std::vector<std::string> messages = log_.Messages();
    EXPECT_THAT(messages, Contains("App: Warn: ShellExecute returned error 2, could not import "
                                   "default values."));
    EXPECT_THAT(messages, Contains("App: Warn: ShellExecute returned error 13, could not import "
                                   "default values."));

    InstallRecordingEditor();
    const auto share = folder_.Path() / "share" / "tarvik";
    std::filesystem::create_directories(share);
    std::ofstream(share / "settings.reg") << "Windows Registry Editor Version 5.00\n";
    const std::string settingsFile = (share / "settings.reg").string();
    EXPECT_EQ(options_.DefaultSettingsFile(), settingsFile);
    EXPECT_TRUE(options_.ImportDefaultSettings());
    // Its own session, output to /dev/null, and no child left to reap here.
    const std::vector<std::string> calls = WaitForEditorCalls(1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_THAT(calls[0], ::testing::MatchesRegex("/s\\|.*/settings\\.reg\\| [0-9]+ /dev/null"));
    EXPECT_THAT(calls[0], ::testing::Not(HasSubstr(" " + std::to_string(::getsid(0)) + " ")));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    const std::string editor = "\"" + (Bin() / "tarvik-regedit").string() + "\"";
    messages = log_.Messages();
    EXPECT_THAT(std::vector(messages.end() - 4, messages.end()),
                ElementsAre("App: Info: First launch by this user: importing default registry "
                            "settings.",
                            "App: Info: Determined regedit path: " + editor,
                            "App: Info: Command: path=" + editor + ", parameter=/s \"" +
                                settingsFile + "\"",
                            "App: Info: Default registry values imported successfully."));

    EXPECT_FALSE(CApplicationOptions(nullptr, "tarvik").ImportDefaultSettings());  // no folder
    EXPECT_EQ(log_.Messages().back(), "App: Info: Determined regedit path: \"/tarvik-regedit\"");
}

TEST_F(ApplicationOptionsTest, AutoStartWritesTheRunValueAndTheDesktopEntry) {
    options_.EnableAutoStart();
    EXPECT_EQ(RegistryStore::CurrentUser().ReadString(kRunKey, "Tarvik", ""),
              "\"" + ProgramPath() + "\" /login");
    EXPECT_THAT(log_.Messages(),
                ElementsAre("App: Info: Created Software\\Microsoft\\Windows\\CurrentVersion\\Run "
                            "under 2147483649",
                            "App: Info: Value successfully written to registry"));
    const auto entry = log_.Hives().ConfigHome() / "autostart" / "tarvik.desktop";
    EXPECT_EQ(AutostartEntryPath(), entry);
    EXPECT_THAT(ReadFileText(entry), HasSubstr("[Desktop Entry]\nType=Application\n"));
    EXPECT_THAT(ReadFileText(entry), HasSubstr("\nExec=\"" + ProgramPath() + "\" /login\n"));

    // Restoring and saving the defaults leaves the entry as it is.
    options_.AutoStartOnLogin = 1;
    options_.ResetToDefaults();
    options_.Save();
    EXPECT_EQ(RegistryStore::CurrentUser().ReadDword(kSettingsKey, "AutoStartOnLogin", 7), 0u);
    EXPECT_TRUE(std::filesystem::exists(entry));

    options_.DisableAutoStart();
    EXPECT_FALSE(RegistryStore::CurrentUser().ReadValue(kRunKey, "Tarvik").has_value());
    EXPECT_FALSE(std::filesystem::exists(entry));
    options_.DisableAutoStart();  // nothing left to remove: harmless

    // A plain file where the user hive's folder should be: the failure is shown.
    std::filesystem::remove_all(log_.Hives().ConfigHome() / "tarvik");
    std::ofstream(log_.Hives().ConfigHome() / "tarvik") << "x";
    RegistryStore::ResetDefaultHives();
    options_.EnableAutoStart();
    EXPECT_THAT(log_.Messages(), Contains("App: Error: Could not write value to registry"));
    EXPECT_THAT(log_.Messages(), Contains("App: Info: Error writing to registry; Could not enable "
                                          "auto start on login."));
}

TEST(AutostartEntry, QuotesTheProgramPathForTheExecKey) {
    EXPECT_EQ(QuoteExecArgument("/opt/My Apps/tarvik"), "\"/opt/My Apps/tarvik\"");
    EXPECT_EQ(QuoteExecArgument("/a\"b$c`d"), "\"/a\\\\\"b\\\\$c\\\\`d\"");
    EXPECT_EQ(QuoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(QuoteExecArgument("/100%/x"), "\"/100%%/x\"");
}

}  // namespace
}  // namespace tarvik
