#include "core/ApplicationOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "LogCapture.h"
#include "core/AutostartEntry.h"
#include "core/OptionProperties.h"
#include "core/StatusLine.h"

namespace tarvik {
namespace {

using ::testing::AllOf;
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

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    CApplicationOptions options_{nullptr, ProgramPath()};
};

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

// A value the Options dialog allows for the field, other than its default
// where there is one.
std::int32_t OtherAllowedValue(const CApplicationOptions::Field& field) {
    const OptionProperty* property = FindProperty(field.member);
    const std::int32_t value = field.defaultValue;
    if (property == nullptr) return value == 0 ? 1 : 0;
    switch (property->kind) {
        case OptionKind::Number:
            return value == property->upper ? property->lower : property->upper;
        case OptionKind::Choice:
            return property->choices.back().value == value ? property->choices.front().value
                                                           : property->choices.back().value;
        case OptionKind::Colour:
            return value ^ 0x102030;
        default:
            return value == 0 ? 1 : 0;
    }
}

// The record starts at the defaults the shipped file holds; every stored field is
// saved as a DWORD and loaded back, a missing one leaving the value.
TEST_F(ApplicationOptionsTest, StartsAtTheShippedDefaultsAndSavesAndLoadsEveryStoredValue) {
    const auto copy = folder_.Path() / "settings.reg";
    std::filesystem::copy_file(std::string(TARVIK_SOURCE_DIR) + "/share/settings.reg", copy);
    RegistryStore shipped(copy, "HKEY_CURRENT_USER");
    std::int32_t stored = 0;
    for (const auto& field : CApplicationOptions::Fields()) {
        EXPECT_EQ(options_.*field.member, field.defaultValue);
        if (!field.valueName) continue;
        EXPECT_EQ(shipped.ReadDword(kSettingsKey, field.valueName, ~0u),
                  static_cast<std::uint32_t>(field.defaultValue))
            << field.valueName;
        options_.*field.member = OtherAllowedValue(field);
        ++stored;
    }
    EXPECT_EQ(stored, 45);
    EXPECT_EQ(shipped.EnumerateValues(kSettingsKey).size(), 45u);
    // One locked, atomic write per save; a save that changes nothing writes nothing.
    RegistryStore& hive = RegistryStore::CurrentUser();
    std::filesystem::create_directories(hive.FilePath().parent_path());
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, hive.FilePath().parent_path().c_str(),
                                  IN_MOVED_FROM | IN_MOVED_TO),
              0);
    EXPECT_EQ(options_.Save(), 0);
    EXPECT_EQ(options_.Save(), 0);
    EXPECT_EQ(CountRenamesInto(watch, "user.reg"), 1);
    ::close(watch);
    const std::vector<RegValue> values = hive.EnumerateValues(kSettingsKey);
    EXPECT_EQ(values.size(), 45u);
    for (const RegValue& value : values) EXPECT_EQ(value.type, RegType::Dword) << value.name;
    hive.DeleteValue(kSettingsKey, "HardRefreshInterval");  // missing: the value stays
    CApplicationOptions loaded(nullptr, ProgramPath());
    loaded.HardRefreshInterval = options_.HardRefreshInterval;
    loaded.ConnectionManagerInterval = 7;
    EXPECT_EQ(loaded.Load(), 0);
    for (const auto& field : CApplicationOptions::Fields()) {
        if (!field.valueName) continue;
        EXPECT_EQ(loaded.*field.member, options_.*field.member) << field.valueName;
    }
    EXPECT_EQ(loaded.ConnectionManagerInterval, 7);  // not stored, untouched
}

// A hand-edited hive never hands the program a value the dialog refuses:
// numbers are clamped to the nearer limit, unknown choices and impossible
// colours fall back to the default, switches read as on or off; each repair
// is logged with the value's name.
TEST_F(ApplicationOptionsTest, LoadRepairsHandEditedValuesOutsideTheLimits) {
    struct Row {
        const char* name;
        const char* stored;  // the hive's dword text
        std::int32_t loaded;
    };
    const Row rows[] = {
        {"SoftRefreshInterval", "00000000", 1},    // a 0 ms timer
        {"HardRefreshInterval", "0000ffff", 200},  // above the upper limit
        {"HoppingStateMachineInterval", "00000001", 500},
        {"MaximumRssiValuesPerBssid", "fffffffb", 10},  // negative history size
        {"FileLogMaxLines", "80000000", 10},
        {"ComPortNumber", "00000063", 3},  // COM99: the default port
        {"ComParity", "00000001", 1},      // Odd: allowed, kept
        {"TableColorSetup", "00000007", 2},
        {"ColoringEnabled", "00000007", 1},  // any nonzero switch is on
        {"ColorOpenBlock", "ff000000", 0xE5FFE5},
        {"AutoSaveInterval", "000001f4", 500},  // the upper limit itself is kept
    };
    const auto hiveFile = log_.Hives().ConfigHome() / "tarvik" / "user.reg";
    std::filesystem::create_directories(hiveFile.parent_path());
    std::ofstream hive(hiveFile);
    hive << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" << kSettingsKey << "]\n";
    for (const Row& row : rows) hive << '"' << row.name << "\"=dword:" << row.stored << "\n";
    hive.close();
    RegistryStore::ResetDefaultHives();

    EXPECT_EQ(options_.Load(), 0);
    const std::vector<std::string> messages = log_.Messages();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const OptionProperty* property = FindPropertyByName(row.name);
        ASSERT_NE(property, nullptr);
        EXPECT_EQ(options_.*property->member, row.loaded);
        const std::string stored =
            std::to_string(static_cast<std::int32_t>(std::stoul(row.stored, nullptr, 16)));
        const bool kept = stored == std::to_string(row.loaded);
        EXPECT_EQ(
            std::count(messages.begin(), messages.end(),
                       "App: Warn: Setting \"" + std::string(row.name) + "\" holds " + stored +
                           ", which is not allowed; using " + std::to_string(row.loaded) + "."),
            kept ? 0 : 1);
    }
}

