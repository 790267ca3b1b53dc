// The profile dialogs' controllers over a real profile list in a temporary
// hive: the key prompt, Remember Network, the Network Editor and the Network
// Profiles list. What was stored is read back by a new list over the same
// file, as the next run of the program would.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <tuple>

#include "MainDialogFixture.h"
#include "app/AddNetworkKey.h"
#include "app/AskForKey.h"
#include "app/CommandIds.h"
#include "app/ManageKeys.h"
#include "app/ProfileDialogs.h"
#include "profiles/ProfileList.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

namespace ts = testing_support;
using Texts = std::vector<std::string>;

Texts Split(const std::string& joined) {
    Texts parts;
    std::istringstream in(joined);
    for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
    return parts;
}

// A message box's expected "Caption: text" from a short name: "SSID",
// "Empty:<class>", "Hex:<n>", "Length:<n>" (# stands for what follows ':').
std::string Message(const std::string& name) {
    const std::pair<const char*, const char*> kTexts[] = {
        {"SSID", "SSID: Please enter the SSID of the network to be saved"},
        {"Empty", "Empty Key: Key field cannot be empty for a # network"},
        {"Hex",
         "Hex Key: The WEP key you entered can only contain hex characters as it is # "
         "characters long."},
        {"Length",
         "Incorrect Length: WEP keys must be one of 5 or 13 ASCII characters and 10 or "
         "26 hex characters. Your key is # characters. Please try with another key."}};
    const std::size_t colon = name.find(':');
    for (const auto& [key, text] : kTexts) {
        if (name.substr(0, colon) != key) continue;
        std::string message = text;
        if (colon != std::string::npos)
            message.replace(message.find('#'), 1, name.substr(colon + 1));
        return message;
    }
    return name;
}

Texts Messages(const std::string& names) {
    Texts texts = Split(names);
    for (std::string& text : texts) text = Message(text);
    return texts;
}

// The prompt gets `typed` texts, OK after each, until one is accepted (none:
// Cancel). What it showed and every message are kept in `shown`.
struct FakeProfileDialogs : IProfileDialogs, IMessageBoxes {
    Texts typed, shown;
    bool remember = true;
    std::function<bool(CAddNetworkKey&)> editor;
    std::function<void(CManageKeys&)> profiles;

    bool RunAskForKey(CAskForKey& prompt) override {
        shown.push_back("shows '" + prompt.InitialKeyText() +
                        (prompt.RememberEnabled() ? "'" : "' fixed"));
        for (const std::string& text : typed) {
            if (prompt.OnOk(text, remember, *this)) return true;
        }
        return false;
    }
    bool RunNetworkEditor(CAddNetworkKey& e) override { return editor(e); }
    void RunNetworkProfiles(CManageKeys& m) override { profiles(m); }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        shown.push_back(caption + ": " + text);
    }
};

// "ssid=home;type=2;key=abc": the editor's changes in order (type, mode,
// auto, match and priority take numbers).
void Edit(CAddNetworkKey& editor, const std::string& changes) {
    const std::tuple<const char*, ProfilePropertyId, bool> names[] = {
        {"ssid", PROP_NETWORK_SSID, true},  {"bssid", PROP_BSSID, true},
        {"key", PROP_NETWORK_KEY, true},    {"type", PROP_NETWORK_TYPE, false},
        {"auto", PROP_AUTO_CONNECT, false}, {"priority", PROP_PRIORITY, false}};
    std::istringstream in(changes);
    for (std::string change; std::getline(in, change, ';');) {
        const std::string name = change.substr(0, change.find('='));
        std::string value = change.substr(name.size() + 1);
        // "k*101": the letter 101 times.
        if (value.size() > 2 && value[1] == '*')
            value = std::string(std::stoul(value.substr(2)), value[0]);
        for (const auto& [text, id, isText] : names) {
            if (name == text && isText) editor.OnTextChanged(id, value);
            if (name == text && !isText) editor.OnValueChanged(id, std::stoi(value));
        }
    }
}

// 1 open, 2 WEP, 3 WPA, 4 WPA2.
BssidRecord Network(const char* ssid, int security, std::uint8_t mac = 1) {
    ndis::BssidEntryFields fields = ts::Fields(mac, -50, security == 1 ? 0 : 1);
    fields.SetSsid(ssid);
    if (security == 3) fields = ts::WithElements(fields, {ts::kWpaPskTkip});
    if (security == 4) fields = ts::WithElements(fields, {ts::kRsnPskCcmp});
    auto record = std::make_shared<CBssid>(ts::Entry(fields), 0);
    EXPECT_EQ(record->SecurityClass(), security);
    return record;
}

