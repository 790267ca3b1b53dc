// What the main-window controller needs from the window itself: the four
// controls' placement and state, the system menu, the tray icon, the window's
// visibility, the modal prompts and dialogs, and the table's selection. The
// Qt window implements it; tests use a recording fake.
#pragma once

#include <string>

#include "networks/NetworkList.h"
#include "networks/NetworkTable.h"

namespace tarvik {

struct ControlRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ControlRect&) const = default;
};

struct MainWindowLayout {
    ControlRect statusLine;
    ControlRect scanningButton;
    ControlRect adapterChooser;
    ControlRect networkTable;
    bool operator==(const MainWindowLayout&) const = default;
};

// The placement of the four controls for a client area of the given size.
// Sizes never go below zero, however small the window is made.
MainWindowLayout ComputeLayout(int clientWidth, int clientHeight);

enum class SaveAnswer { Yes, No, Cancel };

class IMainWindowView : public IScanningButton {
  public:
    // The adapter chooser, the scanning button and the network table.
    virtual void SetControlsEnabled(bool enabled) = 0;
    virtual void PlaceControls(const MainWindowLayout& layout) = 0;
    virtual void ClientSize(int& width, int& height) const = 0;
    // Appends a separator and the item (command ID_SYSTEM_MENU_ABOUT).
    virtual void AddAboutToSystemMenu(const std::string& text) = 0;
    virtual bool HasSystemTray() const = 0;
    virtual void AddTrayIcon(const std::string& tooltip) = 0;
    virtual void RemoveTrayIcon() = 0;
    // Shows the window normally, raises it and gives it the focus.
    virtual void ShowNormalAndActivate() = 0;
    virtual void HideWindow() = 0;
    virtual void MinimizeWindow() = 0;
    // The window closes; the process then ends.
    virtual void EndDialog() = 0;
    // "Save scan results?", caption "Save", Yes / No / Cancel, question icon.
    virtual SaveAnswer AskSaveScanResults() = 0;
    virtual void ShowAboutDialog() = 0;
    virtual void ShowCreditsDialog() = 0;
    // Modeless, created on first use and kept.
    virtual void ShowColumnsDialog() = 0;
    // Columns, Network Filters, GPS Output, Device Information: those that
    // exist, in that order.
    virtual void DestroyModelessDialogs() = 0;
    // Grid lines in the network table, from the loaded settings.
    virtual void SetTableGridLines(bool on) = 0;
    // The table's layout from and to the registry section "ColumnData"; it
    // is saved only when this run restored it or the user changed it.
    virtual void RestoreColumnLayout() = 0;
    virtual void SaveColumnLayout() = 0;
    // The record of the selected row; null when no row is selected.
    virtual BssidRecord SelectedRecord() const = 0;
    // Opens a document with the desktop's default program; false when no
    // program could be started for it.
    virtual bool OpenDocument(const std::string& path) = 0;
};

}  // namespace tarvik
