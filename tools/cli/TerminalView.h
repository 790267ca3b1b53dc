// The main window as a terminal front end sees it: no controls, tray or
// dialogs, and a selection that the command sets. What the controller asks
// of a window it does not have is answered as a closed window would:
// nothing to show, nothing to save.
#pragma once

#include <string>

#include "app/MainWindowView.h"

namespace tarvik::cli {

class CTerminalView : public IMainWindowView {
  public:
    void Select(BssidRecord record) { selected_ = std::move(record); }
    bool HasEnded() const { return ended_; }

    void SetScanningButtonText(const std::string&) override {}
    void SetControlsEnabled(bool) override {}
    void PlaceControls(const MainWindowLayout&) override {}
    void ClientSize(int& width, int& height) const override { width = height = 0; }
    void AddAboutToSystemMenu(const std::string&) override {}
    bool HasSystemTray() const override { return false; }
    void AddTrayIcon(const std::string&) override {}
    void RemoveTrayIcon() override {}
    void ShowNormalAndActivate() override {}
    void HideWindow() override {}
    void MinimizeWindow() override {}
    void EndDialog() override { ended_ = true; }
    SaveAnswer AskSaveScanResults() override { return SaveAnswer::No; }
    void ShowAboutDialog() override {}
    void ShowCreditsDialog() override {}
    void ShowColumnsDialog() override {}
    void DestroyModelessDialogs() override {}
    void SetTableGridLines(bool) override {}
    // The window's column layout is the window's: never read or written here.
    void RestoreColumnLayout() override {}
    void SaveColumnLayout() override {}
    BssidRecord SelectedRecord() const override { return selected_; }
    bool OpenDocument(const std::string&) override { return false; }

  private:
    BssidRecord selected_;
    bool ended_ = false;
};

}  // namespace tarvik::cli
