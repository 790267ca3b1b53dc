// ConnectToBssid and Disconnect: the GUI thread's part of joining and leaving
// a network, and the worker's start and end.
#include "app/ConnectionProcedure.h"

#include <cstdio>

#include "adapter/Adapter.h"
#include "adapter/DriverAnswerBound.h"
#include "app/MainDialog.h"
#include "app/WepKeyBlock.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "networks/NetworkColumns.h"

namespace tarvik {
namespace {

std::string MacText(const ndis::MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

// The procedure a record's class calls for; none for a record without a
// class (no scan entry, or a privacy value that is neither).
std::optional<ConnectKind> KindOf(const CBssid& record) {
    if (record.IsOpen()) return ConnectKind::Open;
    // A network that is both WEP and WPA by its classes is joined as WPA.
    if (record.IsWpa() || record.IsWpa2()) return ConnectKind::Wpa;
    if (record.IsWep()) return ConnectKind::Wep;
    return std::nullopt;
}

}  // namespace

CConnectionProcedure::CConnectionProcedure(const CApplicationOptions& settings)
    : settings_(settings) {}

CConnectionProcedure::~CConnectionProcedure() {
    EndAttempts();
}

void CConnectionProcedure::Attach(CMainDialog* window, IEventDispatcher* guiQueue) {
    window_ = window;
    guiQueue_ = guiQueue;
}

Result CConnectionProcedure::ConnectToBssid(const BssidRecord& record, const CNetworkKey* profile) {
    if (!window_ || !record) return RES_FAILURE;
    CAdapterList& adapters = window_->Adapters();
    adapters.SetConnectStarting(true);
    CAdapter* adapter = window_->ChosenAdapter();
    if (!adapter) {
        LogError("ConnectToBssid called with chosen adapter being NULL");
        adapters.SetConnectStarting(false);
        return RES_FAILURE;
    }
    const Result result = PrepareAndStart(record, profile, *adapter);
    // A started worker keeps the adapters from being re-enumerated until
    // its start message has made the connection "in progress".
    if (!IsRunning()) adapters.SetConnectStarting(false);
    return result;
}

Result CConnectionProcedure::PrepareAndStart(const BssidRecord& record, const CNetworkKey* profile,
                                             CAdapter& adapter) {
    const CDriverAnswerBound bound;
    adapter.ProbeSecurityCapabilities();
    if (record->IsConnected() && adapter.HasAddress()) {
        SetStatusText("Already connected to: " + SsidText(*record));
        return RES_FAILURE;
    }
    if (window_->IsConnectionInProgress() || IsRunning() || Ending()) {
        LogWarn("ConnectToBssid called when connecting is in progress");
        return -2;
    }
    JoinFinishedWorker();
    const AdapterEncryptionSupport encryption{adapter.BestEncryption()};
    if (!CheckNetworkSupported(encryption, record->SecuritySummary(), SsidText(*record),
                               KeyManagementText(*record), SetStatusText)) {
        return RES_SUCCESS;
    }
    const auto kind = KindOf(*record);
    if (!kind || !record->Entry()) {
        SetStatusText("Selected network " + SsidText(*record) +
                      " has no security this program can join.");
        return RES_FAILURE;
    }
    if (*kind == ConnectKind::Wpa && !bridge_) {
        SetStatusText(kNoWpaBridgeText);
        return RES_FAILURE;
    }
    ConnectParameters params{.record = record,
                             .adapter = &adapter,
                             .profile = std::nullopt,
                             .temporaryProfile = false,
                             .entry = *record->Entry(),
                             .security = record->SecuritySummary(),
                             .encryption = encryption,
                             .kind = *kind,
                             .result = RES_SUCCESS};
    Result result = RES_SUCCESS;
    if (profile) {
        params.profile = *profile;
    } else if (*kind != ConnectKind::Open) {
        if (!keys_) {
            SetStatusText("No key is known for " + SsidText(*record) +
                          " and this build cannot ask for one; nothing was changed.");
            return RES_FAILURE;
        }
        CNetworkKey key;
        bool temporary = false;
        if (keys_->GetKeyForNetwork(record, key, temporary) == RES_KEY_CANCELLED)
            return RES_FAILURE;
        params.profile = key;
        params.temporaryProfile = temporary;
        result = RES_KEY_OBTAINED;
    }
    if (RefusedBeforeStart(params, *record)) return RES_FAILURE;
    if (settings_.SetBssidBeforeConnecting != 0) {
        const ndis::MacAddress bssid = record->Entry()->GetMacAddress();
        if (adapter.SetBssid(bssid) == 0) {
            LogInfo("Successfully set BSSID before connecting to %s", MacText(bssid).c_str());
        } else {
            LogWarn("Failed to set BSSID before connecting, proceeding anyway");
        }
    }
    window_->SetConnectingRecord(record);
    lastTarget_ = record;
    StartWorker(std::move(params));
    return result;
}

// A WEP key the key block cannot hold is refused before anything is set.
bool CConnectionProcedure::RefusedBeforeStart(const ConnectParameters& params, CBssid& record) {
    if (params.kind != ConnectKind::Wep || !params.profile) return false;
    if (params.profile->keyLength <= kWepKeyBlockCapacity) return false;
    SetStatusText("The key for " + SsidText(record) + " has " +
                  std::to_string(params.profile->keyLength) + " bytes; a WEP key has at most " +
                  std::to_string(kWepKeyBlockCapacity) + ". Nothing was changed.");
    return true;
}

void CConnectionProcedure::JoinFinishedWorker() {
    if (worker_.joinable() && !IsRunning()) worker_.join();
}

void CConnectionProcedure::StartWorker(ConnectParameters params) {
    running_ = true;
    worker_ =
        std::thread([this, params = std::move(params)]() mutable { RunWorker(std::move(params)); });
}

void CConnectionProcedure::Disconnect() {
    if (!window_) return;
    CAdapter* adapter = window_->ChosenAdapter();
    if (!adapter) return;
    const BssidRecord selected = window_->SelectedRecord();
    if (!selected) {
        LogWarn("Disconnect called when no item was selected.");
        return;
    }
    // The worker is setting the same adapter's OIDs.
    if (IsRunning()) {
        SetStatusText("A connection attempt is running; disconnect once it has ended.");
        return;
    }
    {
        const CDriverAnswerBound bound;
        adapter->DisconnectCard();
    }
    SetStatusText("Disconnected from " + SsidText(*selected) + ".");
}

void CConnectionProcedure::EndAttempts() {
    {
        std::lock_guard lock(gate_->mutex);
        gate_->ending = true;
    }
    gate_->handled.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool CConnectionProcedure::Ending() const {
    std::lock_guard lock(gate_->mutex);
    return gate_->ending;
}

bool CConnectionProcedure::Deliver(std::function<void()> work) {
    const std::shared_ptr<Gate> gate = gate_;
    const auto handled = std::make_shared<bool>(false);
    {
        std::lock_guard lock(gate->mutex);
        if (gate->ending || !guiQueue_) return false;
    }
    // Runs on the GUI thread, where EndAttempts runs too: once the attempts
    // are ending nothing more reaches the window.
    guiQueue_->Post([gate, handled, work = std::move(work)] {
        {
            std::lock_guard lock(gate->mutex);
            if (gate->ending) return;
        }
        work();
        {
            std::lock_guard lock(gate->mutex);
            *handled = true;
        }
        gate->handled.notify_all();
    });
    std::unique_lock lock(gate->mutex);
    gate->handled.wait(lock, [&] { return *handled || gate->ending; });
    return *handled;
}

void CConnectionProcedure::Say(const std::string& text) {
    CMainDialog* window = window_;
    Deliver([window, text] { window->SendStatusText(text); });
}

}  // namespace tarvik
