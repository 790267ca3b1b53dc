// The main window's logic without a toolkit: start-up, the timer table, the
// commands and their menu states, the tray icon, the messages other threads
// send, and the closing rule with its shut-down sequence. The Qt window is a
// thin view over it (IMainWindowView) and drives it from its event loop
// (IMainLoop).
//
// Threads: everything runs on the GUI thread except the four Send...
// messages, which may be called from any thread and return once handled.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adapter/AdapterList.h"
#include "adapter/MediaEvents.h"
#include "app/AdapterClaim.h"
#include "app/ConnectionActions.h"
#include "app/DeviceInfoView.h"
#include "app/MainLoop.h"
#include "app/MainWindowView.h"
#include "app/OptionsDialogView.h"
#include "app/ScanFileService.h"
#include "app/WzcService.h"
#include "core/ApplicationOptions.h"
#include "networks/NetworkList.h"
#include "networks/NetworkTable.h"
#include "networks/ScanCycle.h"

namespace tarvik {

class CConnectionManager;
class CDeviceInfoPage;
class CGpsIntegration;
class CNetworkHopping;
class CProfileCommands;
class CProfileList;
class CResultFilters;
class CSignalGraphs;
class IAutoConnectSeam;
class ISignalGraphFactory;
class IChannelView;
class IChannelViewFactory;
class CWebRequests;

enum ProgramMode : int {
    MODE_NETWORK_SCANNING = 0,
    MODE_NETWORK_HOPPING = 1,
    MODE_CONNECTION_MANAGER = 2,
};

struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

inline constexpr const char* kAboutMenuText = "&About Tarvik...";
inline constexpr const char* kTrayTooltip = "Tarvik";
inline constexpr int kMinimumTimerPeriodMs = 10;

// Log levels of the log-text message.
enum LogTextLevel : int { LOG_TEXT_INFO = 1, LOG_TEXT_WARN = 2, LOG_TEXT_ERROR = 3 };

// What the controller works with; everything here outlives it.
struct MainDialogParts {
    IMainWindowView& view;
    IMainLoop& loop;
    CApplicationOptions& options;
    CNetworkList& networks;
    INetworkTable& table;
    INetworkColumns& columns;
    IAdapterCombo& adapterCombo;
    // Optional: null means the daemon's service through CDriverWzcService.
    IWzcService* wzc = nullptr;
    // Optional: null means no scan file can be open (nothing to save).
    IScanFileService* scanFiles = nullptr;
    // Optional: null means networks cannot be joined yet (Connect,
    // Disconnect and the double click do nothing).
    IConnectionActions* connection = nullptr;
    // Optional: null means no profiles (Remember Network and Network
    // Profiles... stay disabled). Loaded at start-up, freed at shut-down.
    CProfileCommands* profiles = nullptr;
    // Optional: the profiles the Connection Manager chooses from, loaded at
    // start-up; null means those of `profiles`, if any.
    CProfileList* autoConnectProfiles = nullptr;
    // Optional: told the chosen adapter's IP address texts before each
    // connection-status refresh (the status column names them).
    std::function<void(std::vector<std::string>)> adapterAddresses = nullptr;
    // Optional: seconds since 1970 for the re-enumeration guard.
    std::function<std::int64_t()> clock = nullptr;
    // Optional: claims each newly chosen adapter; while another program
    // holds it, the controller leaves the card alone (no initial scan or
    // preparation, ticks and adapter commands do nothing) and asks again
    // each second.
    IAdapterClaim* adapterClaim = nullptr;
    // The first-launch import of the default settings. The window's column
    // layout marks a launch as done, so a front end without that table
    // leaves the import to the window rather than run it every time.
    bool importDefaultsOnFirstLaunch = true;
    // Optional: the GPS receiver; null leaves the GPS menu disabled.
    CGpsIntegration* gps = nullptr;
    // Optional: creates the Device Information page's view on first use;
    // null leaves Device Information disabled.
    DeviceInfoViewFactory deviceInfoView = nullptr;
    // Optional: the Options dialog; null leaves View, Options... disabled.
    IOptionsDialogView* optionsView = nullptr;
    // Optional: the vendor's web server; null leaves Help, Check for newer
    // version... disabled.
    CWebRequests* web = nullptr;
    // Optional: the result filter and its dialog; null leaves View > Apply
    // Filters... disabled and every network shown.
    CResultFilters* filters = nullptr;
    // Optional: creates signal-graph windows; null leaves Signal Graph...
    // disabled (signal histories are kept all the same).
    ISignalGraphFactory* signalGraphs = nullptr;
    // Optional: creates the channel view on first use; null leaves View >
    // Channel View disabled.
    IChannelViewFactory* channelViews = nullptr;
};

class CMainDialog {
  public:
    explicit CMainDialog(const MainDialogParts& parts);
    ~CMainDialog();
    CMainDialog(const CMainDialog&) = delete;
    CMainDialog& operator=(const CMainDialog&) = delete;

