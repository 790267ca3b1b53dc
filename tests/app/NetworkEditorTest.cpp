// The Network Editor's property handling and "Save" checks, and the Network
// Profiles list: rows, editing moves a profile to the end, the column layout.
#include <gtest/gtest.h>

#include <numeric>

#include "../core/LogCapture.h"
#include "app/AddNetworkKey.h"
#include "app/ListHeader.h"
#include "app/ManageKeys.h"
#include "app/ProfileDialogs.h"
#include "profiles/ProfileList.h"

namespace tarvik {
namespace {

struct RecordedBoxes : IMessageBoxes {
    std::vector<std::string> shown;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        shown.push_back(caption + ": " + text);
    }
};

// A text for the SSID, BSSID or key, or a value for the others.
struct Change {
    ProfilePropertyId id;
    std::string text;
    int value = 0;
};

struct EditorRow {
    const char* name;
    std::vector<Change> changes;
    const char* message;  // nullptr: saved
    std::uint32_t keyType;
    std::uint32_t keyLength;
    const char* bssid;
};

void PrintTo(const EditorRow& row, std::ostream* out) {
    *out << row.name;
}

const Change kSsid{PROP_NETWORK_SSID, "home"};
Change Type(int security) {
    return {PROP_NETWORK_TYPE, "", security};
}
Change Key(std::string text) {
    return {PROP_NETWORK_KEY, std::move(text)};
}
const char* const kNoBssid = "00:00:00:00:00:00";

const EditorRow kEditorRows[] = {
    {"NoSsid", {}, "SSID: Please enter the SSID of the network to be saved", 1, 0, kNoBssid},
    {"SsidLongerThanItsField",
     {{PROP_NETWORK_SSID, std::string(33, 's')}},
     "SSID: Please enter the SSID of the network to be saved",
     1,
     0,
     kNoBssid},
    {"OpenWithoutKey", {kSsid}, nullptr, 1, 0, kNoBssid},
    {"WpaWithoutKey",
     {kSsid, Type(3)},
     "Empty Key: Key field cannot be empty for a WPA network",
     1,
     0,
     kNoBssid},
    {"KeyOver100Bytes",
     {kSsid, Type(3), Key(std::string(101, 'k'))},
     "Empty Key: Key field cannot be empty for a WPA network",
     1,
     101,
     kNoBssid},
    {"HugeKeyStaysInItsField",
     {kSsid, Type(4), Key(std::string(5000, 'k'))},
     "Empty Key: Key field cannot be empty for a WPA2 network",
     1,
     1000,
     kNoBssid},
    {"WepTenNotHex",
     {kSsid, Type(2), Key("zzzzzzzzzz")},
     "Hex Key: The WEP key you entered can only contain hex characters as it is 10 characters "
     "long.",
     2,
     5,
     kNoBssid},
    {"WepSixCharacters",
     {kSsid, Type(2), Key("abcdef")},
     "Incorrect Length: WEP keys must be one of 5 or 13 ASCII characters and 10 or 26 hex "
     "characters. Your key is 6 characters. Please try with another key.",
     1,
     6,
     kNoBssid},
    {"WepFiveAscii", {kSsid, Type(2), Key("abcde")}, nullptr, 1, 5, kNoBssid},
    {"WepTenHex", {kSsid, Type(2), Key("0123456789")}, nullptr, 2, 5, kNoBssid},
    {"TypeChangeTakesTheKeyAgain",
     {kSsid, Type(3), Key("0123456789"), Type(2)},
     nullptr,
     2,
     5,
     kNoBssid},
    {"OpenDropsAKeyTooLongToStore",
     {kSsid, Type(2), Key(std::string(950, 'k')), Type(1)},
     nullptr,
     1,
     0,
     kNoBssid},
    {"BssidShortParts",
     {kSsid, {PROP_BSSID, "0:1a:2b:3c:4d:5e"}},
     nullptr,
     1,
     0,
     "00:1a:2b:3c:4d:5e"},
    {"BssidEmptyPartsAndLongOnes",
     {kSsid, {PROP_BSSID, "::::a:bcd"}},
     nullptr,
     1,
     0,
     "00:00:00:00:0a:bc"},
    {"BssidElevenDigitsIgnored",
     {kSsid,
      {PROP_BSSID, "001A2B3C4D5E"},
      {PROP_BSSID, "0123456789a"},
      {PROP_BSSID, "1:2:3:4:5:6:7"}},
     nullptr,
     1,
     0,
     "00:1a:2b:3c:4d:5e"},
};

class NetworkEditorTest : public ::testing::TestWithParam<EditorRow> {};

TEST_P(NetworkEditorTest, ChangesThenSave) {
    const EditorRow& row = GetParam();
    CNetworkKey profile;
    CAddNetworkKey editor(profile);
    for (const Change& change : row.changes) {
        if (change.id == PROP_NETWORK_SSID || change.id == PROP_BSSID ||
            change.id == PROP_NETWORK_KEY) {
            editor.OnTextChanged(change.id, change.text);
        } else {
            editor.OnValueChanged(change.id, change.value);
        }
    }
    RecordedBoxes boxes;
    EXPECT_EQ(editor.OnSave(boxes), row.message == nullptr);
    EXPECT_EQ(boxes.shown,
              row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
    EXPECT_EQ(profile.keyType, row.keyType);
    EXPECT_EQ(profile.keyLength, row.keyLength);
    EXPECT_EQ(profile.BssidText(), row.bssid);
}

INSTANTIATE_TEST_SUITE_P(Rows, NetworkEditorTest, ::testing::ValuesIn(kEditorRows),
                         [](const auto& info) { return std::string(info.param.name); });

// One letter per property in id order: 1 enabled, 0 not.
TEST(NetworkEditorStateTest, EnabledRulesAndTheShownKey) {
    struct Row {
        int security;
        int autoConnect;
        const char* enabled;
        const char* shownKey;
    };
    for (const Row& row :
         {Row{1, 1, "1111000111", "Not Available"}, Row{2, 0, "1111100100", "0a0b0c0d0e"},
          Row{3, 1, "1111100111", "0a0b0c0d0e"}}) {
        SCOPED_TRACE(row.security);
        CNetworkKey profile;
        profile.securityClass = row.security;
        profile.SetKeyFromText("0a0b0c0d0e", KEY_TYPE_HEX);
        CAddNetworkKey editor(profile);
        editor.OnValueChanged(PROP_AUTO_CONNECT, row.autoConnect);
        std::string enabled;
        for (const ProfileProperty& property : editor.Properties()) {
            enabled += editor.IsEnabled(property.id) ? '1' : '0';
            if (property.id == PROP_NETWORK_KEY) {
                EXPECT_EQ(property.text, row.shownKey);
            }
        }
        EXPECT_EQ(enabled, row.enabled);
    }
    CNetworkKey profile;
    CAddNetworkKey editor(profile);
    editor.OnValueChanged(PROP_PRIORITY, 500);
    EXPECT_EQ(profile.priority, 200u);
}

class FakeHeader : public IListHeader {
  public:
    std::vector<int> widths = std::vector<int>(9, 0);
    std::vector<int> order = std::vector<int>(9, 0);
    FakeHeader() { std::iota(order.begin(), order.end(), 0); }
    int ColumnCount() const override { return 9; }
    std::vector<int> DisplayOrder() const override { return order; }
    void SetDisplayOrder(const std::vector<int>& o) override { order = o; }
    int ColumnWidth(int column) const override { return widths.at(column); }
    void SetColumnWidth(int column, int width) override { widths.at(column) = width; }
    void Repaint() override {}
};

struct EditorScript : IProfileDialogs {
    std::function<bool(CAddNetworkKey&)> editor;
    bool RunAskForKey(CAskForKey&) override { return false; }
    bool RunNetworkEditor(CAddNetworkKey& e) override { return editor(e); }
    void RunNetworkProfiles(CManageKeys&) override {}
};

TEST(ManageKeysTest, RowsEditingRemovingAndTheLayout) {
    TempFolder folder;
    LogCapture log(folder.Path());
    CApplicationOptions options(nullptr, "/opt/tarvik/bin/tarvik");
    CProfileList list(options.UserHive(), options.ApplicationKey());
    EditorScript dialogs;
    const auto rows = [](CManageKeys& manager) {
        std::vector<std::string> texts;
        for (std::size_t row = 0; row < manager.RowCount(); ++row) {
            std::string line;
            for (const std::string& text : manager.RowTexts(row)) line += text + "|";
            texts.push_back(line);
        }
        return texts;
    };
    FakeHeader header;
    {
        CManageKeys manager(list, dialogs, options);
        manager.OnShown(header);
        EXPECT_EQ(header.widths, (std::vector<int>{80, 110, 80, 40, 60, 40, 50, 80, 80}));
        // "Add New..." three times; the editor's Save adds, its Cancel does not.
        for (const char* ssid : {"a", "b", "", "c"}) {
            dialogs.editor = [ssid](CAddNetworkKey& editor) {
                editor.OnTextChanged(PROP_NETWORK_SSID, ssid);
                editor.OnValueChanged(PROP_NETWORK_TYPE, 3);
                editor.OnTextChanged(PROP_NETWORK_KEY, "passphrase");
                return *ssid != '\0';
            };
            manager.AddNew();
        }
        // A double click edits the first selected row's copy, which moves last.
        dialogs.editor = [](CAddNetworkKey& editor) {
            editor.OnValueChanged(PROP_PRIORITY, 7);
            editor.OnValueChanged(PROP_AUTO_CONNECT, 0);
            return true;
        };
        manager.EditFirstSelected({2, 0});
        dialogs.editor = [](CAddNetworkKey&) { return false; };
        manager.EditFirstSelected({0});
        EXPECT_EQ(rows(manager),
                  (std::vector<std::string>{
                      "b|00:00:00:00:00:00|passphrase|ASCII|WPA|Yes|1|No|Infrastructure|",
                      "c|00:00:00:00:00:00|passphrase|ASCII|WPA|Yes|1|No|Infrastructure|",
                      "a|00:00:00:00:00:00|passphrase|ASCII|WPA|No|7|No|Infrastructure|"}));
        manager.RemoveSelected({0, 2, 0, 9});
        ASSERT_EQ(manager.RowCount(), 1u);
        EXPECT_EQ(manager.RowProfile(0)->SsidText(), "c");
        header.widths[3] = 123;
        manager.OnDestroyed();
    }
    // The next opening of the dialog finds its layout again.
    FakeHeader next;
    CManageKeys manager(list, dialogs, options);
    manager.OnShown(next);
    EXPECT_EQ(next.widths[3], 123);
    EXPECT_TRUE(options.UserHive().ReadValue(options.SectionKey("NetColumnData"), "Column Count"));
}

}  // namespace
}  // namespace tarvik
