// A city survey's BSSID list of 10,000 networks: fetched from the simulated
// card over the driver socket (the size the driver asks for, then the list)
// and merged into the network list; and the parse alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "adapter/Adapter.h"
#include "bench/support/ServedWorld.h"
#include "bench/support/SyntheticNetworks.h"
#include "core/ApplicationOptions.h"
#include "ndis/BssidList.h"
#include "networks/NetworkList.h"

namespace {

using namespace tarvik;

constexpr int kNetworks = 10'000;

void BM_FetchAndMerge10000(benchmark::State& state) {
    bench::ServedWorld world(bench::CrowdedWorld(kNetworks));
    CApplicationOptions settings;
    CAdapter adapter(world.FirstBinding(), settings);
    if (adapter.OpenChannel() != 0) {
        state.SkipWithError("no driver");
        return;
    }
    for (auto _ : state) {
        CNetworkList list;
        const Result result = adapter.ScanAndFetchBssidList(
            false, [&](std::span<const std::uint8_t> bytes) { list.MergeBssidList(bytes); });
        if (result != RES_BSSID_LIST_OBTAINED || list.Size() != kNetworks) {
            state.SkipWithError("the list did not arrive whole");
        }
    }
    state.SetItemsProcessed(state.iterations() * kNetworks);
}
BENCHMARK(BM_FetchAndMerge10000)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Parse10000(benchmark::State& state) {
    std::vector<ndis::BssidEntryFields> networks;
    for (std::uint32_t i = 0; i < kNetworks; ++i) {
        networks.push_back(bench::SyntheticNetworkFields(i));
    }
    const std::vector<std::uint8_t> bytes = ndis::BuildBssidList(networks);
    for (auto _ : state) {
        const ndis::BssidList list = ndis::ParseBssidList(bytes);
        if (list.entries.size() != kNetworks) state.SkipWithError("items lost");
        benchmark::DoNotOptimize(list);
    }
    state.counters["list_bytes"] = static_cast<double>(bytes.size());
    state.SetItemsProcessed(state.iterations() * kNetworks);
}
BENCHMARK(BM_Parse10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
