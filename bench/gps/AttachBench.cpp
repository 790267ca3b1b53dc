// One GPS tick over 100,000 networks: every record is at its lowest and
// highest signal (one sample each), so both of its positions are replaced.
// The records share the tick's one snapshot block; the counter
// heap_bytes_per_tick is the heap the tick's positions hold on top of the list.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <vector>

#include "app/GpsAttach.h"
#include "bench/support/SyntheticNetworks.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kRecords = 100'000;

class AlwaysOpen : public IGpsPort {
    bool IsOpen() const override { return true; }
};

void BM_AttachOneTick(benchmark::State& bench) {
    CNetworkList list;
    std::vector<ndis::BssidEntry> entries;
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        entries.push_back(ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i)));
    }
    list.MergeEntries(entries);
    AlwaysOpen port;
    GpsState state;
    InitialiseGpsState(state, &port);
    state.fix.mode = FIX_MODE_3D;
    state.fix.latitude = 48.1173;
    state.lastSentenceTime = 1700000000;
    const std::size_t before = mallinfo2().uordblks;
    std::size_t attached = 0;
    for (auto _ : bench) {
        attached = AttachPositions(list.Records(), state, state.lastSentenceTime);
        benchmark::DoNotOptimize(attached);
    }
    bench.counters["positions_per_tick"] = static_cast<double>(attached);
    bench.counters["heap_bytes_per_tick"] = static_cast<double>(mallinfo2().uordblks - before);
}
BENCHMARK(BM_AttachOneTick)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
