#include "app/MainOptionEffects.h"

#include "app/CommandIds.h"
#include "app/GpsIntegration.h"
#include "app/MainDialog.h"

namespace tarvik {

CMainOptionEffects::CMainOptionEffects(CMainDialog& dialog, IMainWindowView& view,
                                       CNetworkList& networks, CGpsIntegration* gps,
                                       IOptionsDialogView& dialogView)
    : dialog_(dialog), view_(view), networks_(networks), gps_(gps), dialogView_(dialogView) {}

void CMainOptionEffects::RefreshNetworkTable() {
    dialog_.ScanCycle().RefreshNetworkTable(networks_.Snapshot());
}

void CMainOptionEffects::RestartTimer(int id) {
    dialog_.RestartTimer(id);
}

void CMainOptionEffects::SetGridLines(bool on) {
    view_.SetTableGridLines(on);
}

void CMainOptionEffects::RepaintTable() {
    dialogView_.RepaintNetworkTable();
}

void CMainOptionEffects::ReopenGpsPort() {
    // Reopens only a port that is open.
    if (gps_ != nullptr) gps_->OnComSettingsChanged();
}

void CMainOptionEffects::RestartDeviceInfoTimer() {
    // The Device Information page restarts its refresh while it is open.
    dialog_.RestartTimer(TIMER_DEVICE_INFO);
}

}  // namespace tarvik
