#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "MainDialogFixture.h"
#include "adapter/DriverAnswerBound.h"
#include "app/CommandIds.h"
#include "app/MainDialog.h"
#include "app/WzcService.h"

namespace tarvik {
namespace {

using testing::Contains;
using testing::InOrder;
using MainDialogTest = testing::MainDialogFixture;

TEST(AddressTextTest, SplitsOnCommaBlankAndDropsEmptyParts) {
    EXPECT_EQ(SplitAddressText("10.0.0.2, 192.168.1.7"),
              (std::vector<std::string>{"10.0.0.2", "192.168.1.7"}));
    EXPECT_EQ(SplitAddressText(", 10.0.0.2, "), std::vector<std::string>{"10.0.0.2"});
    EXPECT_TRUE(SplitAddressText("").empty());
}

TEST_F(MainDialogTest, StartUpRunsEveryStepInOrderAndStartsTheTimers) {
    StartDaemon();
    Create();
    ASSERT_TRUE(dialog_->Initialize());

    const auto lines = log_.Messages();
    // The steps whose order matters: settings before the table, the driver
    // before the scan, the column layout only once all is up.
    std::vector<std::string> steps = {"Adding columns to network list.",
                                      "Successfully obtained the list of all the wireless cards!",
                                      "Performing an initial network scan ...",
                                      "Restoring column states."};
    for (std::string& step : steps) step = "App: Info: " + step;
    EXPECT_TRUE(InOrder(lines, steps));

    EXPECT_EQ(view_.calls,
              (std::vector<std::string>{"SystemMenu &About Tarvik...", "AddTray Tarvik",
                                        "GridLines on", "Button Stop Scanning", "PlaceControls",
                                        "PlaceControls", "RestoreColumns"}));
    EXPECT_EQ(view_.lastLayout, ComputeLayout(640, 480));
    EXPECT_EQ(loop_.timerCalls,
              (std::vector<std::string>{"Start 1 1000", "Start 2 4000", "Start 3 500",
                                        "Start 6 10000", "Start 7 1000", "Start 8 1000",
                                        "Start 9 1000", "Start 10 1000"}));

    ASSERT_NE(dialog_->ChosenAdapter(), nullptr);
    EXPECT_TRUE(dialog_->ChosenAdapter()->IsScanning());
    EXPECT_EQ(networks_.ScanCounter(), 1u);  // the initial soft refresh
    EXPECT_EQ(dialog_->ProgramMode(), MODE_NETWORK_SCANNING);
    // The daemon's competing service ran; start-up stopped it.
    EXPECT_TRUE(dialog_->WzcStoppedByUs());
    EXPECT_FALSE(CDriverWzcService().IsRunning());
}

TEST_F(MainDialogTest, ADamagedSettingsFileKeepsItsGoodValuesAndIsShownOnTheStatusLine) {
    const auto hive = RegistryStore::CurrentUser().FilePath();
    std::filesystem::create_directories(hive.parent_path());
    std::ofstream(hive) << "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Tarvik\\tarvik\\Settings]\n"
                           "\"SoftRefreshInterval\"=dword:7\n\"Bogus\"=dword:zz\n";
    StartDaemon();
    Create();
    ASSERT_TRUE(dialog_->Initialize());

    EXPECT_EQ(options_.SoftRefreshInterval, 7);
    const auto lines = log_.Messages();
    const auto done = std::find(lines.begin(), lines.end(),
                                "App: Info: Program initialization completed successfully.");
    ASSERT_NE(done, lines.end());
    ASSERT_NE(done + 1, lines.end());
    EXPECT_EQ(done[1].rfind("App: Info: The registry file " + hive.string() +
                                " was damaged: line 5 could not be read",
                            0),
              0u)
        << "the status line's last text names the file and line: " << done[1];
    EXPECT_FALSE(Contains(lines,
                          "App: Info: First launch by this user: importing default "
                          "registry settings."))
        << "the defaults would overwrite what was kept";
}

// Another program holds the adapter: the card is neither scanned, prepared
// nor ticked; once it lets go, the next status tick takes the adapter over.
TEST_F(MainDialogTest, AnAdapterHeldByAnotherProgramIsLeftAloneUntilItIsFree) {
    claim_ = std::make_unique<CAdapterClaim>(folder_.Path(), "tarvik");
    const std::string guid = "{AD000001-0000-4000-8000-000000000001}";
    const auto lockPath = folder_.Path() / AdapterLockFileName("\\DEVICE\\" + guid);
    CHolderLock other;
    ASSERT_EQ(other.Take(lockPath, "tarvik-cli"), LockOutcome::Taken);
    StartDaemon();
    Create();
    ASSERT_TRUE(dialog_->Initialize());
    const std::string refusal = "Tarvik is already using adapter Watch Test Card " + guid +
                                " (tarvik-cli, process " + std::to_string(::getpid()) +
                                "); close it first.";
    EXPECT_EQ(dialog_->AdapterRefusal(), refusal);
    EXPECT_TRUE(InOrder(
        log_.Messages(),
        {"App: Info: Program initialization completed successfully.", "App: Info: " + refusal}));
    EXPECT_FALSE(dialog_->QueryCommandState(ID_DEVICE_SOFT_REFRESH).enabled);
    dialog_->OnScanningButton();
    for (int id : {TIMER_SOFT_REFRESH, TIMER_HARD_REFRESH, TIMER_CONNECTION_STATUS}) {
        dialog_->OnTimer(id);
    }
    EXPECT_EQ(networks_.ScanCounter(), 0u);

    other.Release();
    dialog_->OnTimer(TIMER_CONNECTION_STATUS);
    EXPECT_FALSE(dialog_->IsAdapterHeldElsewhere());
    dialog_->OnTimer(TIMER_SOFT_REFRESH);
    EXPECT_GT(networks_.ScanCounter(), 0u);
    EXPECT_EQ(other.Take(lockPath, "tarvik-cli"), LockOutcome::HeldElsewhere);
}

TEST_F(MainDialogTest, WithoutTheDriverStartUpStopsEarlyTicksDoNothingAndCloseHides) {
    // The stored setting holds for the table, even this early.
    ASSERT_TRUE(RegistryStore::CurrentUser().WriteDword(options_.SectionKey("Settings"),
                                                        "ShowTableGridLines", 0));
    Create();
    EXPECT_FALSE(dialog_->Initialize());
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"SystemMenu &About Tarvik...",
                                                     "AddTray Tarvik", "GridLines off"}));

    auto lines = log_.Messages();
    EXPECT_TRUE(InOrder(lines, {"App: Info: Enumerating network cards.",
                                "App: Info: Could not connect to Tarvik driver! Please try to "
                                "re-install Tarvik."}));
    EXPECT_TRUE(loop_.timerCalls.empty());
    EXPECT_EQ(dialog_->ChosenAdapter(), nullptr);

    // Without a chosen adapter no tick does anything, not even the
    // unassigned-timer line or a table refresh.
    const std::size_t before = lines.size();
    for (int id : {1, 2, 3, 6, 7, 8, 9, 10, 42}) dialog_->OnTimer(id);
    EXPECT_EQ(log_.Messages().size(), before);
    EXPECT_EQ(filter_.refreshes, 0);
    EXPECT_EQ(networks_.ScanCounter(), 0u);

    // The title bar hides the window to the tray (a desktop without a tray
    // could not bring it back: minimised) unless exit was requested.
    view_.calls.clear();
    EXPECT_FALSE(dialog_->OnCloseRequest());  // MinimizeToTrayOnClose is 1 by default
    view_.hasTray = false;
    EXPECT_FALSE(dialog_->OnCloseRequest());
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"Minimize", "Hide", "Minimize"}));

    // Without minimising to the tray the title bar closes; the caller ends
    // the window, not the controller.
    options_.MinimizeToTrayOnClose = 0;
    view_.calls.clear();
    EXPECT_TRUE(dialog_->OnCloseRequest());
    EXPECT_EQ(view_.calls.front(), "Hide");
    EXPECT_EQ(view_.calls.back(), "RemoveTray");
    EXPECT_TRUE(dialog_->IsClosing());
}