class ProfileTest : public testing::MainDialogFixture {
  protected:
    // "ssid=key" of each profile a new list reads from the hive file.
    Texts Stored() const {
        RegistryStore fresh(options_.UserHive().FilePath(), "HKEY_CURRENT_USER");
        CProfileList list(fresh, options_.ApplicationKey());
        list.Load();
        Texts texts;
        for (std::size_t i = 0; i < list.Size(); ++i) {
            texts.push_back(list.At(i).SsidText() + "=" + list.At(i).KeyText());
        }
        return texts;
    }
    // Appended to the stored list by a list of its own.
    void Store(const BssidRecord& network, const char* key) {
        CProfileList writer(options_.UserHive(), options_.ApplicationKey());
        writer.Load();
        auto profile = std::make_unique<CNetworkKey>();
        profile->FillFromRecord(*network, false);
        profile->SetKeyFromText(key, KEY_TYPE_ASCII);
        writer.Add(std::move(profile));
    }

    CProfileList list_{options_.UserHive(), options_.ApplicationKey()};
    FakeProfileDialogs dialogs_;
    CProfileCommands commands_{list_, dialogs_, options_, [] { return false; }};
};

// `typed`: the texts OK is pressed after ('|' between); `outcome`:
// "cancelled" or "kept|temporary <key type>:<key text>".
struct PromptRow {
    const char* name;
    int security;
    const char* storedKey;  // a profile for the network before; nullptr: none
    const char* typed;
    bool remember;
    const char* outcome;
    const char* shown;
    const char* stored;
};

void PrintTo(const PromptRow& row, std::ostream* out) {
    *out << row.name;
}

const PromptRow kPromptRows[] = {
    {"WepNotHexRefusedThenHexKey", 2, nullptr, "zzzzzzzzzz|0123456789", true, "kept 2:0123456789",
     "shows ''|Hex:10", "other=otherkey|home=0123456789"},
    {"WepBadLengthThenCancel", 2, nullptr, "abcdef", true, "cancelled", "shows ''|Length:6",
     "other=otherkey"},
    {"WepFiveCharactersAscii", 2, nullptr, "abcde", true, "kept 1:abcde", "shows ''",
     "other=otherkey|home=abcde"},
    {"WpaPassphraseNotRemembered", 3, nullptr, "abcdefghijklmnopqrstuvwxyz", false,
     "temporary 1:abcdefghijklmnopqrstuvwxyz", "shows ''", "other=otherkey"},
    {"RememberedMovesToTheEnd", 4, "oldpassphrase", "newpassphrase", true, "kept 1:newpassphrase",
     "shows 'oldpassphrase'", "other=otherkey|home=newpassphrase"},
    {"UncheckedForgetsButKeepsTheKey", 4, "oldpassphrase", "newpassphrase", false,
     "temporary 1:newpassphrase", "shows 'oldpassphrase'", "other=otherkey"},
    {"EmptyTextLeavesNoKey", 4, "oldpassphrase", "|", true, "kept 1:", "shows 'oldpassphrase'",
     "other=otherkey|home="},
    {"CancelKeepsTheProfile", 4, "oldpassphrase", "", true, "cancelled", "shows 'oldpassphrase'",
     "home=oldpassphrase|other=otherkey"},
};

class KeyPromptTest : public ProfileTest, public ::testing::WithParamInterface<PromptRow> {};

TEST_P(KeyPromptTest, AnswersAndStores) {
    const PromptRow& row = GetParam();
    const BssidRecord network = Network("home", row.security);
    if (row.storedKey) Store(network, row.storedKey);
    Store(Network("other", 4, 2), "otherkey");
    dialogs_.typed = std::string(row.typed) == "|" ? Texts{""} : Split(row.typed);
    dialogs_.remember = row.remember;

    CNetworkKey key;
    bool temporary = false;
    std::string outcome = "cancelled";
    if (commands_.GetKeyForNetwork(network, key, temporary) == RES_KEY_OBTAINED) {
        EXPECT_EQ(key.SsidText(), "home");
        outcome = (temporary ? "temporary " : "kept ") + std::to_string(key.keyType) + ":" +
                  key.KeyText();
    }
    EXPECT_EQ(outcome, row.outcome);
    EXPECT_EQ(dialogs_.shown, Messages(row.shown));
    EXPECT_EQ(Stored(), Split(row.stored));
}

INSTANTIATE_TEST_SUITE_P(Rows, KeyPromptTest, ::testing::ValuesIn(kPromptRows),
                         [](const auto& info) { return std::string(info.param.name); });

using RememberCommandTest = ProfileTest;

