// The application object: owns the settings record, the network list, the
// profile list and its commands for the whole run, installs the settings
// where the process-wide log needs them, and creates the main-window
// controller over the GUI's pieces. The GUI's main function creates its Qt
// objects and hands them to this.
#pragma once

#include <memory>

#include "app/ChannelView.h"
#include "app/ConnectionProcedure.h"
#include "app/GpsIntegration.h"
#include "app/MainDialog.h"
#include "app/NetworkColumnRules.h"
#include "app/ProfileCommands.h"
#include "app/ResultFilters.h"
#include "app/ScanFileCommands.h"
#include "app/SignalGraphView.h"
#include "connect/WpaBridge.h"
#include "core/ApplicationOptions.h"
#include "core/StatusLine.h"
#include "networks/NetworkList.h"
#include "profiles/ProfileList.h"

namespace tarvik {

struct MainWindowSeams {
    IMainWindowView& view;
    IMainLoop& loop;
    INetworkTable& table;
    INetworkColumns& columns;
    IAdapterCombo& adapterCombo;
    // Attached for the controller's life when given.
    IStatusLineSink* statusLine = nullptr;
    // The profile dialogs; without them there are no profile commands.
    IProfileDialogs* profileDialogs = nullptr;
    // Claims the chosen adapter against other front ends when given.
    IAdapterClaim* adapterClaim = nullptr;
    // The scan-file commands' file dialogs, progress display and message
    // boxes; without all three the File menu has no scan-file commands.
    IScanFileDialogs* scanFileDialogs = nullptr;
    IProgressDisplay* progress = nullptr;
    IMessageBoxes* messages = nullptr;
    // Creates the GPS Output dialog on first use; without it GPS Tester...
    // shows nothing (the receiver still feeds the network list).
    std::function<std::unique_ptr<IGpsOutputView>()> gpsOutput = nullptr;
    // Creates the Device Information page on first use; without it Device
    // Information stays disabled.
    DeviceInfoViewFactory deviceInfo = nullptr;
    // The Options dialog; without it View, Options... stays disabled.
    IOptionsDialogView* optionsDialog = nullptr;
    // The version check and vendor look-ups; without it the version check
    // is disabled.
    CWebRequests* web = nullptr;
    // The table's visible columns in display order, for File > Export...'s
    // table CSV; without it every column in the table's order.
    std::function<std::vector<int>()> visibleColumns = nullptr;
    // Creates the Network Filters dialog on first use; without it the
    // filter command stays disabled.
    FilterDialogFactory filterDialog = nullptr;
    // Creates signal-graph windows; without it Signal Graph... is disabled.
    ISignalGraphFactory* signalGraphs = nullptr;
    // Creates the channel view; without it View > Channel View is disabled.
    IChannelViewFactory* channelViews = nullptr;
};

class CApplication {
  public:
    // The running program's settings (the current user's hive).
    CApplication();
    // Explicit settings (tests: a hive in a temporary folder).
    explicit CApplication(std::unique_ptr<CApplicationOptions> options);
    ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    CApplicationOptions& Options() { return *options_; }
    CNetworkList& Networks() { return networks_; }
    // The current user's profiles, under the options' application key.
    CProfileList& Profiles() { return profiles_; }
    // The key prompt for the connection procedure; null until the main
    // dialog was created with the profile dialogs.
    IKeySource* KeySource() { return profileCommands_.get(); }
    // The scan-file commands; null until the main dialog was created with
    // their seams.
    CScanFileCommands* ScanFiles() { return scanFiles_.get(); }
    // File > Export...; null without the scan-file commands. The result
    // filter is handed to it with SetFilter.
    CExportCommands* Exports() { return exports_.get(); }

    // Creates the controller (once). The GUI owns the table model and the
    // column rules, since its window observes the model until the window is
    // gone; the seams must outlive the controller.
    CMainDialog& CreateMainDialog(const MainWindowSeams& seams);
    CMainDialog* MainDialog() { return dialog_.get(); }
    // Joins and leaves networks for the controller; a key source is plugged
    // in here. WPA joins run through the bridge, fed by the chosen adapter's
    // receive thread.
    CConnectionProcedure& Connection() { return *connection_; }
    // Ties the connection procedure and the WPA bridge to a controller made
    // elsewhere (the command line's); CreateMainDialog does it for its own.
    void AttachConnection(CMainDialog& dialog, IMainLoop& loop);
    // The GPS receiver of the controller; null until it was created.
    CGpsIntegration* Gps() { return gps_.get(); }
    // The result filter: every group off at start-up, never stored.
    CNetworkFilter& Filter() { return filter_; }
    // The filter commands of the controller; null until it was created.
    CResultFilters* ResultFilters() { return resultFilters_.get(); }

  private:
    std::unique_ptr<CApplicationOptions> options_;
    CNetworkList networks_;
    CProfileList profiles_;
    std::unique_ptr<CProfileCommands> profileCommands_;
    // Before the procedure and the controller: both use it until they are gone.
    CWpaBridge bridge_;
    std::unique_ptr<CConnectionProcedure> connection_;
    // Before the controller, which uses them until it is gone; the exports
    // before the scan-file commands, which hold them.
    std::unique_ptr<CExportCommands> exports_;
    std::unique_ptr<CScanFileCommands> scanFiles_;
    // Posts to the controller's loop and feeds its list: goes after it.
    std::unique_ptr<CGpsIntegration> gps_;
    // Used by the controller until it is gone.
    CNetworkFilter filter_;
    std::unique_ptr<CResultFilters> resultFilters_;
    std::unique_ptr<CMainDialog> dialog_;
    IStatusLineSink* statusLine_ = nullptr;
};

}  // namespace tarvik