    // The window's initialisation, every step in order. False when it ended
    // early because the driver could not be reached (no timers then).
    bool Initialize();

    void OnTimer(int id);
    void OnResize(int clientWidth, int clientHeight);
    // Menu bar, context menu, tray menu and system-menu commands.
    void ExecuteCommand(int id);
    // Computed when a menu opens.
    CommandState QueryCommandState(int id) const;
    // Disconnects a connected row, connects a "Not Connected" one.
    void OnTableDoubleClick();
    // True when the context menu may open (a row is selected).
    bool CanShowContextMenu() const;

    // The title bar's close. True when the window closes now (the caller
    // lets it close); false when it was hidden or the shut-down cancelled.
    bool OnCloseRequest();
    // The shut-down sequence; false when the user cancelled it.
    bool RunShutDown();
    // File, Exit; the tray's Exit; SIGINT and SIGTERM (GUI thread): sets
    // exit requested and queues a close request that ends the window.
    void RequestExit();
    // Another copy of the program asked this one to show itself.
    void ShowFromOtherInstance();
    void OnTrayLeftClick();

    // The scanning button.
    void OnScanningButton() { cycle_.ToggleScanning(); }
    // The adapter chooser.
    void OnAdapterSelectionChange();
    void OnAdapterSelectionConfirmed();
    // The system's device-change notification.
    bool OnDeviceChange(std::uint32_t event);
    // The driver's event link is back after a loss.
    void OnDriverReturned();

    // Messages from other threads (any thread; run on the GUI thread and
    // return once handled). Levels: 1 Info, 2 Warn, 3 Error; others ignored.
    void SendLogText(const std::string& text, int level);
    void SendStatusText(const std::string& text);
    void SendConnectionStarted();
    void SendConnectionEnded();

    // The connection procedure names the record it is joining (GUI thread,
    // before it sends the start).
    void SetConnectingRecord(BssidRecord record);
    bool IsConnectionInProgress() const { return connecting_.load(); }

    // The Options dialog restarts one timer after changing its period
    // (TIMER_DEVICE_INFO: the Device Information page's, while it is shown).
    void RestartTimer(int id);
    // The Device Information page; null without its view.
    CDeviceInfoPage* DeviceInfo() { return deviceInfo_.get(); }

    int ProgramMode() const { return mode_; }
    bool IsExitRequested() const { return exitRequested_; }
    bool IsClosing() const { return closing_; }
    bool WzcStoppedByUs() const { return wzcStoppedByUs_; }
    CScanCycle& ScanCycle() { return cycle_; }
    CAdapterList& Adapters() { return adapters_; }
    CAdapter* ChosenAdapter() const { return adapters_.Chosen(); }
    // Another program holds the chosen adapter; AdapterRefusal() says which.
    bool IsAdapterHeldElsewhere() const { return !refusal_.empty(); }
    const std::string& AdapterRefusal() const { return refusal_; }
    // The table's selected record, or null.
    BssidRecord SelectedRecord() const { return view_.SelectedRecord(); }
    // Signal Graph...: shows the selected record's graph, then samples once.
    void ShowSignalGraph();
    CSignalGraphs& SignalGraphs() { return *graphs_; }
    // View > Channel View: shows the view, creating it on first use, and
    // fills it at once (MainChannelView.cpp).
    void ShowChannelView();