// The first launch imports the shipped settings through tarvik-regedit, detached.
TEST_F(ApplicationOptionsTest, FirstLaunchImportRunsTheEditorDetachedOrWarns) {
    EXPECT_TRUE(options_.IsFirstLaunch());
    RegistryStore::CurrentUser().WriteDword(options_.SectionKey("ColumnData"), "Column Count", 30);
    EXPECT_FALSE(options_.IsFirstLaunch());
    EXPECT_THAT(
        log_.Messages(),
        ElementsAre("App: Info: Could not read Column Count, indicating first time startup.",
                    "App: Info: Read Column Count, user has run Tarvik before."));
    std::filesystem::create_directories(Bin());
    EXPECT_EQ(options_.DefaultSettingsFile(), (Bin() / "settings.reg").string());
    for (const std::string error : {"2", "13"}) {  // no editor, then not executable
        EXPECT_FALSE(options_.ImportDefaultSettings());
        EXPECT_EQ(log_.Messages().back(), "App: Warn: ShellExecute returned error " + error +
                                              ", could not import default values.");
        std::ofstream(Bin() / "tarvik-regedit") << "not a program";
    }
    // A stand-in editor that records its arguments, session and standard output.
    const auto editorPath = Bin() / "tarvik-regedit";
    std::ofstream(editorPath) << "#!/bin/sh\nline=\"$(printf '%s|' \"$@\")"
                                 " $(cut -d' ' -f6 /proc/$$/stat) $(readlink /proc/$$/fd/1)\"\n"
                                 "echo \"$line\" >> \"$(dirname \"$0\")/calls.txt\"\n";
    ::chmod(editorPath.c_str(), 0755);
    const std::string settingsFile = (folder_.Path() / "share/tarvik/settings.reg").string();
    std::filesystem::create_directories(folder_.Path() / "share/tarvik");
    std::ofstream(settingsFile) << "Windows Registry Editor Version 5.00\n";
    EXPECT_TRUE(options_.ImportDefaultSettings());
    // Its own session, output to /dev/null, and no child left to reap here.
    std::vector<std::string> calls;
    for (int i = 0; i < 1000 && calls.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        calls = SplitLogLines(ReadFileText(Bin() / "calls.txt"));
    }
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_THAT(calls[0], ::testing::MatchesRegex("/s\\|.*/settings\\.reg\\| [0-9]+ /dev/null"));
    EXPECT_THAT(calls[0], ::testing::Not(HasSubstr(" " + std::to_string(::getsid(0)) + " ")));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    const std::string editor = "\"" + editorPath.string() + "\"";
    const std::vector<std::string> messages = log_.Messages();
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
                ElementsAre("App: Info: Created " + std::string(kRunKey) + " under 2147483649",
                            "App: Info: Value successfully written to registry"));
    const auto entry = log_.Hives().ConfigHome() / "autostart" / "tarvik.desktop";
    EXPECT_THAT(ReadFileText(entry), AllOf(HasSubstr("[Desktop Entry]\nType=Application\n"),
                                           HasSubstr("\nExec=\"" + ProgramPath() + "\" /login\n")));
    // The Exec key's quoting and escapes.
    EXPECT_EQ(QuoteExecArgument("/opt/My Apps/tarvik"), "\"/opt/My Apps/tarvik\"");
    EXPECT_EQ(QuoteExecArgument("/a\"b$c`d"), "\"/a\\\\\"b\\\\$c\\\\`d\"");
    EXPECT_EQ(QuoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(QuoteExecArgument("/100%/x"), "\"/100%%/x\"");
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

}  // namespace
}  // namespace tarvik
