// The automatic modes' view of the running program: the network list, the
// connection procedure, the chosen adapter, the status line and the profile
// list. GUI thread only.
#pragma once

#include <atomic>

#include "adapter/AdapterList.h"
#include "app/AutoConnectSeam.h"
#include "app/ConnectionActions.h"
#include "profiles/ProfileList.h"

namespace tarvik {

class CMainAutoConnectSeam : public IAutoConnectSeam {
  public:
    // Everything outlives the seam; `profiles` may be null (no profiles).
    // `connecting` is the main window's connection-in-progress flag.
    CMainAutoConnectSeam(CNetworkList& networks, IConnectionActions& connection,
                         CAdapterList& adapters, const CProfileList* profiles,
                         const std::atomic<bool>& connecting);

    const std::vector<BssidRecord>& Records() const override { return networks_.Records(); }
    std::uint32_t ScanCounter() const override { return networks_.ScanCounter(); }
    bool IsConnectionInProgress() const override;
    Result LastResult() const override { return connection_.LastResult(); }
    BssidRecord LastTarget() const override { return connection_.LastTarget(); }
    Result ConnectToBssid(const BssidRecord& record, const CNetworkKey* profile) override;
    bool IsAddressValid() override;
    std::string CurrentSsidText() override;
    std::string CurrentBssidText() override;
    void ShowStatus(const std::string& text) override;
    std::vector<const CNetworkKey*> Profiles() const override;

  private:
    CNetworkList& networks_;
    IConnectionActions& connection_;
    CAdapterList& adapters_;
    const CProfileList* profiles_;
    const std::atomic<bool>& connecting_;
};

}  // namespace tarvik