TEST_F(MainDialogTest, TicksDoTheirWorkAndADriverBackWithinTheGuardIsPickedUpOnceItHasPassed) {
    StartRunning();
    const std::uint32_t counter = networks_.ScanCounter();
    dialog_->OnTimer(TIMER_SOFT_REFRESH);
    dialog_->OnTimer(TIMER_HARD_REFRESH);
    EXPECT_EQ(networks_.ScanCounter(), counter + 2);
    const int refreshes = filter_.refreshes;
    dialog_->OnTimer(TIMER_CONNECTION_STATUS);
    EXPECT_EQ(filter_.refreshes, refreshes + 1);
    EXPECT_GT(table_.RowCount(), 0u);
    EXPECT_EQ(addressCalls_.size(), 1u);  // the status column's addresses first

    dialog_->OnTimer(42);
    EXPECT_EQ(log_.Messages().back(), "App: Info: Timer id 42, is not assigned to anything!");

    // A changed period restarts that one timer; nonsense periods are floored.
    options_.SoftRefreshInterval = 0;
    dialog_->RestartTimer(TIMER_SOFT_REFRESH);
    options_.HoppingStateMachineInterval = -5;
    dialog_->RestartTimer(TIMER_HOPPING);
    dialog_->RestartTimer(4);
    EXPECT_EQ(loop_.timerCalls,
              (std::vector<std::string>{"Stop 1", "Start 1 10", "Stop 3", "Start 3 10"}));

    // A driver back within the re-enumeration guard is not ignored: it is
    // picked up once the guard has passed.
    loop_.timerCalls.clear();
    const auto reEnumerations = [this] {
        const auto all = log_.Messages();
        return std::count_if(all.begin(), all.end(), [](const std::string& line) {
            return line.ends_with("change in system nodes, re-enumerating devices");
        });
    };
    now_ += 2;
    dialog_->OnDriverReturned();
    EXPECT_EQ(loop_.timerCalls, (std::vector<std::string>{"Start 11 4000"}));
    EXPECT_EQ(reEnumerations(), 0);
    now_ += 4;
    dialog_->OnTimer(TIMER_DRIVER_RETURNED);
    EXPECT_EQ(loop_.timerCalls.back(), "Stop 11");
    EXPECT_EQ(reEnumerations(), 1);
}

