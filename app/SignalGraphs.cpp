#include "app/SignalGraphs.h"

#include <algorithm>

#include "app/SignalGraphLook.h"

namespace tarvik {

void CSignalGraphs::SampleSignals(const CNetworkList& networks, bool scanning,
                                  std::int32_t maxSamples) {
    const auto limit = static_cast<std::uint32_t>(std::max(maxSamples, 1));
    for (const BssidRecord& record : networks.Records()) record->SampleRssi(scanning, limit);
    for (auto& [key, graph] : graphs_) {
        if (graph.view->IsGraphShown()) graph.view->SetSamples(key->RssiHistory().Values());
    }
}

bool CSignalGraphs::ShowGraph(const BssidRecord& record) {
    if (!record || !factory_) return false;
    auto found = graphs_.find(record.get());
    if (found == graphs_.end()) {
        std::unique_ptr<ISignalGraphView> view =
            factory_->CreateSignalGraph(SignalGraphLookOf(*record));
        if (!view) return false;
        found = graphs_.emplace(record.get(), Graph{record, std::move(view)}).first;
    }
    found->second.view->ShowGraph();
    return true;
}

void CSignalGraphs::CloseGraphsOf(const std::vector<BssidRecord>& removed) {
    if (graphs_.empty()) return;
    for (const BssidRecord& record : removed) graphs_.erase(record.get());
}

}  // namespace tarvik
