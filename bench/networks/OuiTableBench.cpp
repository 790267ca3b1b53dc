// Loading the offline vendor table from the installed IEEE files, and a
// look-up in it. Reports the table's bytes as a counter.
#include <benchmark/benchmark.h>

#include "networks/OuiTable.h"

namespace {

constexpr const char* kFolder = "/usr/share/ieee-data";

void BM_LoadOuiTable(benchmark::State& state) {
    std::size_t bytes = 0;
    std::size_t entries = 0;
    for (auto _ : state) {
        const auto table = tarvik::COuiTable::LoadFolder(kFolder);
        bytes = table->MemoryBytes();
        entries = table->Size();
        benchmark::DoNotOptimize(table);
    }
    state.counters["table_bytes"] = static_cast<double>(bytes);
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_LoadOuiTable)->Unit(benchmark::kMillisecond);

void BM_FindVendor(benchmark::State& state) {
    const auto table = tarvik::COuiTable::LoadFolder(kFolder);
    tarvik::ndis::MacAddress mac{0x00, 0x00, 0x0C, 0x12, 0x34, 0x56};
    for (auto _ : state) {
        mac[2] = static_cast<std::uint8_t>(mac[2] + 1);
        benchmark::DoNotOptimize(table->Find(mac));
    }
}
BENCHMARK(BM_FindVendor);

}  // namespace

BENCHMARK_MAIN();
