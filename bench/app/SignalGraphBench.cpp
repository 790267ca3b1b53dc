// Signal sampling at 100,000 networks: one tick (every record gets one
// sample) with short histories and with full ones of 2000 samples, a tick
// with two open graphs redrawn, and the heap a full history costs per record
// (the counter history_bytes_per_record).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <vector>

#include "app/SignalGraphs.h"
#include "bench/support/SyntheticNetworks.h"
#include "networks/NetworkList.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kRecords = 100'000;
constexpr std::int32_t kMaxSamples = 2000;

std::unique_ptr<CNetworkList> MakeList() {
    auto list = std::make_unique<CNetworkList>();
    std::vector<ndis::BssidEntry> entries;
    entries.reserve(kRecords);
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        entries.push_back(ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i)));
    }
    list->MergeEntries(entries);
    return list;
}

// Draws nothing; takes the samples as a window would.
class DiscardingGraph : public ISignalGraphView {
  public:
    void ShowGraph() override {}
    bool IsGraphShown() const override { return true; }
    void SetSamples(const std::vector<double>& samples) override {
        benchmark::DoNotOptimize(samples.data());
    }
};

class DiscardingFactory : public ISignalGraphFactory {
  public:
    std::unique_ptr<ISignalGraphView> CreateSignalGraph(const SignalGraphLook&) override {
        return std::make_unique<DiscardingGraph>();
    }
};

void BM_SampleTick(benchmark::State& state) {
    const auto list = MakeList();
    DiscardingFactory factory;
    CSignalGraphs graphs(&factory);
    for (std::int64_t i = 0; i < state.range(0); ++i)
        graphs.SampleSignals(*list, true, kMaxSamples);
    for (std::int64_t i = 0; i < state.range(1); ++i) graphs.ShowGraph(list->Records()[i * 7]);
    for (auto _ : state) graphs.SampleSignals(*list, true, kMaxSamples);
    state.SetItemsProcessed(state.iterations() * kRecords);
}
// Arguments: samples already held, open graphs.
BENCHMARK(BM_SampleTick)
    ->Args({10, 0})
    ->Args({kMaxSamples, 0})
    ->Args({kMaxSamples, 2})
    ->Unit(benchmark::kMillisecond);

void BM_FullHistoryBytesPerRecord(benchmark::State& state) {
    double perRecord = 0;
    for (auto _ : state) {
        const auto list = MakeList();
        CSignalGraphs graphs(nullptr);
        const std::size_t before = ::mallinfo2().uordblks;
        for (std::int32_t i = 0; i < kMaxSamples; ++i)
            graphs.SampleSignals(*list, true, kMaxSamples);
        const std::size_t after = ::mallinfo2().uordblks;
        perRecord = static_cast<double>(after - before) / kRecords;
    }
    state.counters["history_bytes_per_record"] = perRecord;
}
BENCHMARK(BM_FullHistoryBytesPerRecord)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
