#include "adapter/AdapterList.h"

#include "adapter/DriverChannel.h"
#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "ndis/NdisTypes.h"

namespace tarvik {

CAdapterList::CAdapterList(const CApplicationOptions& settings, IAdapterCombo& combo, Clock clock,
                           CMediaEventSource* mediaSource)
    : settings_(settings), combo_(combo), clock_(std::move(clock)), mediaSource_(mediaSource) {}

CAdapterList::~CAdapterList() {
    ClearAdapters();
}

CAdapter* CAdapterList::At(std::size_t index) const {
    return index < adapters_.size() ? adapters_[index].get() : nullptr;
}

Result CAdapterList::EnumerateDevices() {
    ndis::MacAddress previous{};
    if (chosen_) {
        int position = 0;
        for (std::size_t i = 0; i < adapters_.size(); ++i) {
            if (adapters_[i].get() == chosen_) position = static_cast<int>(i);
        }
        LogInfo("Found chosen adapter: %d", position);
        chosen_->QueryPermanentAddress();
        previous = chosen_->PermanentAddress();
        if (chosen_->HasReceiveThread()) chosen_->StopReceive(true);
        chosen_->CloseChannel();
        chosen_ = nullptr;
    } else {
        LogInfo("No wireless adapter currently chosen.");
    }
    ClearAdapters();

    std::vector<std::uint8_t> list(kBindingListSize, 0);
    if (QueryBindings(list.data(), list.size()) != RES_BINDINGS_DONE) {
        SetStatusText(kNoDriverStatusText);
        return RES_BINDINGS_FAILED;
    }
    int candidate = -1;
    for (const std::string& name : BindingNames(list.data(), list.size())) {
        if (name.empty()) break;
        auto adapter = std::make_unique<CAdapter>(name, settings_, mediaSource_);
        const int index = combo_.AddItem(adapter->GetDisplayName(), adapter.get());
        if (adapter->IsWireless()) candidate = index;
        adapters_.push_back(std::move(adapter));
    }

    if (candidate < 0) {
        if (!adapters_.empty()) {
            LogInfo("No wireless devices, but non-wireless devices found.");
            combo_.SetCurrentSelection(0);
            SelectAdapter(adapters_.front().get(), 0);
        } else {
            LogWarn("No networking devices found on the system.");
        }
        return 1;
    }
    if (previous == ndis::MacAddress{}) {
        LogInfo("Wireless device found and no previous wireless device");
        SelectAdapter(adapters_[candidate].get(), candidate);
        return 1;
    }
    for (std::size_t i = 0; i < adapters_.size(); ++i) {
        if (adapters_[i]->PermanentAddress() == previous) {
            LogInfo("Previous device found in re-enumeration");
            SelectAdapter(adapters_[i].get(), static_cast<int>(i));
            return 1;
        }
    }
    LogInfo("Previous device not found in re-enumeration");
    SelectAdapter(adapters_[candidate].get(), candidate);
    return 1;
}

void CAdapterList::SelectAdapter(CAdapter* adapter, int comboIndex) {
    chosen_ = adapter;
    if (!adapter) return;
    adapter->OpenChannel();
    adapter->EnsureMediaEventSink();
    if (adapter->IsWireless() && selectedHook_) selectedHook_(*adapter);
    combo_.SetCurrentSelection(comboIndex);
}

void CAdapterList::ClearAdapters() {
    combo_.ResetContent();
    chosen_ = nullptr;
    while (!adapters_.empty()) adapters_.erase(adapters_.begin());
}

Result CAdapterList::PrepareCard() {
    if (!chosen_) return RES_FAILURE;
    chosen_->ProbeSecurityCapabilities();
    chosen_->SetInfrastructureMode(ndis::Ndis802_11Infrastructure);
    chosen_->SetRandomSsid();
    return RES_SUCCESS;
}

Result CAdapterList::PrepareCardOnLoad(bool keepConnection) {
    if (!chosen_) return RES_FAILURE;
    // The cached link state is only what start-up last heard: ask the card.
    if (keepConnection && chosen_->RefreshLinkState() == 0 && chosen_->IsConnected()) {
        LogInfo("The card is connected, leaving its connection as it is");
        return RES_SUCCESS;
    }
    return PrepareCard();
}

void CAdapterList::OnSelectionChange() {
    const int index = combo_.GetCurrentSelection();
    CAdapter* selected = index >= 0 ? At(static_cast<std::size_t>(index)) : nullptr;
    if (!selected) {
        LogError("Selected wireless adapter could not be found in the list!");
        return;
    }
    if (!chosen_) {
        SelectAdapter(selected, index);
        return;
    }
    if (chosen_->DeviceName() == selected->DeviceName()) return;
    chosen_->Close();
    SelectAdapter(selected, index);
    SetStatusText("Active networking device has been changed.");
}

void CAdapterList::OnSelectionConfirmed(const ListFetch& fetch) {
    const int index = combo_.GetCurrentSelection();
    const std::string text = index >= 0 ? combo_.GetItemText(index) : std::string();
    for (const auto& adapter : adapters_) {
        if (adapter->GetDisplayName() == text) {
            if (fetch) fetch(*adapter);
            return;
        }
    }
    SetStatusText("Error while retrieving adapter information!");
}

std::int64_t CAdapterList::SecondsUntilReEnumeration() const {
    const std::int64_t elapsed = clock_() - lastReEnumeration_;
    return elapsed > kReEnumerationGuardSeconds ? 0 : kReEnumerationGuardSeconds + 1 - elapsed;
}

bool CAdapterList::OnDeviceChange(std::uint32_t event) {
    LogInfo("Device change event");
    if (event != kDbtDevNodesChanged || connectionInProgress_ || connectStarting_ ||
        settings_.EnumerateOnDeviceChangeEvent == 0) {
        return true;
    }
    const std::int64_t now = clock_();
    const std::int64_t elapsed = now - lastReEnumeration_;
    if (elapsed > kReEnumerationGuardSeconds) {
        LogInfo("Device change indicates change in system nodes, re-enumerating devices");
        EnumerateDevices();
        lastReEnumeration_ = now;
    } else {
        LogInfo("Last auto re-enumeration was within %f seconds (too soon), ignoring signal",
                static_cast<double>(elapsed));
    }
    return true;
}

}  // namespace tarvik
