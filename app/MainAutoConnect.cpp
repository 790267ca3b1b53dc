// The main window's automatic modes: each machine is stepped by its own
// timer, in its own mode only, and only while the chosen adapter's scanning
// switch is on (a running connection turns it off).
#include "app/ConnectionManager.h"
#include "app/MainAutoConnectSeam.h"
#include "app/MainDialog.h"
#include "app/NetworkHopping.h"
#include "app/ProfileCommands.h"

namespace tarvik {

void CMainDialog::CreateAutomaticModes(CProfileList* profiles) {
    autoProfiles_ = profiles;
    if (!connection_) return;
    const CProfileList* list = profiles ? profiles : profiles_ ? &profiles_->Profiles() : nullptr;
    autoSeam_ = std::make_unique<CMainAutoConnectSeam>(networks_, *connection_, adapters_, list,
                                                       connecting_);
    hopping_ = std::make_unique<CNetworkHopping>(*autoSeam_);
    manager_ = std::make_unique<CConnectionManager>(*autoSeam_);
}

void CMainDialog::StepAutomaticMode(int mode) {
    if (mode_ != mode || !autoSeam_) return;
    const CAdapter* adapter = adapters_.Chosen();
    if (!adapter || !adapter->IsScanning()) return;
    if (mode == MODE_NETWORK_HOPPING) hopping_->Tick();
    if (mode == MODE_CONNECTION_MANAGER) manager_->Tick();
}

}  // namespace tarvik
