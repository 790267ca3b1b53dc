// The profile dialogs' controllers over a real profile list in a temporary
// hive: the key prompt, Remember Network, the Network Editor and the Network
// Profiles list. What was stored is read back by a new list over the same
// file, as the next run of the program would.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>

#include "MainDialogFixture.h"
#include "app/AddNetworkKey.h"
#include "app/AskForKey.h"
#include "app/CommandIds.h"
#include "app/ManageKeys.h"
#include "app/ProfileCommands.h"
#include "app/ProfileDialogs.h"
#include "profiles/ProfileList.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

namespace ts = testing_support;

// Answers the dialogs: the prompt gets `typed` texts, OK after each, until
// one is accepted (none accepted: Cancel). Shown texts and messages are kept.
struct FakeProfileDialogs : IProfileDialogs, IMessageBoxes {
    std::vector<std::string> typed;
    bool remember = true;
    std::vector<std::string> shown;
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
    bool RunNetworkEditor(CAddNetworkKey& e) override { return editor && editor(e); }
    void RunNetworkProfiles(CManageKeys& m) override { profiles(m); }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        shown.push_back(caption + ": " + text);
    }
};

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
    std::vector<std::string> Stored() const {
        RegistryStore fresh(options_.UserHive().FilePath(), "HKEY_CURRENT_USER");
        CProfileList list(fresh, options_.ApplicationKey());
        list.Load();
        std::vector<std::string> texts;
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

struct PromptRow {
    const char* name;
    int security;
    const char* storedKey;  // a profile for the network before; nullptr: none
    std::vector<std::string> typed;
    bool remember;
    Result result;
    bool temporary;
    const char* keyText;
    std::uint32_t keyType;
    std::vector<std::string> shown;
    std::vector<std::string> stored;
};

void PrintTo(const PromptRow& row, std::ostream* out) {
    *out << row.name;
}

const std::string kHexMessage =
    "Hex Key: The WEP key you entered can only contain hex characters as it is 10 characters "
    "long.";

const PromptRow kPromptRows[] = {
    {"WepNotHexRefusedThenHexKey",
     2,
     nullptr,
     {"zzzzzzzzzz", "0123456789"},
     true,
     RES_KEY_OBTAINED,
     false,
     "0123456789",
     KEY_TYPE_HEX,
     {"shows ''", kHexMessage},
     {"other=otherkey", "home=0123456789"}},
    {"WepBadLengthThenCancel",
     2,
     nullptr,
     {"abcdef"},
     true,
     RES_KEY_CANCELLED,
     false,
     nullptr,
     0,
     {"shows ''",
      "Incorrect Length: WEP keys must be one of 5 or 13 ASCII characters and 10 or 26 hex "
      "characters. Your key is 6 characters. Please try with another key."},
     {"other=otherkey"}},
    {"WepFiveCharactersAscii",
     2,
     nullptr,
     {"abcde"},
     true,
     RES_KEY_OBTAINED,
     false,
     "abcde",
     KEY_TYPE_ASCII,
     {"shows ''"},
     {"other=otherkey", "home=abcde"}},
    {"WpaPassphraseNotRemembered",
     3,
     nullptr,
     {"abcdefghijklmnopqrstuvwxyz"},
     false,
     RES_KEY_OBTAINED,
     true,
     "abcdefghijklmnopqrstuvwxyz",
     KEY_TYPE_ASCII,
     {"shows ''"},
     {"other=otherkey"}},
    {"RememberedMovesToTheEnd",
     4,
     "oldpassphrase",
     {"newpassphrase"},
     true,
     RES_KEY_OBTAINED,
     false,
     "newpassphrase",
     KEY_TYPE_ASCII,
     {"shows 'oldpassphrase'"},
     {"other=otherkey", "home=newpassphrase"}},
    {"UncheckedForgetsButKeepsTheKey",
     4,
     "oldpassphrase",
     {"newpassphrase"},
     false,
     RES_KEY_OBTAINED,
     true,
     "newpassphrase",
     KEY_TYPE_ASCII,
     {"shows 'oldpassphrase'"},
     {"other=otherkey"}},
    {"EmptyTextLeavesNoKey",
     4,
     "oldpassphrase",
     {""},
     true,
     RES_KEY_OBTAINED,
     false,
     "",
     KEY_TYPE_ASCII,
     {"shows 'oldpassphrase'"},
     {"other=otherkey", "home="}},
    {"CancelKeepsTheProfile",
     4,
     "oldpassphrase",
     {},
     true,
     RES_KEY_CANCELLED,
     false,
     nullptr,
     0,
     {"shows 'oldpassphrase'"},
     {"home=oldpassphrase", "other=otherkey"}},
};

class KeyPromptTest : public ProfileTest, public ::testing::WithParamInterface<PromptRow> {};

TEST_P(KeyPromptTest, AnswersAndStores) {
    const PromptRow& row = GetParam();
    const BssidRecord network = Network("home", row.security);
    if (row.storedKey) Store(network, row.storedKey);
    Store(Network("other", 4, 2), "otherkey");
    dialogs_.typed = row.typed;
    dialogs_.remember = row.remember;

    CNetworkKey key;
    bool temporary = !row.temporary;
    EXPECT_EQ(commands_.GetKeyForNetwork(network, key, temporary), row.result);
    if (row.keyText) {
        EXPECT_EQ(temporary, row.temporary);
        EXPECT_EQ(key.KeyText(), row.keyText);
        EXPECT_EQ(key.keyType, row.keyType);
        EXPECT_EQ(key.SsidText(), "home");
    }
    EXPECT_EQ(dialogs_.shown, row.shown);
    EXPECT_EQ(Stored(), row.stored);
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
        std::vector<std::string> typed;
        CommandState before;
        std::vector<std::string> stored;
    };
    const Step steps[] = {
        {"nothing selected", nullptr, ID_NETWORK_REMEMBER, false, {}, {false, false}, {}},
        {"open: added unasked",
         open,
         ID_CONTEXT_REMEMBER,
         false,
         {},
         {true, false},
         {"cafe=Not Available"}},
        {"while connecting",
         open,
         ID_NETWORK_REMEMBER,
         true,
         {},
         {false, true},
         {"cafe=Not Available"}},
        {"remembered: forgotten", open, ID_NETWORK_REMEMBER, false, {}, {true, true}, {}},
        {"WEP cancelled", wep, ID_NETWORK_REMEMBER, false, {}, {true, false}, {}},
        {"WEP with a key",
         wep,
         ID_CONTEXT_REMEMBER,
         false,
         {"0123456789"},
         {true, false},
         {"home=0123456789"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        view_.selected = step.selected;
        dialogs_.typed = step.typed;
        if (step.connecting) dialog_->SendConnectionStarted();
        EXPECT_EQ(dialog_->QueryCommandState(step.id), step.before);
        dialog_->ExecuteCommand(step.id);
        if (step.connecting) dialog_->SendConnectionEnded();
        EXPECT_EQ(Stored(), step.stored);
    }
    // A protected network's prompt fixes the box: the profile is the point.
    EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"shows '' fixed", "shows '' fixed"}));
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
        editor.OnTextChanged(PROP_NETWORK_SSID, "cafe");
        return editor.OnSave(dialogs_);
    };
    dialogs_.profiles = [](CManageKeys& manager) { manager.AddNew(); };
    ASSERT_TRUE(dialog_->QueryCommandState(ID_VIEW_PROFILES).enabled);
    dialog_->ExecuteCommand(ID_VIEW_PROFILES);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"home=passphrase1", "cafe=Not Available"}));
}

}  // namespace
}  // namespace tarvik
