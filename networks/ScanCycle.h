// The scan cycle: timers ask the chosen adapter for its BSSID list (soft
// refresh) or for a scan and then the list (hard refresh) and merge it into
// the network list; once a second the connection statuses are refreshed and
// the network table is rewritten. Networks not seen for a number of scans are
// hidden from the table or removed from memory, as the settings say.
//
// Everything here runs on the main thread. Settings are read at each use.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/ApplicationOptions.h"
#include "networks/NetworkList.h"
#include "networks/NetworkTable.h"
#include "networks/ScanSource.h"

namespace tarvik {

// The highest and lowest current RSSI of any record shown since start-up;
// it only widens. The signal-strength colouring uses it.
struct ShownRssiRange {
    std::int32_t lowest = 0;
    std::int32_t highest = -190;
    void Widen(std::int32_t rssi);
    bool operator==(const ShownRssiRange&) const = default;
};

inline constexpr const char* kScanFailedText =
    "Could not perform wireless scanning using the selected adapter.";
inline constexpr const char* kStatusQueryFailedText =
    "Could not query driver for connection information.";
inline constexpr const char* kStopScanningText = "Stop Scanning";
inline constexpr const char* kStartScanningText = "Start Scanning";

class CScanCycle {
  public:
    CScanCycle(CNetworkList& networks, const CApplicationOptions& options, INetworkTable& table,
               INetworkColumns& columns);

    // nullptr: no filter, every record passes.
    void SetFilter(INetworkFilter* filter) { filter_ = filter; }
    void SetScanningButton(IScanningButton* button) { button_ = button; }
    // The chosen adapter; nullptr while none is chosen.
    void SetChosenAdapter(IScanSource* adapter) { adapter_ = adapter; }
    IScanSource* ChosenAdapter() const { return adapter_; }
    // Set by the connection procedure for its duration (from any thread).
    void SetConnectionInProgressFlag(const std::atomic<bool>* flag) { connecting_ = flag; }

    // One step of the cycle: purge stale records from memory if configured,
    // then fetch and merge a list while the scanning switch is on. The table
    // is not redrawn here (the one-second refresh does it), except that
    // without an adapter the table is refreshed and nothing else happens.
    void ScanNetworks(bool hard);
    // The one-second work: connection statuses, then the table.
    void UpdateConnectionStatus();
    // Rewrites the table from a snapshot of the list.
    void RefreshNetworkTable(const NetworkSnapshot& snapshot);
    // Empties the list and the table; counter, RSSI range and filter stay.
    void ClearAllNetworks();
    // The scanning button: flips the adapter's switch (no scan by itself).
    void ToggleScanning();
    // Switches scanning on or off and labels the button to match.
    void StartScanning();
    void StopScanning();

    const TableCounts& Counts() const { return counts_; }
    const ShownRssiRange& RssiRange() const { return rssiRange_; }

  private:
    bool RemovesUndetected() const;
    std::uint32_t StaleAfterScans() const;
    void PurgeStaleNetworks();
    void RefreshRow(const BssidRecord& record, std::size_t position);
    void WriteRowTexts(int row, CBssid& record);
    void ShowScanningButton(const char* text);

    CNetworkList& networks_;
    const CApplicationOptions& options_;
    INetworkTable& table_;
    INetworkColumns& columns_;
    INetworkFilter* filter_ = nullptr;
    IScanningButton* button_ = nullptr;
    IScanSource* adapter_ = nullptr;
    const std::atomic<bool>* connecting_ = nullptr;
    TableCounts counts_;
    ShownRssiRange rssiRange_;
};

}  // namespace tarvik
