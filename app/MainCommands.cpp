// Command dispatch and the menu states: every command goes through its
// state first, so a disabled item does nothing whether it comes from a
// menu, an accelerator or the tray.
#include <optional>

#include "app/CommandIds.h"
#include "app/DeviceInfoPage.h"
#include "app/GpsIntegration.h"
#include "app/MainDialog.h"
#include "app/ProfileCommands.h"
#include "app/ResultFilters.h"
#include "app/SignalGraphs.h"
#include "app/UserManual.h"
#include "app/WebRequests.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr int kSecurityClassOpen = 1;

bool IsConnectedStatus(std::uint32_t status) {
    return status == STATUS_CONNECTED || status == STATUS_CONNECTED_MANUAL ||
           status == STATUS_CONNECTED_INVALID_IP;
}

}  // namespace

CommandState CMainDialog::QueryCommandState(int id) const {
    if (scanFiles_) {
        if (const auto file = scanFiles_->QueryFileCommand(id)) {
            return {file->enabled, file->checked};
        }
    }
    switch (id) {
        // The card is left alone while another program holds it.
        case ID_DEVICE_SOFT_REFRESH:
        case ID_DEVICE_HARD_REFRESH:
            return {refusal_.empty(), false};
        case ID_DEVICE_INFORMATION:
            return {deviceInfo_ != nullptr && refusal_.empty(), false};
        case ID_FILE_EXIT:
        case ID_VIEW_CLEAR_ALL:
        case ID_VIEW_COLUMNS:
        case ID_HELP_MANUAL:
        case ID_HELP_CREDITS:
        case ID_HELP_ABOUT:
        case ID_TRAY_OPEN:
        case ID_TRAY_EXIT:
        case ID_SYSTEM_MENU_ABOUT:
            return {true, false};
        case ID_HELP_CHECK_VERSION:
            return {web_ != nullptr, false};
        case ID_MODE_SCANNING:
            return {true, mode_ == MODE_NETWORK_SCANNING};
        case ID_MODE_HOPPING:
            return {true, mode_ == MODE_NETWORK_HOPPING};
        case ID_MODE_CONNECTION_MANAGER:
            return {true, mode_ == MODE_CONNECTION_MANAGER};
        case ID_NETWORK_SUITABLE_FOR_HOPPING:
        case ID_CONTEXT_SUITABLE_FOR_HOPPING: {
            const BssidRecord selected = view_.SelectedRecord();
            if (!selected) return {false, false};
            return {selected->SecurityClass() == kSecurityClassOpen,
                    !selected->NotSuitableForHopping()};
        }
        case ID_NETWORK_CONNECT:
        case ID_CONTEXT_CONNECT:
            return ConnectState(true);
        case ID_NETWORK_DISCONNECT:
        case ID_CONTEXT_DISCONNECT:
            return ConnectState(false);
        // Re-enumerating replaces the adapter a running connection uses.
        case ID_SYSTEM_REENUMERATE:
            return {!connecting_.load(), false};
        case ID_SYSTEM_START_WZC:
            return {!wzc_.IsRunning(), false};
        case ID_SYSTEM_STOP_WZC:
            return {wzc_.IsRunning(), false};
        case ID_VIEW_PROFILES:
            return {profiles_ != nullptr, false};
        case ID_NETWORK_REMEMBER:
        case ID_CONTEXT_REMEMBER:
            if (!profiles_) return {false, false};
            return profiles_->RememberState(view_.SelectedRecord(), connecting_.load());
        case ID_GPS_CONNECT:
            return {gps_ != nullptr && !gps_->IsPortOpen(), false};
        case ID_GPS_DISCONNECT:
            return {gps_ != nullptr && gps_->IsPortOpen(), false};
        case ID_GPS_TESTER:
            return {gps_ != nullptr, false};
        case ID_VIEW_OPTIONS:
            return {optionsView_ != nullptr, false};
        case ID_VIEW_FILTERS:
            return {filters_ != nullptr && filters_->CanShowDialog(), false};
        case ID_NETWORK_SIGNAL_GRAPH:
        case ID_CONTEXT_SIGNAL_GRAPH:
            return {graphs_->CanShowGraphs() && view_.SelectedRecord() != nullptr, false};
        case ID_VIEW_CHANNELS:
            return {channelViewFactory_ != nullptr, false};
        default:
            return {false, false};
    }
}

// Connect: a selected record that is not connected; Disconnect: a connected
// one; neither while a connection runs.
CommandState CMainDialog::ConnectState(bool connect) const {
    if (!connection_ || connecting_.load() || !refusal_.empty()) return {false, false};
    const BssidRecord selected = view_.SelectedRecord();
    if (!selected) return {false, false};
    return {IsConnectedStatus(selected->ConnectionStatus()) != connect, false};
}