// In order, each on the state the previous left: the menu state before the
// command, then what the hive holds after it.
TEST_F(RememberCommandTest, RemembersAndForgetsTheSelectedNetwork) {
    profiles_ = &commands_;
    Create();
    const BssidRecord open = Network("cafe", 1, 3);
    const BssidRecord wep = Network("home", 2, 4);
    struct Step {
        const char* name;
        BssidRecord selected;
        int id;
        bool connecting;
        const char* typed;
        bool enabled, checked;
        const char* stored;
    };
    const Step steps[] = {
        {"nothing selected", nullptr, ID_NETWORK_REMEMBER, false, "", false, false, ""},
        {"open: added unasked", open, ID_CONTEXT_REMEMBER, false, "", true, false,
         "cafe=Not Available"},
        {"while connecting", open, ID_NETWORK_REMEMBER, true, "", false, true,
         "cafe=Not Available"},
        {"remembered: forgotten", open, ID_NETWORK_REMEMBER, false, "", true, true, ""},
        {"WEP cancelled", wep, ID_NETWORK_REMEMBER, false, "", true, false, ""},
        {"WEP with a key", wep, ID_CONTEXT_REMEMBER, false, "0123456789", true, false,
         "home=0123456789"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        view_.selected = step.selected;
        dialogs_.typed = Split(step.typed);
        if (step.connecting) dialog_->SendConnectionStarted();
        EXPECT_EQ(dialog_->QueryCommandState(step.id), (CommandState{step.enabled, step.checked}));
        dialog_->ExecuteCommand(step.id);
        if (step.connecting) dialog_->SendConnectionEnded();
        EXPECT_EQ(Stored(), Split(step.stored));
    }
    // A protected network's prompt fixes the box: the profile is the point.
    EXPECT_EQ(dialogs_.shown, (Texts{"shows '' fixed", "shows '' fixed"}));
    commands_.RememberNetwork(nullptr);
    EXPECT_TRUE(testing::Contains(log_.Messages(),
                                  "App: Warn: No network selected when 'Remember' was called'"));
}

// Without a driver the start-up ends before the profiles are loaded; the
// first command loads them, so adding one keeps what was stored.
TEST_F(RememberCommandTest, NetworkProfilesWithoutADriverKeepTheStoredProfiles) {
    Store(Network("home", 3), "passphrase1");
    profiles_ = &commands_;
    Create();
    EXPECT_FALSE(dialog_->Initialize());
    dialogs_.editor = [this](CAddNetworkKey& editor) {
        Edit(editor, "ssid=cafe");
        return editor.OnSave(dialogs_);
    };
    dialogs_.profiles = [](CManageKeys& manager) { manager.AddNew(); };
    ASSERT_TRUE(dialog_->QueryCommandState(ID_VIEW_PROFILES).enabled);
    dialog_->ExecuteCommand(ID_VIEW_PROFILES);
    EXPECT_EQ(Stored(), (Texts{"home=passphrase1", "cafe=Not Available"}));
}

// A stored profile that cannot be read is kept, and the user is told once.
TEST_F(RememberCommandTest, UnreadableProfilesAreReportedOnTheStatusLine) {
    const std::string key = options_.ApplicationKey() + "\\NetworkKeys";
    ASSERT_TRUE(options_.UserHive().WriteDword(key, "Size", 1));
    ASSERT_TRUE(options_.UserHive().WriteBinary(key, "0", {1, 2, 3}));
    commands_.LoadProfiles();
    commands_.LoadProfiles();
    const Texts lines = log_.Messages();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.starts_with("App: Info: The saved network profile");
                            }),
              1);
}

// `enabled`: one letter per property in id order after the changes, 1 when
// enabled.
struct EditorRow {
    const char* name;
    const char* changes;
    const char* message;  // "": saved
    std::uint32_t keyType, keyLength;
    const char* bssid;
    const char* enabled;
};

void PrintTo(const EditorRow& row, std::ostream* out) {
    *out << row.name;
}

const char* const kZeros = "00:00:00:00:00:00";
const char* const kOpen = "1111000111";
const char* const kKeyed = "1111100111";

