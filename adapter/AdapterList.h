// The main window's adapter list: enumeration from the driver's bindings,
// the chosen adapter, and the adapter combo box's handlers, kept free of any
// toolkit behind a small combo seam. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adapter/Adapter.h"
#include "core/ResultCodes.h"

namespace tarvik {

class CApplicationOptions;

// The adapter combo box (dialog control 1002).
class IAdapterCombo {
  public:
    virtual ~IAdapterCombo() = default;
    virtual void ResetContent() = 0;
    // Appends an item whose data is `adapter`; its index.
    virtual int AddItem(const std::string& text, CAdapter* adapter) = 0;
    virtual void SetCurrentSelection(int index) = 0;
    // -1 when nothing is selected.
    virtual int GetCurrentSelection() const = 0;
    virtual std::string GetItemText(int index) const = 0;
};

inline constexpr const char* kNoDriverStatusText =
    "Could not connect to Tarvik driver! Please try to re-install Tarvik.";
inline constexpr std::uint32_t kDbtDevNodesChanged = 7;
// Device changes closer than this to the last re-enumeration are ignored.
inline constexpr std::int64_t kReEnumerationGuardSeconds = 5;

class CAdapterList {
  public:
    // Seconds since 1970, as C `time` gives them.
    using Clock = std::function<std::int64_t()>;
    // Runs after an adapter became the chosen one with its channel open
    // (the receive thread of a wireless adapter starts here).
    using SelectedHook = std::function<void(CAdapter&)>;
    // Fetches the chosen adapter's BSSID list without a scan request.
    using ListFetch = std::function<void(CAdapter&)>;

    // `mediaSource` (may be null) gives wireless adapters their media events.
    CAdapterList(const CApplicationOptions& settings, IAdapterCombo& combo, Clock clock,
                 CMediaEventSource* mediaSource = nullptr);
    ~CAdapterList();
    CAdapterList(const CAdapterList&) = delete;
    CAdapterList& operator=(const CAdapterList&) = delete;

    void SetSelectedHook(SelectedHook hook) { selectedHook_ = std::move(hook); }

    // 1, or RES_BINDINGS_FAILED when the driver's bindings cannot be read.
    Result EnumerateDevices();
    void SelectAdapter(CAdapter* adapter, int comboIndex);
    void ClearAdapters();
    // Probe, infrastructure mode, random SSID: leaves the card unassociated.
    // -1 without a chosen adapter, else 0.
    Result PrepareCard();
    // The start-up step: PrepareCard, unless `keepConnection` is set and the
    // card, asked now, is connected. -1 without a chosen adapter, else 0.
    Result PrepareCardOnLoad(bool keepConnection);

    void OnSelectionChange();
    void OnSelectionConfirmed(const ListFetch& fetch);
    // Always handled (true).
    bool OnDeviceChange(std::uint32_t event);

    // The end of start-up stores the current time as the last re-enumeration.
    void MarkReEnumerated() { lastReEnumeration_ = clock_(); }
    // Seconds until a device change re-enumerates again; 0 when it would now.
    std::int64_t SecondsUntilReEnumeration() const;
    void SetConnectionInProgress(bool on) { connectionInProgress_ = on; }
    void SetConnectStarting(bool on) { connectStarting_ = on; }

    CAdapter* Chosen() const { return chosen_; }
    std::size_t Count() const { return adapters_.size(); }
    CAdapter* At(std::size_t index) const;

  private:
    const CApplicationOptions& settings_;
    IAdapterCombo& combo_;
    Clock clock_;
    CMediaEventSource* mediaSource_;
    SelectedHook selectedHook_;
    std::vector<std::unique_ptr<CAdapter>> adapters_;
    CAdapter* chosen_ = nullptr;
    std::int64_t lastReEnumeration_ = 0;
    bool connectionInProgress_ = false;
    bool connectStarting_ = false;
};

}  // namespace tarvik
