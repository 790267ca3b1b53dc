#include "app/MainDialog.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

#include "adapter/DriverAnswerBound.h"
#include "app/AutoConnectSeam.h"
#include "app/ChannelView.h"
#include "app/CommandIds.h"
#include "app/ConnectionManager.h"
#include "app/DeviceInfoPage.h"
#include "app/GpsIntegration.h"
#include "app/NetworkHopping.h"
#include "app/ProfileCommands.h"
#include "app/ResultFilters.h"
#include "app/SignalGraphs.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "platform/RegistryStore.h"
#include "profiles/ProfileList.h"

namespace tarvik {
namespace {

// A device change re-enumerates every card: more requests than a tick.
constexpr std::chrono::milliseconds kDeviceChangeDriverWaitBound{3000};

constexpr int kAllTimers[] = {TIMER_SOFT_REFRESH,      TIMER_HARD_REFRESH,      TIMER_HOPPING,
                              TIMER_AUTO_SAVE,         TIMER_SIGNAL_GRAPH,      TIMER_GPS_STATUS,
                              TIMER_CONNECTION_STATUS, TIMER_CONNECTION_MANAGER};

std::function<std::int64_t()> WallClockOr(std::function<std::int64_t()> clock) {
    if (clock) return clock;
    return [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

}  // namespace

CMainDialog::CMainDialog(const MainDialogParts& parts)
    : view_(parts.view),
      loop_(parts.loop),
      options_(parts.options),
      networks_(parts.networks),
      scanFiles_(parts.scanFiles),
      connection_(parts.connection),
      profiles_(parts.profiles),
      adapterAddresses_(parts.adapterAddresses),
      claim_(parts.adapterClaim),
      gps_(parts.gps),
      optionsView_(parts.optionsView),
      web_(parts.web),
      filters_(parts.filters),
      importDefaults_(parts.importDefaultsOnFirstLaunch),
      ownWzc_(parts.wzc ? nullptr : std::make_unique<CDriverWzcService>()),
      wzc_(parts.wzc ? *parts.wzc : *ownWzc_),
      mediaSource_(parts.loop),
      adapters_(parts.options, parts.adapterCombo, WallClockOr(parts.clock), &mediaSource_),
      cycle_(parts.networks, parts.options, parts.table, parts.columns),
      graphs_(std::make_unique<CSignalGraphs>(parts.signalGraphs)),
      channelViewFactory_(parts.channelViews) {
    cycle_.SetScanningButton(&view_);
    cycle_.SetConnectionInProgressFlag(&connecting_);
    if (filters_) filters_->Attach(cycle_);
    // The driver coming back is this system's device-change notification.
    mediaSource_.SetDeviceChangeHandler([this] { OnDriverReturned(); });
    CreateAutomaticModes(parts.autoConnectProfiles);
    WatchRemovedRecords();
    CreateDeviceInfoPage(parts.deviceInfoView);
}

void CMainDialog::CreateDeviceInfoPage(DeviceInfoViewFactory factory) {
    if (!factory) return;
    deviceInfo_ = std::make_unique<CDeviceInfoPage>(
        DeviceInfoPageParts{.loop = loop_,
                            .options = options_,
                            .chosenAdapter = [this] { return adapters_.Chosen(); },
                            .connectionInProgress = [this] { return connecting_.load(); },
                            .createView = std::move(factory)});
}

CMainDialog::~CMainDialog() {
    networks_.SetRemovalObserver(nullptr);
    if (timersRunning_) StopAllTimers();
    cycle_.SetChosenAdapter(nullptr);
}

bool CMainDialog::Initialize() {
    LogInfo("Peforming program initialization.");
    // Reading a damaged settings file repairs it; the user is told once, and the
    // first-launch defaults must not overwrite what was kept.
    const std::optional<RegDamageReport> damage = options_.UserHive().TakeDamageReport();
    if (damage) std::fprintf(stderr, "tarvik: %s\n", damage->Describe().c_str());
    if (!damage && importDefaults_ && options_.IsFirstLaunch()) options_.ImportDefaultSettings();
    options_.Load();
    SetStatusText("Please wait while the program finishes loading ...");

    LogInfo("Adding 'About' to system menu.");
    view_.AddAboutToSystemMenu(kAboutMenuText);
    LogInfo("Adding icon into system tray.");
    view_.AddTrayIcon(kTrayTooltip);
    trayIconShown_ = true;
    // The view builds the table's thirty columns with the window; the styles
    // wait for the loaded settings.
    LogInfo("Adding columns to network list.");
    view_.SetTableGridLines(options_.ShowTableGridLines != 0);

    LogInfo("Starting WMI");
    if (mediaSource_.StartWmi() != 0) LogWarn("Failed to initialize WMI.");

    LogInfo("Enumerating network cards.");
    SetStatusText("Enumerating networking devices on this computer ...");
    const Result enumerated = adapters_.EnumerateDevices();
    SyncChosenAdapter();
    // The adapter list has put the no-driver text on the status line.
    if (enumerated == RES_BINDINGS_FAILED) return false;
    SetStatusText("Successfully obtained the list of all the wireless cards!");

    // A card another program drives is neither scanned nor prepared here.
    const bool ours = refusal_.empty();
    LogInfo("Forcing a manual access point refresh.");
    SetStatusText("Performing an initial network scan ...");
    if (adapters_.Chosen() && ours) cycle_.StartScanning();
    if (ours) cycle_.ScanNetworks(false);

    StopWzcIfConfigured();

    LogInfo("Setting program mode to scanning.");
    mode_ = MODE_NETWORK_SCANNING;
    LayOutControls();
    LogInfo("Sizing controls.");
    LayOutControls();

    LogInfo("Performing wireless card initialization.");
    if (ours) PrepareCardIfAllowed();

    SetStatusText("Starting all timers ...");
    StartAllTimers();
    SetStatusText("Program initialization completed successfully.");
    if (damage) SetStatusText(damage->Describe());
    if (!refusal_.empty()) SetStatusText(refusal_);

    LogInfo("Restoring column states.");
    view_.RestoreColumnLayout();
    LogInfo("Loading saved network configuration.");
    if (profiles_) profiles_->LoadProfiles();
    if (autoProfiles_) autoProfiles_->Load();
    adapters_.MarkReEnumerated();
    return true;
}

void CMainDialog::StopWzcIfConfigured() {
    if (!wzc_.IsRunning()) {
        LogInfo("WZCSVC is not currently running.");
        wzcStoppedByUs_ = false;
        return;
    }
    if (options_.DoStopWZVSVCOnStart == 0) return;
    LogInfo("Stopping running WZCSVC.");
    SetStatusText("Stopping Windows Zero Configuration Service ...");
    wzc_.Stop();
    wzcStoppedByUs_ = true;
}

void CMainDialog::PrepareCardIfAllowed() {
    adapters_.PrepareCardOnLoad(options_.DoNotDisruptConnectionsOnStartup != 0);
}

void CMainDialog::LayOutControls() {
    int width = 0;
    int height = 0;
    view_.ClientSize(width, height);
    view_.PlaceControls(ComputeLayout(width, height));
}

void CMainDialog::OnResize(int clientWidth, int clientHeight) {
    view_.PlaceControls(ComputeLayout(clientWidth, clientHeight));
}

std::chrono::milliseconds CMainDialog::TimerPeriod(int id) const {
    std::int64_t ms = 1000;
    switch (id) {
        case TIMER_SOFT_REFRESH:
            ms = std::int64_t{options_.SoftRefreshInterval} * 1000;
            break;
        case TIMER_HARD_REFRESH:
            ms = std::int64_t{options_.HardRefreshInterval} * 1000;
            break;
        case TIMER_HOPPING:
            ms = options_.HoppingStateMachineInterval;
            break;
        case TIMER_AUTO_SAVE:
            ms = std::int64_t{options_.AutoSaveInterval} * 1000;
            break;
        case TIMER_CONNECTION_MANAGER:
            ms = options_.ConnectionManagerInterval;
            break;
        default:
            break;
    }
    // A zero or negative setting must not make a timer spin.
    return std::chrono::milliseconds(std::max<std::int64_t>(ms, kMinimumTimerPeriodMs));
}

void CMainDialog::StartAllTimers() {
    for (int id : kAllTimers) loop_.StartTimer(id, TimerPeriod(id));
    timersRunning_ = true;
}

void CMainDialog::StopAllTimers() {
    for (int id : kAllTimers) loop_.StopTimer(id);
    if (deviceInfo_) deviceInfo_->Stop();
    timersRunning_ = false;
}

void CMainDialog::RestartTimer(int id) {
    if (id == TIMER_DEVICE_INFO && deviceInfo_) deviceInfo_->RestartRefreshTimer();
    if (!timersRunning_) return;
    if (std::find(std::begin(kAllTimers), std::end(kAllTimers), id) == std::end(kAllTimers)) {
        return;
    }
    loop_.StopTimer(id);
    loop_.StartTimer(id, TimerPeriod(id));
}

void CMainDialog::OnTimer(int id) {
    if (id == TIMER_DRIVER_RETURNED) {
        loop_.StopTimer(id);
        OnDriverReturned();
        return;
    }
    if (closing_ || !adapters_.Chosen()) return;
    if (!refusal_.empty()) {
        if (id == TIMER_CONNECTION_STATUS) ClaimChosenAdapter();
        if (!refusal_.empty()) return;
    }
    // A hung driver costs the tick at most the bound, never the window.
    const CDriverAnswerBound bound;
    RunTick(id);
    bound.ReportIfNotAnswering();
}

void CMainDialog::RunTick(int id) {
    switch (id) {
        case TIMER_SOFT_REFRESH:
            cycle_.ScanNetworks(false);
            break;
        case TIMER_HARD_REFRESH:
            cycle_.ScanNetworks(true);
            break;
        case TIMER_AUTO_SAVE:
            if (scanFiles_ && scanFiles_->IsFileOpen() && scanFiles_->IsAutoSaveOn()) {
                LogInfo("Auto-saving file");
                scanFiles_->SaveOpenFile();
            }
            break;
        case TIMER_CONNECTION_STATUS:
            RefreshConnectionStatus();
            break;
        case TIMER_HOPPING:
            StepAutomaticMode(MODE_NETWORK_HOPPING);
            break;
        case TIMER_CONNECTION_MANAGER:
            StepAutomaticMode(MODE_CONNECTION_MANAGER);
            break;
        case TIMER_GPS_STATUS:
            if (gps_) gps_->UpdateStatus();
            break;
        case TIMER_SIGNAL_GRAPH:
            SampleSignals();
            RefreshChannelView();
            break;
        case TIMER_DEVICE_INFO:
            if (deviceInfo_) deviceInfo_->OnTimer();
            break;
        default:
            LogInfo("Timer id %d, is not assigned to anything!", id);
            break;
    }
}

void CMainDialog::RefreshConnectionStatus() {
    if (adapterAddresses_ && adapters_.Chosen()) {
        adapterAddresses_(SplitAddressText(adapters_.Chosen()->IpAddressText()));
    }
    cycle_.UpdateConnectionStatus();
}

void CMainDialog::SyncChosenAdapter() {
    cycle_.SetChosenAdapter(adapters_.Chosen());
    ClaimChosenAdapter();
}

void CMainDialog::ClaimChosenAdapter() {
    if (!claim_) return;
    const bool wasRefused = !refusal_.empty();
    refusal_ = claim_->Claim(adapters_.Chosen());
    // Said when it changes, not on every retry.
    if (!refusal_.empty() && !wasRefused) SetStatusText(refusal_);
    // The scanning that start-up left off for a held card begins now.
    if (refusal_.empty() && wasRefused && adapters_.Chosen()) {
        SetStatusText("The chosen adapter is free; this program drives it now.");
        cycle_.StartScanning();
    }
}

void CMainDialog::FetchWithoutScan(CAdapter& adapter) {
    adapter.ScanAndFetchBssidList(
        false, [this](std::span<const std::uint8_t> bytes) { networks_.MergeBssidList(bytes); });
}

void CMainDialog::KeepScanningSwitch(const std::function<void()>& change) {
    const bool wasScanning = adapters_.Chosen() && adapters_.Chosen()->IsScanning();
    change();
    SyncChosenAdapter();
    // A newly chosen adapter starts with its switch off; it takes over the
    // previous one's, so the button keeps telling the truth.
    if (adapters_.Chosen() && wasScanning && !adapters_.Chosen()->IsScanning()) {
        cycle_.StartScanning();
    }
}

void CMainDialog::OnAdapterSelectionChange() {
    KeepScanningSwitch([this] { adapters_.OnSelectionChange(); });
}

void CMainDialog::OnAdapterSelectionConfirmed() {
    adapters_.OnSelectionConfirmed([this](CAdapter& adapter) { FetchWithoutScan(adapter); });
}

// A driver that comes back within the re-enumeration guard would be ignored
// and the list would stay frozen; it is handled once the guard has passed.
void CMainDialog::OnDriverReturned() {
    if (closing_) return;
    const std::int64_t wait = adapters_.SecondsUntilReEnumeration();
    if (wait > 0) {
        loop_.StartTimer(TIMER_DRIVER_RETURNED, std::chrono::seconds(wait));
        return;
    }
    OnDeviceChange(kDbtDevNodesChanged);
}

bool CMainDialog::OnDeviceChange(std::uint32_t event) {
    const CDriverAnswerBound bound(kDeviceChangeDriverWaitBound);
    bool handled = true;
    KeepScanningSwitch([&] { handled = adapters_.OnDeviceChange(event); });
    bound.ReportIfNotAnswering();
    return handled;
}

}  // namespace tarvik