void CMainDialog::ExecuteCommand(int id) {
    if (closing_ || !QueryCommandState(id).enabled) return;
    switch (id) {
        case ID_FILE_EXIT:
        case ID_TRAY_EXIT:
            RequestExit();
            break;
        case ID_VIEW_CLEAR_ALL:
            cycle_.ClearAllNetworks();
            break;
        case ID_VIEW_COLUMNS:
            view_.ShowColumnsDialog();
            break;
        case ID_MODE_SCANNING:
            mode_ = MODE_NETWORK_SCANNING;
            break;
        case ID_MODE_HOPPING:
            mode_ = MODE_NETWORK_HOPPING;
            break;
        case ID_MODE_CONNECTION_MANAGER:
            mode_ = MODE_CONNECTION_MANAGER;
            break;
        case ID_NETWORK_SUITABLE_FOR_HOPPING:
        case ID_CONTEXT_SUITABLE_FOR_HOPPING:
            if (const BssidRecord selected = view_.SelectedRecord()) {
                selected->ToggleNotSuitableForHopping();
            }
            break;
        case ID_NETWORK_CONNECT:
        case ID_CONTEXT_CONNECT:
            if (const BssidRecord selected = view_.SelectedRecord()) {
                connection_->ConnectToBssid(selected);
            }
            break;
        case ID_NETWORK_DISCONNECT:
        case ID_CONTEXT_DISCONNECT:
            connection_->Disconnect();
            break;
        case ID_NETWORK_REMEMBER:
        case ID_CONTEXT_REMEMBER:
            profiles_->RememberNetwork(view_.SelectedRecord());
            break;
        case ID_VIEW_PROFILES:
            profiles_->ShowProfiles();
            break;
        case ID_VIEW_OPTIONS:
            ShowOptionsDialog();
            break;
        case ID_GPS_CONNECT:
            gps_->OpenPort();
            break;
        case ID_GPS_DISCONNECT:
            gps_->ClosePort();
            break;
        case ID_GPS_TESTER:
            gps_->ShowOutput();
            break;
        case ID_HELP_CHECK_VERSION:
            web_->CheckVersion();
            break;
        case ID_VIEW_FILTERS:
            filters_->ShowDialog();
            break;
        case ID_NETWORK_SIGNAL_GRAPH:
        case ID_CONTEXT_SIGNAL_GRAPH:
            ShowSignalGraph();
            break;
        case ID_VIEW_CHANNELS:
            ShowChannelView();
            break;
        case ID_DEVICE_SOFT_REFRESH:
            cycle_.ScanNetworks(false);
            break;
        case ID_DEVICE_HARD_REFRESH:
            cycle_.ScanNetworks(true);
            break;
        case ID_DEVICE_INFORMATION:
            deviceInfo_->Show();
            break;
        case ID_SYSTEM_REENUMERATE:
            KeepScanningSwitch([this] { adapters_.EnumerateDevices(); });
            break;
        case ID_SYSTEM_START_WZC:
            wzc_.Start();
            break;
        case ID_SYSTEM_STOP_WZC:
            wzc_.Stop();
            break;
        case ID_HELP_MANUAL:
            OpenUserManual();
            break;
        case ID_HELP_CREDITS:
            view_.ShowCreditsDialog();
            break;
        case ID_HELP_ABOUT:
        case ID_SYSTEM_MENU_ABOUT:
            view_.ShowAboutDialog();
            break;
        case ID_TRAY_OPEN:
            view_.ShowNormalAndActivate();
            break;
        default:
            if (scanFiles_) scanFiles_->ExecuteFileCommand(id);
            break;
    }
}

// Nothing on this system writes INSTInfo, so the manual is also looked for
// where the program is installed or built; without one nothing happens.
void CMainDialog::OpenUserManual() {
    // Said on the status line: a menu item that does nothing looks broken.
    const std::string path = UserManualPath(options_.ExecutablePathName());
    if (path.empty()) {
        SetStatusText("The User Manual is not installed (no doc/toc.html was found).");
        return;
    }
    if (!view_.OpenDocument(path)) {
        SetStatusText("Could not open the User Manual " + path +
                      ": xdg-open could not be started (is xdg-utils installed?).");
    }
}

bool CMainDialog::CanShowContextMenu() const {
    return view_.SelectedRecord() != nullptr;
}

void CMainDialog::OnTableDoubleClick() {
    const BssidRecord selected = view_.SelectedRecord();
    if (!selected || closing_ || !connection_ || !refusal_.empty()) return;
    if (IsConnectedStatus(selected->ConnectionStatus())) {
        connection_->Disconnect();
    } else if (selected->ConnectionStatus() == STATUS_NOT_CONNECTED) {
        connection_->ConnectToBssid(selected);
    }
}

void CMainDialog::OnTrayLeftClick() {
    view_.ShowNormalAndActivate();
}

void CMainDialog::ShowFromOtherInstance() {
    view_.ShowNormalAndActivate();
}

}  // namespace tarvik
