// The one-second table refresh at 100,000 networks without a filter, and
// with the WPA2 filter on plus the colour decisions of one painted screen
// (40 rows of 30 cells, background and text, by security), as the window
// does them each second.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/NetworkColumnRules.h"
#include "app/NetworkTableModel.h"
#include "app/RowColouring.h"
#include "bench/support/SyntheticNetworks.h"
#include "core/ApplicationOptions.h"
#include "networks/NetworkFilter.h"
#include "networks/NetworkList.h"
#include "networks/ScanCycle.h"

namespace tarvik {
namespace {

constexpr int kScreenRows = 40;

struct Scene {
    explicit Scene(std::uint32_t count) {
        std::vector<ndis::BssidEntry> entries;
        entries.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            entries.push_back(
                ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i, i * 7919 % 100'003)));
        }
        networks.MergeEntries(entries);
        cycle.UpdateConnectionStatus();
    }
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks;
    CNetworkColumnRules rules{options, networks};
    CNetworkTableModel table{rules};
    CScanCycle cycle{networks, options, table, rules};
    CNetworkFilter filter;
    CRowColouring colouring{options, rules};
};

void PaintColours(Scene& scene) {
    const int rows = std::min<int>(kScreenRows, static_cast<int>(scene.table.RowCount()));
    for (int row = 0; row < rows; ++row) {
        CBssid& record = *scene.table.RecordAt(row);
        for (int column = 0; column < kTableColumnCount; ++column) {
            benchmark::DoNotOptimize(scene.colouring.ColoursOf(record, column, kWhite));
        }
    }
}

void BM_RefreshUnfiltered(benchmark::State& state) {
    Scene scene(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) scene.cycle.UpdateConnectionStatus();
    state.counters["rows"] = static_cast<double>(scene.table.RowCount());
}
BENCHMARK(BM_RefreshUnfiltered)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_RefreshFilteredColoured(benchmark::State& state) {
    Scene scene(static_cast<std::uint32_t>(state.range(0)));
    scene.filter.Fields().groups[FILTER_SECURITY] = {1, SECURITY_CLASS_WPA2};
    scene.cycle.SetFilter(&scene.filter);
    // As the filter dialog applies it: the rejected rows go once.
    scene.table.DeleteAllRows();
    scene.cycle.UpdateConnectionStatus();
    for (auto _ : state) {
        scene.cycle.UpdateConnectionStatus();
        PaintColours(scene);
    }
    state.counters["rows"] = static_cast<double>(scene.table.RowCount());
}
BENCHMARK(BM_RefreshFilteredColoured)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
