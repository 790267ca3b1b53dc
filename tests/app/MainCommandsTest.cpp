#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/MainDialog.h"
#include "app/UserManual.h"

namespace tarvik {
namespace {

using MainCommandsTest = testing::MainDialogFixture;

BssidRecord FindRecord(const CNetworkList& networks, bool open) {
    for (const BssidRecord& record : networks.Records()) {
        if ((record->SecurityClass() == 1) == open) return record;
    }
    return nullptr;
}

// By selection: the states of the menu bar's row commands, which their
// context-menu twins share, what Connect and Disconnect run, and
// what a double click does ("" nothing; null: not tried).
TEST_F(MainCommandsTest, RowCommandsFollowTheSelectedRecord) {
    StartRunning();
    dialog_->ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    const BssidRecord open = FindRecord(networks_, true);
    const BssidRecord secured = FindRecord(networks_, false);
    ASSERT_TRUE(open && secured);
    struct Case {
        const char* name;
        BssidRecord selected;
        std::uint32_t status;
        bool connecting, hopping, connect, disconnect;
        const char* doubleClick;
    };
    const Case cases[] = {
        {"nothing selected", nullptr, 0, false, false, false, false, ""},
        {"open", open, STATUS_NOT_CONNECTED, false, true, true, false, "Connect"},
        {"secured", secured, STATUS_NOT_CONNECTED, false, false, true, false, "Connect"},
        {"connected", secured, STATUS_CONNECTED_INVALID_IP, false, false, false, true,
         "Disconnect"},
        {"by hand", secured, STATUS_CONNECTED_MANUAL, false, false, false, true, "Disconnect"},
        {"not detected", secured, STATUS_NOT_DETECTED, false, false, true, false, ""},
        {"while connecting", secured, STATUS_NOT_CONNECTED, true, false, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.selected = c.selected;
        if (c.selected) c.selected->SetConnectionStatus(c.status);
        if (c.connecting) dialog_->SendConnectionStarted();
        EXPECT_EQ(dialog_->CanShowContextMenu(), c.selected != nullptr);
        EXPECT_EQ(dialog_->QueryCommandState(ID_NETWORK_SUITABLE_FOR_HOPPING),
                  (CommandState{c.hopping, c.selected != nullptr}));
        EXPECT_EQ(dialog_->QueryCommandState(ID_NETWORK_CONNECT), CommandState{c.connect});
        EXPECT_EQ(dialog_->QueryCommandState(ID_NETWORK_DISCONNECT), CommandState{c.disconnect});
        EXPECT_EQ(dialog_->QueryCommandState(ID_SYSTEM_REENUMERATE).enabled, !c.connecting);
        for (const auto& [context, bar] :
             {std::pair{ID_CONTEXT_CONNECT, ID_NETWORK_CONNECT},
              {ID_CONTEXT_DISCONNECT, ID_NETWORK_DISCONNECT},
              {ID_CONTEXT_SUITABLE_FOR_HOPPING, ID_NETWORK_SUITABLE_FOR_HOPPING}}) {
            EXPECT_EQ(dialog_->QueryCommandState(context), dialog_->QueryCommandState(bar));
        }
        connection_.calls.clear();
        dialog_->ExecuteCommand(ID_CONTEXT_CONNECT);
        dialog_->ExecuteCommand(ID_NETWORK_DISCONNECT);
        std::vector<std::string> ran;
        if (c.connect) ran.push_back("Connect");
        if (c.disconnect) ran.push_back("Disconnect");
        EXPECT_EQ(connection_.calls, ran);
        if (c.doubleClick) {
            connection_.calls.clear();
            dialog_->OnTableDoubleClick();
            EXPECT_EQ(connection_.calls.empty() ? "" : connection_.calls[0], c.doubleClick);
        }
        if (c.connecting) dialog_->SendConnectionEnded();
    }
    // The hopping flag: open networks only, checked while the flag is 0.
    view_.selected = open;
    dialog_->ExecuteCommand(ID_CONTEXT_SUITABLE_FOR_HOPPING);
    EXPECT_TRUE(open->NotSuitableForHopping());
    EXPECT_EQ(dialog_->QueryCommandState(ID_NETWORK_SUITABLE_FOR_HOPPING), (CommandState{true}));
    view_.selected = secured;
    dialog_->ExecuteCommand(ID_NETWORK_SUITABLE_FOR_HOPPING);
    EXPECT_FALSE(secured->NotSuitableForHopping());
}

TEST_F(MainCommandsTest, ModeDeviceSystemAndHelpCommands) {
    StartRunning();
    dialog_->ExecuteCommand(ID_MODE_HOPPING);
    EXPECT_EQ(dialog_->QueryCommandState(ID_MODE_HOPPING), (CommandState{true, true}));
    EXPECT_EQ(dialog_->QueryCommandState(ID_MODE_SCANNING), (CommandState{true, false}));
    const std::uint32_t counter = networks_.ScanCounter();
    dialog_->ExecuteCommand(ID_DEVICE_SOFT_REFRESH);
    dialog_->ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    EXPECT_EQ(networks_.ScanCounter(), counter + 2);
    EXPECT_FALSE(networks_.Empty());
    dialog_->ExecuteCommand(ID_VIEW_CLEAR_ALL);
    EXPECT_TRUE(networks_.Empty());

    // Re-enumerating keeps the scanning switch with the newly chosen adapter.
    dialog_->ExecuteCommand(ID_SYSTEM_REENUMERATE);
    ASSERT_NE(dialog_->ChosenAdapter(), nullptr);
    EXPECT_TRUE(dialog_->ChosenAdapter()->IsScanning());
    EXPECT_EQ(dialog_->ScanCycle().ChosenAdapter(), dialog_->ChosenAdapter());
    dialog_->ExecuteCommand(ID_DEVICE_SOFT_REFRESH);
    EXPECT_EQ(networks_.ScanCounter(), counter + 3);

    // Start-up stopped the daemon's service: only Start is offered.
    EXPECT_EQ(dialog_->QueryCommandState(ID_SYSTEM_START_WZC), (CommandState{true, false}));
    EXPECT_FALSE(dialog_->QueryCommandState(ID_SYSTEM_STOP_WZC).enabled);
    dialog_->ExecuteCommand(ID_SYSTEM_START_WZC);
    EXPECT_FALSE(dialog_->QueryCommandState(ID_SYSTEM_START_WZC).enabled);
    EXPECT_TRUE(dialog_->QueryCommandState(ID_SYSTEM_STOP_WZC).enabled);

    // The manual: the install directory's, else the installed share's, else
    // the source tree's for a program in the build tree; the status line says
    // why it did not open.
    dialog_->ExecuteCommand(ID_HELP_MANUAL);
    EXPECT_EQ(log_.Messages().back(),
              "App: Info: The User Manual is not installed (no doc/toc.html was found).");
    std::vector<std::string> manuals;
    for (const char* folder : {"share/tarvik/doc", "install/doc"}) {
        std::filesystem::create_directories(folder_.Path() / folder);
        manuals.push_back((folder_.Path() / folder / "toc.html").string());
        std::ofstream(manuals.back()) << "<html></html>";
        dialog_->ExecuteCommand(ID_HELP_MANUAL);
    }
    EXPECT_EQ(view_.documents, manuals);
    view_.canOpenDocuments = false;
    dialog_->ExecuteCommand(ID_HELP_MANUAL);
    EXPECT_EQ(log_.Messages().back(), "App: Info: Could not open the User Manual " + manuals[1] +
                                          ": xdg-open could not be started (is xdg-utils "
                                          "installed?).");
    EXPECT_EQ(FindUserManual("", std::string(TARVIK_BINARY_DIR) + "/ui/tarvik"),
              (std::filesystem::path(TARVIK_SOURCE_DIR) / "share/doc/toc.html")
                  .lexically_normal()
                  .string());
}

}  // namespace
}  // namespace tarvik