TEST_F(MainDialogTest, MessagesFromAnotherThreadRunOnTheGuiThreadAndWait) {
    StartRunning();
    CAdapter* chosen = dialog_->ChosenAdapter();
    ASSERT_NE(chosen, nullptr);
    ASSERT_FALSE(networks_.Empty());
    const BssidRecord record = networks_.Records().front();
    dialog_->SetConnectingRecord(record);

    std::atomic<bool> done = false;
    bool inProgressDuring = false;
    bool scanningDuring = true;
    std::thread worker([&] {
        dialog_->SendLogText("worker warning", LOG_TEXT_WARN);
        dialog_->SendLogText("worker error", LOG_TEXT_ERROR);
        dialog_->SendStatusText("worker status");
        dialog_->SendConnectionStarted();
        // Send returned, so the GUI thread has handled it.
        inProgressDuring = dialog_->IsConnectionInProgress();
        scanningDuring = chosen->IsScanning();
        dialog_->SendConnectionEnded();
        done = true;
    });
    loop_.RunUntil([&] { return done.load(); });
    worker.join();

    EXPECT_EQ(loop_.SendCount(), 5);
    const auto lines = log_.Messages();
    EXPECT_TRUE(InOrder(lines, {"App: Warn: worker warning", "App: Error: worker error",
                                "App: Info: worker status"}));
    EXPECT_TRUE(inProgressDuring);
    EXPECT_FALSE(scanningDuring);
    EXPECT_EQ(record->ConnectionStatus(), STATUS_CONNECTING);
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"DisableControls", "EnableControls"}));
    EXPECT_FALSE(dialog_->IsConnectionInProgress());
    EXPECT_TRUE(chosen->IsScanning());

    // On the GUI thread itself the message runs at once, without a send.
    dialog_->SendStatusText("gui status");
    EXPECT_EQ(loop_.SendCount(), 5);
    EXPECT_EQ(log_.Messages().back(), "App: Info: gui status");
}

