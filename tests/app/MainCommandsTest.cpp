#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/MainDialog.h"

namespace tarvik {
namespace {

using MainCommandsTest = testing::MainDialogFixture;

BssidRecord FindRecord(const CNetworkList& networks, bool open) {
    for (const BssidRecord& record : networks.Records()) {
        if ((record->SecurityClass() == 1) == open) return record;
    }
    return nullptr;
}

TEST_F(MainCommandsTest, ModesAndUnbuiltCommands) {
    StartRunning();
    const int modes[] = {ID_MODE_SCANNING, ID_MODE_HOPPING, ID_MODE_CONNECTION_MANAGER};
    for (int chosen = 0; chosen < 3; ++chosen) {
        dialog_->ExecuteCommand(modes[chosen]);
        EXPECT_EQ(dialog_->ProgramMode(), chosen);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(dialog_->QueryCommandState(modes[i]), (CommandState{true, i == chosen}));
        }
    }
    for (int id : {ID_FILE_OPEN, ID_FILE_MERGE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_CLOSE,
                   ID_FILE_AUTO_SAVE, ID_VIEW_FILTERS, ID_VIEW_PROFILES, ID_VIEW_OPTIONS,
                   ID_NETWORK_REMEMBER, ID_NETWORK_SIGNAL_GRAPH, ID_DEVICE_INFORMATION,
                   ID_GPS_CONNECT, ID_GPS_DISCONNECT, ID_GPS_TESTER, ID_HELP_CHECK_VERSION,
                   ID_CONTEXT_REMEMBER, ID_CONTEXT_SIGNAL_GRAPH}) {
        EXPECT_FALSE(dialog_->QueryCommandState(id).enabled) << id;
        dialog_->ExecuteCommand(id);
    }
    EXPECT_TRUE(view_.calls.empty());

    dialog_->ExecuteCommand(ID_HELP_ABOUT);
    dialog_->ExecuteCommand(ID_SYSTEM_MENU_ABOUT);
    dialog_->ExecuteCommand(ID_HELP_CREDITS);
    dialog_->ExecuteCommand(ID_VIEW_COLUMNS);
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"About", "About", "Credits", "Columns"}));
}

TEST_F(MainCommandsTest, SelectedRowRulesForHoppingFlagConnectAndDoubleClick) {
    StartRunning();
    dialog_->ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    const BssidRecord open = FindRecord(networks_, true);
    const BssidRecord secured = FindRecord(networks_, false);
    ASSERT_TRUE(open && secured);

    // Nothing selected: no context menu, nothing to act on.
    EXPECT_FALSE(dialog_->CanShowContextMenu());
    for (int id : {ID_NETWORK_SUITABLE_FOR_HOPPING, ID_CONTEXT_CONNECT, ID_NETWORK_DISCONNECT}) {
        EXPECT_FALSE(dialog_->QueryCommandState(id).enabled) << id;
    }
    dialog_->OnTableDoubleClick();

    // The hopping flag: open networks only; checked while the flag is 0.
    view_.selected = open;
    EXPECT_TRUE(dialog_->CanShowContextMenu());
    EXPECT_EQ(dialog_->QueryCommandState(ID_NETWORK_SUITABLE_FOR_HOPPING),
              (CommandState{true, true}));
    dialog_->ExecuteCommand(ID_CONTEXT_SUITABLE_FOR_HOPPING);
    EXPECT_TRUE(open->NotSuitableForHopping());
    EXPECT_EQ(dialog_->QueryCommandState(ID_CONTEXT_SUITABLE_FOR_HOPPING),
              (CommandState{true, false}));
    view_.selected = secured;
    EXPECT_FALSE(dialog_->QueryCommandState(ID_NETWORK_SUITABLE_FOR_HOPPING).enabled);
    dialog_->ExecuteCommand(ID_NETWORK_SUITABLE_FOR_HOPPING);
    EXPECT_FALSE(secured->NotSuitableForHopping());

    // Connect for a record that is not connected, Disconnect for one that is;
    // the double click connects only a "Not Connected" row.
    secured->SetConnectionStatus(STATUS_NOT_CONNECTED);
    EXPECT_TRUE(dialog_->QueryCommandState(ID_NETWORK_CONNECT).enabled);
    EXPECT_FALSE(dialog_->QueryCommandState(ID_CONTEXT_DISCONNECT).enabled);
    dialog_->ExecuteCommand(ID_NETWORK_DISCONNECT);
    dialog_->OnTableDoubleClick();
    secured->SetConnectionStatus(STATUS_CONNECTED_INVALID_IP);
    EXPECT_FALSE(dialog_->QueryCommandState(ID_CONTEXT_CONNECT).enabled);
    EXPECT_TRUE(dialog_->QueryCommandState(ID_NETWORK_DISCONNECT).enabled);
    dialog_->OnTableDoubleClick();
    dialog_->ExecuteCommand(ID_CONTEXT_DISCONNECT);
    secured->SetConnectionStatus(STATUS_NOT_DETECTED);
    dialog_->OnTableDoubleClick();
    EXPECT_EQ(connection_.calls, (std::vector<std::string>{"Connect", "Disconnect", "Disconnect"}));

    // Neither while a connection runs.
    dialog_->SendConnectionStarted();
    EXPECT_FALSE(dialog_->QueryCommandState(ID_NETWORK_CONNECT).enabled);
    EXPECT_FALSE(dialog_->QueryCommandState(ID_NETWORK_DISCONNECT).enabled);
    EXPECT_FALSE(dialog_->QueryCommandState(ID_SYSTEM_REENUMERATE).enabled);
    dialog_->SendConnectionEnded();
    EXPECT_TRUE(dialog_->QueryCommandState(ID_SYSTEM_REENUMERATE).enabled);
}

TEST_F(MainCommandsTest, DeviceSystemAndHelpCommands) {
    StartRunning();
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

    // The manual lies under the stored install directory; none stored, none opened.
    dialog_->ExecuteCommand(ID_HELP_MANUAL);
    ASSERT_EQ(view_.documents.size(), 1u);
    EXPECT_EQ(view_.documents[0], (folder_.Path() / "install" / "doc" / "toc.html").string());
    SetInstallDirectoryValue("");
    dialog_->ExecuteCommand(ID_HELP_MANUAL);
    EXPECT_EQ(view_.documents.size(), 1u);
}

}  // namespace
}  // namespace tarvik
