// What the driver commands share: the application shell's controller over a
// terminal view and loop, started the way the window starts it, claiming
// the chosen adapter against other front ends, and shut down in order.
#pragma once

#include <memory>
#include <string>

#include "adapter/TextAdapterCombo.h"
#include "app/AdapterClaim.h"
#include "app/Application.h"
#include "app/GpsIntegration.h"
#include "app/MainDialog.h"
#include "app/NetworkColumnRules.h"
#include "app/NetworkTableModel.h"
#include "app/ScanFileCommands.h"
#include "core/StatusLine.h"
#include "tools/cli/TerminalLoop.h"
#include "tools/cli/TerminalView.h"

namespace tarvik::cli {

// The settings of the window's program, whatever this executable is called.
inline constexpr const char* kApplicationName = "tarvik";

// SIGINT and SIGTERM ask the running command to stop (it then shuts down
// in order; a second signal ends it at once); StopRequested() tells whether
// one came.
void InstallStopSignals();
bool StopRequested();

// Status texts as lines on one stream.
class CStatusPrinter : public IStatusLineSink {
  public:
    explicit CStatusPrinter(std::FILE* to) : to_(to) {}
    void ShowStatusText(const std::string& text) override;

  private:
    std::FILE* to_;
};

class CCliSession {
  public:
    // `status` receives the status line for the session's life.
    explicit CCliSession(IStatusLineSink& status);
    ~CCliSession();
    CCliSession(const CCliSession&) = delete;
    CCliSession& operator=(const CCliSession&) = delete;

    // Creates the controller with the application's connection procedure
    // and runs its start-up. Empty when the chosen adapter is ours;
    // otherwise the one line that says why not (no driver, no adapter,
    // held by another program).
    std::string Start();
    // The scan-file commands over these seams (which must outlive the
    // session), for the controller that Start creates: its exit path closes
    // the open file. Before Start.
    CScanFileCommands& UseScanFiles(IScanFileDialogs& dialogs, IProgressDisplay& progress,
                                    IMessageBoxes& messages);
    // The GPS receiver of the window's settings, for the controller that
    // Start creates: its tick attaches positions as the window's does. The
    // port opens with the GPS Connect command. Before Start.
    CGpsIntegration& UseGps();
    // Releases waiting senders and runs the shut-down sequence.
    void Finish();

    CApplication& Application() { return *application_; }
    CConnectionProcedure& Connection() { return application_->Connection(); }
    CMainDialog& Dialog() { return *dialog_; }
    CTerminalLoop& Loop() { return loop_; }
    CTerminalView& View() { return view_; }
    CNetworkTableModel& Table() { return table_; }
    CNetworkColumnRules& Rules() { return rules_; }
    CGpsIntegration* Gps() { return gps_.get(); }

  private:
    IStatusLineSink& status_;
    // Destroyed after the controller, which uses them to its end.
    CTerminalLoop loop_;
    CTerminalView view_;
    CTextAdapterCombo combo_;
    CAdapterClaim claim_;
    std::unique_ptr<CApplication> application_;
    CNetworkColumnRules rules_;
    CNetworkTableModel table_;
    std::unique_ptr<CScanFileCommands> files_;
    std::unique_ptr<CGpsIntegration> gps_;
    std::unique_ptr<CMainDialog> dialog_;
    bool finished_ = false;
};

}  // namespace tarvik::cli