TEST_F(MainDialogTest, ExitShutsDownInOrder) {
    StartRunning();
    ASSERT_FALSE(networks_.Empty());
    files_.fileOpen = true;
    options_.AutoSaveOpenFileOnExit = 1;

    dialog_->ExecuteCommand(ID_TRAY_EXIT);  // as File, Exit
    EXPECT_TRUE(dialog_->IsExitRequested());
    EXPECT_TRUE(view_.calls.empty());  // the close request is queued
    loop_.RunQueued();

    EXPECT_EQ(files_.calls, std::vector<std::string>{"CloseFile save"});
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"Hide", "DestroyDialogs", "SaveColumns",
                                                     "RemoveTray", "EndDialog"}));
    EXPECT_EQ(loop_.timerCalls,
              (std::vector<std::string>{"Stop 1", "Stop 2", "Stop 3", "Stop 6", "Stop 7", "Stop 8",
                                        "Stop 9", "Stop 10"}));
    EXPECT_TRUE(InOrder(log_.Messages(),
                        {"App: Info: File is open, closing", "App: Info: Stopping all timers",
                         "App: Info: Removing item from system tray"}));
    EXPECT_TRUE(SettingsSaved());
    EXPECT_TRUE(dialog_->IsClosing());
    EXPECT_TRUE(networks_.Empty());
    EXPECT_EQ(table_.RowCount(), 0u);
    EXPECT_EQ(dialog_->Adapters().Count(), 0u);
    EXPECT_EQ(combo_.items.size(), 0u);
    EXPECT_TRUE(CDriverWzcService().IsRunning());

    // Late ticks, commands and close requests find nothing left to do.
    view_.calls.clear();
    dialog_->OnTimer(TIMER_SOFT_REFRESH);
    dialog_->ExecuteCommand(ID_HELP_ABOUT);
    EXPECT_TRUE(dialog_->OnCloseRequest());
    dialog_->RequestExit();
    loop_.RunQueued();
    EXPECT_TRUE(view_.calls.empty());
}

TEST_F(MainDialogTest, CancelledCloseLeavesEverythingAsItWas) {
    StartRunning();
    options_.PromptToSaveOnExit = 1;
    const std::size_t records = networks_.Size();
    struct Case {
        const char* name;
        bool fileOpen, closeSucceeds, saveAsSucceeds;
        SaveAnswer answer;
    };
    const Case cases[] = {
        {"cancel at the prompt", false, true, true, SaveAnswer::Cancel},
        {"cancel in Save As", false, true, false, SaveAnswer::Yes},
        {"cancel closing the open file", true, false, true, SaveAnswer::No},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files_.fileOpen = c.fileOpen;
        files_.closeSucceeds = c.closeSucceeds;
        files_.saveAsSucceeds = c.saveAsSucceeds;
        view_.saveAnswer = c.answer;
        view_.calls.clear();

        dialog_->RequestExit();
        loop_.RunQueued();
        for (const std::string& call : view_.calls) {
            EXPECT_TRUE(call == "AskSave") << call;
        }
        EXPECT_TRUE(loop_.timerCalls.empty());
        EXPECT_FALSE(SettingsSaved());
        EXPECT_FALSE(dialog_->IsClosing());
        EXPECT_FALSE(dialog_->IsExitRequested());
        EXPECT_EQ(networks_.Size(), records);
        EXPECT_NE(dialog_->ChosenAdapter(), nullptr);
    }
    EXPECT_EQ(log_.Messages().back(), "App: Info: User cancelled file close");

    // The exit request went with the cancellation: the title bar hides again.
    view_.calls.clear();
    EXPECT_FALSE(dialog_->OnCloseRequest());
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"Minimize", "Hide"}));

    // Yes with a completed Save As goes on to close.
    files_.fileOpen = false;
    files_.calls.clear();
    view_.saveAnswer = SaveAnswer::Yes;
    files_.saveAsSucceeds = true;
    dialog_->RequestExit();
    loop_.RunQueued();
    EXPECT_EQ(files_.calls, std::vector<std::string>{"SaveAs"});
    EXPECT_EQ(view_.calls.back(), "EndDialog");
    EXPECT_TRUE(SettingsSaved());
}

TEST_F(MainDialogTest, AFrozenDriverSkipsTheTickAndTheStatusLineSaysSo) {
    StartRunning();
    daemon_->Freeze();
    dialog_->OnTimer(TIMER_HARD_REFRESH);
    dialog_->OnTimer(TIMER_CONNECTION_STATUS);
    const auto lines = log_.Messages();
    EXPECT_EQ(testing::CountOf(lines, std::string("App: Info: ") + kDriverNotAnsweringText), 2u);
    daemon_->Thaw();
}

}  // namespace
}  // namespace tarvik
