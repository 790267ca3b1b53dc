#include "app/MainAutoConnectSeam.h"

#include <cstdio>

#include "adapter/Adapter.h"
#include "core/StatusLine.h"

namespace tarvik {
namespace {

constexpr const char* kNotSet = "Not Set";

}  // namespace

CMainAutoConnectSeam::CMainAutoConnectSeam(CNetworkList& networks, IConnectionActions& connection,
                                           CAdapterList& adapters, const CProfileList* profiles,
                                           const std::atomic<bool>& connecting)
    : networks_(networks),
      connection_(connection),
      adapters_(adapters),
      profiles_(profiles),
      connecting_(connecting) {}

// The procedure's own flag also covers the time before its start message
// and after its end message, until the result is stored.
bool CMainAutoConnectSeam::IsConnectionInProgress() const {
    return connecting_.load() || connection_.IsRunning();
}

Result CMainAutoConnectSeam::ConnectToBssid(const BssidRecord& record, const CNetworkKey* profile) {
    return connection_.ConnectToBssid(record, profile);
}

bool CMainAutoConnectSeam::IsAddressValid() {
    CAdapter* adapter = adapters_.Chosen();
    return adapter && adapter->HasAddress();
}

std::string CMainAutoConnectSeam::CurrentSsidText() {
    CAdapter* adapter = adapters_.Chosen();
    const std::string text = adapter ? adapter->QueryCurrentSsidText() : std::string();
    return text.empty() ? kNotSet : text;
}

std::string CMainAutoConnectSeam::CurrentBssidText() {
    CAdapter* adapter = adapters_.Chosen();
    if (!adapter || adapter->QueryAssociatedBssid() != 0) return kNotSet;
    const ndis::MacAddress& mac = adapter->AssociatedBssid();
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

void CMainAutoConnectSeam::ShowStatus(const std::string& text) {
    SetStatusText(text);
}

std::vector<const CNetworkKey*> CMainAutoConnectSeam::Profiles() const {
    std::vector<const CNetworkKey*> list;
    if (!profiles_) return list;
    list.reserve(profiles_->Size());
    for (std::size_t i = 0; i < profiles_->Size(); ++i) list.push_back(&profiles_->At(i));
    return list;
}

}  // namespace tarvik