  private:
    // Start-up pieces (MainDialog.cpp).
    void LayOutControls();
    void StopWzcIfConfigured();
    void PrepareCardIfAllowed();
    void StartAllTimers();
    void StopAllTimers();
    std::chrono::milliseconds TimerPeriod(int id) const;
    void RunTick(int id);
    void SyncChosenAdapter();
    void KeepScanningSwitch(const std::function<void()>& change);
    void FetchWithoutScan(CAdapter& adapter);
    void RefreshConnectionStatus();
    void ClaimChosenAdapter();
    // Network Hopping and the Connection Manager (MainAutoConnect.cpp).
    void CreateAutomaticModes(CProfileList* profiles);
    void CreateDeviceInfoPage(DeviceInfoViewFactory factory);
    void StepAutomaticMode(int mode);

    // Signal sampling, timer 7 (MainSignalGraph.cpp).
    void SampleSignals();
    void WatchRemovedRecords();
    // Redraws the channel view while it is on screen; timer 7.
    void RefreshChannelView();

    // Commands (MainCommands.cpp).
    void OpenUserManual();
    // MainOptions.cpp.
    void ShowOptionsDialog();
    CommandState ConnectState(bool connect) const;

    // Messages (MainMessages.cpp).
    void RunOnGuiThread(const std::function<void()>& work);
    void OnConnectionStarted();
    void OnConnectionEnded();

    // Shut-down (ShutDown.cpp).
    bool AskToSaveOrClose();
    void CloseFromExitCommand();

    IMainWindowView& view_;
    IMainLoop& loop_;
    CApplicationOptions& options_;
    CNetworkList& networks_;
    IScanFileService* scanFiles_;
    IConnectionActions* connection_;
    CProfileCommands* profiles_;
    std::function<void(std::vector<std::string>)> adapterAddresses_;
    IAdapterClaim* claim_;
    CGpsIntegration* gps_;
    IOptionsDialogView* optionsView_;
    CWebRequests* web_;
    CResultFilters* filters_;
    bool importDefaults_;
    std::unique_ptr<IWzcService> ownWzc_;
    IWzcService& wzc_;
    CMediaEventSource mediaSource_;
    CAdapterList adapters_;
    CScanCycle cycle_;
    // Null without connection actions.
    std::unique_ptr<IAutoConnectSeam> autoSeam_;
    std::unique_ptr<CNetworkHopping> hopping_;
    std::unique_ptr<CConnectionManager> manager_;
    CProfileList* autoProfiles_ = nullptr;
    std::unique_ptr<CSignalGraphs> graphs_;
    IChannelViewFactory* channelViewFactory_ = nullptr;
    std::unique_ptr<IChannelView> channelView_;

    int mode_ = MODE_NETWORK_SCANNING;
    bool timersRunning_ = false;
    bool trayIconShown_ = false;
    bool exitRequested_ = false;
    bool closing_ = false;
    bool shutDown_ = false;
    bool wzcStoppedByUs_ = false;
    // Why the chosen adapter is not ours; empty while it is.
    std::string refusal_;
    std::atomic<bool> connecting_ = false;
    BssidRecord connectingRecord_;
    // The chosen adapter and its scanning switch while a connection runs.
    CAdapter* savedAdapter_ = nullptr;
    bool savedScanning_ = false;
    // Close requests queued by RequestExit check it before they run.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Reads the chosen adapter through this object: goes first.
    std::unique_ptr<CDeviceInfoPage> deviceInfo_;
};

}  // namespace tarvik
