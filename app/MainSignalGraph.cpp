// The signal graph's command and timer 7: each tick samples every record;
// Signal Graph... shows the selected record's window and samples at once.
#include "app/MainDialog.h"
#include "app/SignalGraphs.h"
#include "core/StatusLine.h"

namespace tarvik {

void CMainDialog::SampleSignals() {
    const CAdapter* adapter = adapters_.Chosen();
    graphs_->SampleSignals(networks_, adapter != nullptr && adapter->IsScanning(),
                           options_.MaximumRssiValuesPerBssid.Get());
}

void CMainDialog::ShowSignalGraph() {
    if (!adapters_.Chosen()) return;
    const BssidRecord selected = view_.SelectedRecord();
    if (!selected) {
        SetStatusText("No item selected!");
        return;
    }
    if (graphs_->ShowGraph(selected)) SampleSignals();
}

// A record's window closes when the record leaves the list: stale removal,
// Clear all Access Points, opening a scan file in its place, shut-down.
void CMainDialog::WatchRemovedRecords() {
    networks_.SetRemovalObserver(
        [this](const std::vector<BssidRecord>& removed) { graphs_->CloseGraphsOf(removed); });
}

}  // namespace tarvik
