// Closing the main window: hiding it to the tray, or the shut-down sequence.
#include <memory>

#include "app/GpsIntegration.h"
#include "app/MainDialog.h"
#include "app/ProfileCommands.h"
#include "app/ResultFilters.h"
#include "core/EventLog.h"

namespace tarvik {

bool CMainDialog::OnCloseRequest() {
    if (shutDown_) return true;
    if (options_.MinimizeToTrayOnClose != 0 && !exitRequested_) {
        view_.MinimizeWindow();
        // Without a tray the hidden window could not be brought back.
        if (view_.HasSystemTray()) view_.HideWindow();
        return false;
    }
    if (!RunShutDown()) {
        // Nothing has changed, the exit request included: the next title-bar
        // close hides the window again.
        exitRequested_ = false;
        return false;
    }
    return true;
}

void CMainDialog::RequestExit() {
    if (shutDown_) return;
    exitRequested_ = true;
    std::weak_ptr<int> alive = alive_;
    loop_.Post([this, alive] {
        if (alive.lock()) CloseFromExitCommand();
    });
}

void CMainDialog::CloseFromExitCommand() {
    if (shutDown_) return;
    if (OnCloseRequest()) view_.EndDialog();
}

bool CMainDialog::AskToSaveOrClose() {
    if (scanFiles_ && scanFiles_->IsFileOpen()) {
        LogInfo("File is open, closing");
        if (!scanFiles_->CloseFile(options_.AutoSaveOpenFileOnExit != 0)) {
            LogInfo("User cancelled file close");
            return false;
        }
        return true;
    }
    // Without the scan-file service there is nothing the answer could save.
    if (options_.PromptToSaveOnExit == 0 || !scanFiles_) return true;
    switch (view_.AskSaveScanResults()) {
        case SaveAnswer::Yes:
            return scanFiles_->SaveAs();
        case SaveAnswer::No:
            return true;
        case SaveAnswer::Cancel:
            return false;
    }
    return false;
}

bool CMainDialog::RunShutDown() {
    if (shutDown_) return true;
    if (!AskToSaveOrClose()) return false;
    view_.HideWindow();
    options_.Save();

    closing_ = true;
    if (CAdapter* chosen = adapters_.Chosen()) chosen->SetScanning(false);
    LogInfo("Stopping all timers");
    StopAllTimers();
    view_.DestroyModelessDialogs();
    if (filters_) filters_->DestroyDialog();
    if (gps_) gps_->ClosePort();
    if (wzcStoppedByUs_) {
        LogInfo("Restarting WZCSVC");
        wzc_.Start();
        wzcStoppedByUs_ = false;
    }
    // A running connection attempt uses the chosen adapter: it ends first.
    if (connection_) connection_->EndAttempts();
    // Empties the list and the table's rows, which share the records.
    cycle_.ClearAllNetworks();
    cycle_.SetChosenAdapter(nullptr);
    adapters_.ClearAdapters();
    if (claim_) claim_->Claim(nullptr);

    LogInfo("Saving column states");
    view_.SaveColumnLayout();
    LogInfo("Calling parent OnClose");
    LogInfo("Free memory for the saved network configurations.");
    if (profiles_) profiles_->FreeProfiles();
    LogInfo("Removing item from system tray");
    if (trayIconShown_) view_.RemoveTrayIcon();
    trayIconShown_ = false;
    shutDown_ = true;
    return true;
}

}  // namespace tarvik
