// Signal sampling and the open signal-graph windows.
//
// Once a second every record of the network list gets one sample (its
// current RSSI, or a gap while scanning is off or it is not detected); then
// the graphs on screen are redrawn, hidden ones are left alone. A record's
// window is created the first time its graph is shown, shown again after
// that, and closed when the record leaves the list.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/SignalGraphView.h"
#include "networks/NetworkList.h"

namespace tarvik {

class CSignalGraphs {
  public:
    // Null factory: histories are still kept, but no graph can be shown.
    explicit CSignalGraphs(ISignalGraphFactory* factory) : factory_(factory) {}
    CSignalGraphs(const CSignalGraphs&) = delete;
    CSignalGraphs& operator=(const CSignalGraphs&) = delete;

    bool CanShowGraphs() const { return factory_ != nullptr; }

    // One sampling step over the list, in list order; `maxSamples` is the
    // MaximumRssiValuesPerBssid setting (below 1 counts as 1).
    void SampleSignals(const CNetworkList& networks, bool scanning, std::int32_t maxSamples);
    // Shows the record's window, creating it on first use. False without a
    // record or a factory.
    bool ShowGraph(const BssidRecord& record);
    // Closes the windows of records that left the list.
    void CloseGraphsOf(const std::vector<BssidRecord>& removed);
    void CloseAll() { graphs_.clear(); }

    std::size_t GraphCount() const { return graphs_.size(); }
    bool HasGraph(const CBssid& record) const { return graphs_.count(&record) != 0; }

  private:
    struct Graph {
        // Keeps the key's record alive for as long as its window exists.
        BssidRecord record;
        std::unique_ptr<ISignalGraphView> view;
    };

    ISignalGraphFactory* factory_;
    std::unordered_map<const CBssid*, Graph> graphs_;
};

}  // namespace tarvik
