// The running program's objects, composed once: the application shell
// (settings, network and profile lists, controller), the table model and
// column rules the window shows, the Qt main loop, the main window and the
// profile dialogs.
//
// The controller touches the window's adapter chooser while it is destroyed,
// and the window observes the table model until it is destroyed, so the
// order is: controller, window, model. The model and rules are therefore
// owned here, outside the application object (whose controller goes first).
#pragma once

#include <memory>

#include "app/Application.h"
#include "app/NetworkColumnRules.h"
#include "app/NetworkTableModel.h"
#include "app/RowColouring.h"
#include "app/WebRequests.h"
#include "ui/ChannelViewWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtMainLoop.h"
#include "ui/QtMessageBoxes.h"
#include "ui/QtOptionsDialogs.h"
#include "ui/QtProfileDialogs.h"
#include "ui/QtProgressDisplay.h"
#include "ui/QtScanFileDialogs.h"
#include "ui/SignalGraphWindow.h"

namespace tarvik::ui {

class GuiProgram {
  public:
    // The current user's settings. Needs a QApplication.
    GuiProgram();
    ~GuiProgram();
    GuiProgram(const GuiProgram&) = delete;
    GuiProgram& operator=(const GuiProgram&) = delete;

    // Shows the window and runs the controller's initialisation; false when
    // it ended early (no driver).
    bool Start();

    CApplication& Application() { return *application_; }
    CMainDialog& Dialog() { return *dialog_; }
    MainWindow& Window() { return *window_; }
    QtMainLoop& Loop() { return *loop_; }
    CNetworkTableModel& Table() { return *table_; }

  private:
    void CreateWebRequests();
    // The table's visible columns in display order.
    std::vector<int> VisibleColumns() const;
    void AttachColouring();

    // Declared before the application object: destroyed after its controller.
    std::unique_ptr<QtMainLoop> loop_;
    std::unique_ptr<CAdapterClaim> claim_;
    std::unique_ptr<CNetworkColumnRules> rules_;
    std::unique_ptr<CNetworkTableModel> table_;
    // The version check and vendor look-ups over the rules' vendor cache.
    std::unique_ptr<CWebRequests> web_;
    // The window's model paints with it until the destructor detaches it.
    std::unique_ptr<CRowColouring> colouring_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QtProfileDialogs> profileDialogs_;
    std::unique_ptr<QtScanFileDialogs> fileDialogs_;
    std::unique_ptr<QtProgressDisplay> progress_;
    std::unique_ptr<QtMessageBoxes> messages_;
    std::unique_ptr<QtOptionsDialogs> optionsDialogs_;
    std::unique_ptr<QtSignalGraphFactory> graphs_;
    std::unique_ptr<QtChannelViewFactory> channelViews_;
    std::unique_ptr<CApplication> application_;
    CMainDialog* dialog_ = nullptr;
};

}  // namespace tarvik::ui
