// Leaving a network: the DHCP address is given back, then the card either
// disassociates or is pointed at a random SSID that no network has.
#include "adapter/Adapter.h"
#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "ndis/Oids.h"
#include "platform/driverio/DeviceFile.h"

namespace tarvik {

Result CAdapter::QueryInfrastructureMode() {
    return QueryU32(ndis::OID_802_11_INFRASTRUCTURE_MODE, infrastructureMode_);
}

Result CAdapter::DisconnectCard() {
    ProbeSecurityCapabilities();
    const bool scanning = scanning_;
    scanning_ = false;
    ReadIpHelperData();
    if (HasIpConfig() && IsDhcpEnabled()) {
        std::uint32_t error = 0;
        const auto control = driverio::CDeviceFile::OpenControl(error);
        if (control) error = control->ReleaseAddress(DeviceName());
        if (error != 0) {
            LogWarn("Could not release IP address before disconnecting, error=%u", error);
        }
    }
    if (settings_.UseDisassociateWhenDisconnecting != 0) {
        Disassociate();
    } else {
        QueryAuthenticationMode();
        QueryInfrastructureMode();
        QueryEncryptionStatus();
        QueryCurrentSsidText();
        SetInfrastructureMode(ndis::Ndis802_11Infrastructure);
        SetRandomSsid();
    }
    scanning_ = scanning;
    return RES_SUCCESS;
}

}  // namespace tarvik
