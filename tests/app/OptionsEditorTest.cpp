#include "app/OptionsEditor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"

namespace tarvik::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct FakeEffects : IOptionEffects {
    std::vector<std::string> calls;
    void RefreshNetworkTable() override { calls.push_back("RefreshNetworkTable"); }
    void RestartTimer(int id) override { calls.push_back("RestartTimer " + std::to_string(id)); }
    void SetGridLines(bool on) override { calls.push_back(on ? "GridLines on" : "GridLines off"); }
    void RepaintTable() override { calls.push_back("RepaintTable"); }
    void ReopenGpsPort() override { calls.push_back("ReopenGpsPort"); }
    void RestartDeviceInfoTimer() override { calls.push_back("RestartDeviceInfoTimer"); }
};

struct FakeConfirm : IConfirmBoxes {
    bool answer = false;
    std::vector<std::string> asked;
    bool AskYesNo(const std::string& text, const std::string& caption, MessageIcon icon) override {
        asked.push_back(caption + ": " + text +
                        (icon == MessageIcon::Information ? " (information)" : ""));
        return answer;
    }
};

const OptionProperty& Property(const char* label) {
    const OptionProperty* property = FindPropertyByName(label);
    EXPECT_NE(property, nullptr) << label;
    return *property;
}

class OptionsEditorTest : public ::testing::Test {
  protected:
    // The record as the user hive holds it now.
    CApplicationOptions Stored() {
        CApplicationOptions stored(nullptr, options_.ExecutablePathName());
        stored.Load();
        return stored;
    }
    bool AnythingSaved() {
        return !RegistryStore::CurrentUser()
                    .EnumerateValues(options_.SectionKey("Settings"))
                    .empty();
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    CApplicationOptions options_{nullptr, (folder_.Path() / "bin" / "tarvik").string()};
    FakeEffects effects_;
    COptionsEditor editor_{options_, effects_};
};

struct EffectRow {
    const char* name;
    const char* label;
    const char* text;
    std::int32_t stored;
    const char* effect;  // "" for none
};

const EffectRow kEffectRows[] = {
    {"SoftRefresh", "Soft Refresh Interval", "200", 200, "RestartTimer 1"},
    {"HardRefresh", "Hard Refresh Interval", "30", 30, "RestartTimer 2"},
    {"Hopping", "Hopping State Machine Interval", "30000", 30000, "RestartTimer 3"},
    {"AutoSave", "Auto Save Interval", "60", 60, "RestartTimer 6"},
    {"AngleFormat", "Angle Format", "dd", 0, "RefreshNetworkTable"},
    {"SignalUnits", "Signal Strength Units", "Percentages", 2, "RefreshNetworkTable"},
    {"ComPort", "COM Port", "COM12", 12, "ReopenGpsPort"},
    {"BaudRate", "Baud Rate", "9600 bps", 9600, "ReopenGpsPort"},
    {"DataBits", "Data Bits", "7 bits", 7, "ReopenGpsPort"},
    {"Parity", "Parity", "Even", 2, "ReopenGpsPort"},
    {"StopBits", "Stop Bits", "1.5 stop bits", 1, "ReopenGpsPort"},
    {"Handshaking", "Handshaking", "software", 2, "ReopenGpsPort"},
    {"GridLines", "Should Table Grid Lines", "off", 0, "GridLines off"},
    {"DeviceInfo", "Device Information Refresh Interval", "5", 5, "RestartDeviceInfoTimer"},
    {"Coloring", "Network Coloring", "off", 0, "RepaintTable"},
    {"EapolTimeout", "EAPOL Negotiation Timeout", " +3 ", 3, ""},
    {"WpaColour", "Color for WPA Networks", "#102030", 0x302010, ""},
    {"FileLogLimit", "File Log Limit", "10000", 10000, ""},
    {"ColoringSetup", "Table Coloring Setup", "signal strength", 3, ""},
};

void PrintTo(const EffectRow& row, std::ostream* os) {
    *os << row.name;
}

class OptionEffect : public OptionsEditorTest, public ::testing::WithParamInterface<EffectRow> {};

// An accepted change is stored, its one side effect runs, and the whole
// record (with changes made elsewhere in memory) reaches the hive at once.
TEST_P(OptionEffect, IsAppliedAndSavedWithTheWholeRecord) {
    const EffectRow& row = GetParam();
    const OptionProperty& property = Property(row.label);
    options_.MinimizeToTrayOnClose = 0;
    EXPECT_EQ(editor_.CommitText(property, row.text), RES_OPTION_ACCEPTED);
    EXPECT_EQ(options_.*property.member, row.stored);
    if (*row.effect == '\0') {
        EXPECT_THAT(effects_.calls, IsEmpty());
    } else {
        EXPECT_THAT(effects_.calls, ElementsAre(row.effect));
    }
    const CApplicationOptions stored = Stored();
    EXPECT_EQ(stored.*property.member, row.stored);
    EXPECT_EQ(stored.MinimizeToTrayOnClose, 0);
    // The same value again changes nothing and runs nothing.
    effects_.calls.clear();
    EXPECT_EQ(editor_.CommitText(property, FormatPropertyValue(property, row.stored)),
              RES_OPTION_UNCHANGED);
    EXPECT_THAT(effects_.calls, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Options, OptionEffect, ::testing::ValuesIn(kEffectRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A value that does not parse or lies outside the limits or choices is
// refused: the old value stays, nothing runs and nothing is written.
TEST_F(OptionsEditorTest, RefusesUnparsableAndOutOfRangeValues) {
    const std::pair<const char*, const char*> rows[] = {
        {"Soft Refresh Interval", "250"},
        {"Soft Refresh Interval", "12abc"},
        {"Soft Refresh Interval", ""},
        {"Soft Refresh Interval", "1 2"},
        {"Soft Refresh Interval", "99999999999"},
        {"Hopping State Machine Interval", "499"},
        {"Maximum RSSI values Per BSSID", "-5"},
        {"COM Port", "COM13"},
        {"Parity", "3"},
        {"Remove Undetected Stations", "2"},
        {"Color for WEP Networks", "#12345G"},
    };
    for (const auto& [label, text] : rows) {
        SCOPED_TRACE(std::string(label) + " = '" + text + "'");
        const OptionProperty& property = Property(label);
        const std::int32_t before = options_.*property.member;
        EXPECT_EQ(editor_.CommitText(property, text), RES_OPTION_REFUSED);
        EXPECT_EQ(options_.*property.member, before);
    }
    EXPECT_THAT(effects_.calls, IsEmpty());
    EXPECT_FALSE(AnythingSaved());
}

// No changes nothing; Yes puts the defaults back in memory only: no side
// effect, nothing written, the login entry untouched.
TEST_F(OptionsEditorTest, RestoreDefaultsAsksFirstAndOnlyChangesMemory) {
    EXPECT_EQ(editor_.CommitText(Property("Auto Start on Login"), "on"), RES_OPTION_ACCEPTED);
    EXPECT_EQ(RegistryStore::CurrentUser().ReadString(kRunKey, "Tarvik", ""),
              options_.AutoStartCommand());
    EXPECT_EQ(editor_.CommitText(Property("Soft Refresh Interval"), "7"), RES_OPTION_ACCEPTED);
    effects_.calls.clear();
    FakeConfirm confirm;
    EXPECT_FALSE(editor_.RestoreDefaults(confirm));
    EXPECT_EQ(options_.SoftRefreshInterval, 7);
    confirm.answer = true;
    EXPECT_TRUE(editor_.RestoreDefaults(confirm));
    EXPECT_THAT(confirm.asked, ElementsAre("Please confirm: All the customized settings will be "
                                           "lost. Continue? (information)",
                                           ::testing::_));
    for (const auto& field : CApplicationOptions::Fields()) {
        EXPECT_EQ(options_.*field.member, field.defaultValue) << field.valueName;
    }
    EXPECT_THAT(effects_.calls, IsEmpty());
    EXPECT_EQ(Stored().SoftRefreshInterval, 7);
    EXPECT_EQ(Stored().AutoStartOnLogin, 1);
    EXPECT_TRUE(RegistryStore::CurrentUser().ReadValue(kRunKey, "Tarvik").has_value());
    // Switching it off (from the restored off, via on) removes the entry.
    EXPECT_EQ(editor_.CommitText(Property("Auto Start on Login"), "on"), RES_OPTION_ACCEPTED);
    EXPECT_EQ(editor_.CommitText(Property("Auto Start on Login"), "off"), RES_OPTION_ACCEPTED);
    EXPECT_FALSE(RegistryStore::CurrentUser().ReadValue(kRunKey, "Tarvik").has_value());
}

struct FakeOptionsView : IOptionsDialogView {
    std::function<void(COptionsEditor&)> user;
    std::vector<std::string> calls;
    void RunOptionsDialog(COptionsEditor& editor) override { user(editor); }
    void RepaintNetworkTable() override { calls.push_back("Repaint"); }
};

class OptionsFromMainWindow : public MainDialogFixture {};

// View, Options... over the running controller: 250 is refused, 200 runs
// timer 1 every 200 seconds at once; grid lines and colouring reach the
// window. Without a dialog the command is disabled.
TEST_F(OptionsFromMainWindow, ChangesTakeEffectInTheRunningWindow) {
    FakeOptionsView dialog;
    optionsView_ = &dialog;
    StartRunning();
    dialog.user = [](COptionsEditor& editor) {
        EXPECT_EQ(editor.CommitText(Property("Soft Refresh Interval"), "250"), RES_OPTION_REFUSED);
        EXPECT_EQ(editor.CommitText(Property("Soft Refresh Interval"), "200"), RES_OPTION_ACCEPTED);
        EXPECT_EQ(editor.CommitText(Property("Should Table Grid Lines"), "off"),
                  RES_OPTION_ACCEPTED);
        EXPECT_EQ(editor.CommitText(Property("Network Coloring"), "off"), RES_OPTION_ACCEPTED);
        EXPECT_EQ(editor.CommitText(Property("Device Information Refresh Interval"), "3"),
                  RES_OPTION_ACCEPTED);
    };
    EXPECT_TRUE(dialog_->QueryCommandState(ID_VIEW_OPTIONS).enabled);
    dialog_->ExecuteCommand(ID_VIEW_OPTIONS);
    EXPECT_THAT(loop_.timerCalls, ElementsAre("Stop 1", "Start 1 200000"));
    EXPECT_THAT(view_.calls, ElementsAre("GridLines off"));
    EXPECT_THAT(dialog.calls, ElementsAre("Repaint"));
    EXPECT_EQ(RegistryStore::CurrentUser().ReadDword(options_.SectionKey("Settings"),
                                                     "SoftRefreshInterval", 0),
              200u);

    dialog_.reset();
    optionsView_ = nullptr;
    Create();
    EXPECT_FALSE(dialog_->QueryCommandState(ID_VIEW_OPTIONS).enabled);
}

}  // namespace
}  // namespace tarvik::testing