const EditorRow kEditorRows[] = {
    {"NoSsid", "type=1", "SSID", 1, 0, kZeros, kOpen},
    {"SsidLongerThanItsField", "ssid=s*33", "SSID", 1, 0, kZeros, kOpen},
    {"OpenWithoutKey", "ssid=home", "", 1, 0, kZeros, kOpen},
    {"WpaWithoutKey", "ssid=home;type=3;auto=0", "Empty:WPA", 1, 0, kZeros, "1111100100"},
    {"KeyOver100Bytes", "ssid=h;type=3;key=k*101", "Empty:WPA", 1, 101, kZeros, kKeyed},
    {"HugeKeyStaysInItsField", "ssid=h;type=4;key=k*5000", "Empty:WPA2", 1, 1000, kZeros, kKeyed},
    {"WepTenNotHex", "ssid=h;type=2;key=zzzzzzzzzz", "Hex:10", 2, 5, kZeros, kKeyed},
    {"WepSixCharacters", "ssid=h;type=2;key=abcdef", "Length:6", 1, 6, kZeros, kKeyed},
    {"WepFiveAscii", "ssid=h;type=2;key=abcde", "", 1, 5, kZeros, kKeyed},
    {"WepTenHex", "ssid=h;type=2;key=0123456789", "", 2, 5, kZeros, kKeyed},
    {"TypeChangeTakesTheKeyAgain", "ssid=h;type=3;key=0123456789;type=2", "", 2, 5, kZeros, kKeyed},
    {"OpenDropsAKeyTooLongToStore", "ssid=h;type=2;key=k*950;type=1", "", 1, 0, kZeros, kOpen},
    {"BssidShortParts", "ssid=h;bssid=0:1a:2b:3c:4d:5e", "", 1, 0, "00:1a:2b:3c:4d:5e", kOpen},
    {"BssidEmptyAndLongParts", "ssid=h;bssid=::::a:bcd", "", 1, 0, "00:00:00:00:0a:bc", kOpen},
    {"BssidElevenDigitsIgnored", "ssid=h;bssid=001A2B3C4D5E;bssid=0123456789a;bssid=1:2:3:4:5:6:7",
     "", 1, 0, "00:1a:2b:3c:4d:5e", kOpen},
};

class NetworkEditorTest : public ::testing::TestWithParam<EditorRow> {};

TEST_P(NetworkEditorTest, ChangesThenSave) {
    const EditorRow& row = GetParam();
    CNetworkKey profile;
    CAddNetworkKey editor(profile);
    Edit(editor, row.changes);
    std::string enabled;
    for (const ProfileProperty& property : editor.Properties()) {
        enabled += editor.IsEnabled(property.id) ? '1' : '0';
    }
    EXPECT_EQ(enabled, row.enabled);
    FakeProfileDialogs boxes;
    EXPECT_EQ(editor.OnSave(boxes), *row.message == '\0');
    EXPECT_EQ(boxes.shown, Messages(row.message));
    EXPECT_EQ(profile.keyType, row.keyType);
    EXPECT_EQ(profile.keyLength, row.keyLength);
    EXPECT_EQ(profile.BssidText(), row.bssid);
}

INSTANTIATE_TEST_SUITE_P(Rows, NetworkEditorTest, ::testing::ValuesIn(kEditorRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct FakeHeader : IListHeader {
    std::vector<int> widths = std::vector<int>(9, 0), order{0, 1, 2, 3, 4, 5, 6, 7, 8};
    int ColumnCount() const override { return 9; }
    std::vector<int> DisplayOrder() const override { return order; }
    void SetDisplayOrder(const std::vector<int>& o) override { order = o; }
    int ColumnWidth(int column) const override { return widths.at(column); }
    void SetColumnWidth(int column, int width) override { widths.at(column) = width; }
    void Repaint() override {}
};

using ManageKeysTest = ProfileTest;

TEST_F(ManageKeysTest, RowsEditingRemovingAndTheLayout) {
    FakeHeader header;
    {
        CManageKeys manager(list_, dialogs_, options_);
        manager.OnShown(header);
        EXPECT_EQ(header.widths, (std::vector<int>{80, 110, 80, 40, 60, 40, 50, 80, 80}));
        // "Add New..." four times; the editor's Save adds, its Cancel does not.
        for (const char* ssid : {"a", "b", "", "c"}) {
            dialogs_.editor = [ssid](CAddNetworkKey& editor) {
                Edit(editor, std::string("ssid=") + ssid + ";type=3;key=passphrase");
                return *ssid != '\0';
            };
            manager.AddNew();
        }
        // A double click edits the first selected row's copy, which moves last.
        dialogs_.editor = [](CAddNetworkKey& editor) {
            Edit(editor, "priority=7;auto=0");
            return true;
        };
        manager.EditFirstSelected({2, 0});
        dialogs_.editor = [](CAddNetworkKey&) { return false; };
        manager.EditFirstSelected({0});
        EXPECT_EQ(Stored(), Split("b=passphrase|c=passphrase|a=passphrase"));
        EXPECT_EQ(manager.RowTexts(2), Split("a|00:00:00:00:00:00|passphrase|ASCII|WPA|No|7|No|"
                                             "Infrastructure"));
        manager.RemoveSelected({0, 2, 0, 9});
        EXPECT_EQ(Stored(), Texts{"c=passphrase"});
        header.widths[3] = 123;
        manager.OnDestroyed();
    }
    // The next opening of the dialog finds its layout again.
    FakeHeader next;
    CManageKeys manager(list_, dialogs_, options_);
    manager.OnShown(next);
    EXPECT_EQ(next.widths[3], 123);
    EXPECT_TRUE(
        options_.UserHive().ReadValue(options_.SectionKey("NetColumnData"), "Column Count"));
}

}  // namespace
}  // namespace tarvik
