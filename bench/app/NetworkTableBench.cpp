// The main window's table refresh (the one-second rewrite of every row,
// then the sort) at 10,000 and 100,000 networks, with the real column rules:
//  - Model: the table model (hash look-up, texts formatted on demand),
//    sorted by the default column (Status) or a text column (Ssid);
//  - EagerHash: a table that stores all 30 texts of every row;
//  - Linear: a table that stores every text and looks rows up by walking
//    them, and sorts with a comparison that rebuilds texts each time.
// Plus the cost of painting one screen of rows, and the heap a network
// costs (counters: bytes per network for the records, for the model's rows,
// and for the record texts once every cell has been painted).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

#include "app/NetworkColumnRules.h"
#include "app/NetworkTableModel.h"
#include "bench/support/SyntheticNetworks.h"
#include "core/ApplicationOptions.h"
#include "networks/MemoryNetworkTable.h"
#include "networks/NetworkList.h"
#include "networks/ScanCycle.h"

namespace tarvik {
namespace {

ndis::BssidEntryFields NetworkFields(std::uint32_t index) {
    // Names in another order than the list, so a sort by name has work to do.
    return bench::SyntheticNetworkFields(index, index * 7919 % 100'003);
}

void FillList(CNetworkList& list, std::uint32_t count) {
    std::vector<ndis::BssidEntry> entries;
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        entries.push_back(ndis::BssidEntry::FromFields(NetworkFields(i)));
    }
    list.MergeEntries(entries);
}

// The literal table: rows are found by walking them.
class LinearTable : public CMemoryNetworkTable {
  public:
    int FindRow(const CBssid* record) const override {
        for (std::size_t row = 0; row < RowCount(); ++row) {
            if (Record(static_cast<int>(row)).get() == record) return static_cast<int>(row);
        }
        return -1;
    }
};

template <typename Table>
struct Scene {
    explicit Scene(std::uint32_t count, int sortColumn = COLUMN_STATUS) {
        FillList(networks, count);
        rules.SortState().column = sortColumn;
        cycle.UpdateConnectionStatus();  // the first refresh inserts every row
    }
    Table MakeTable() {
        if constexpr (std::is_same_v<Table, CNetworkTableModel>) {
            return Table(rules);
        } else {
            return Table();
        }
    }
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks;
    CNetworkColumnRules rules{options, networks};
    Table table = MakeTable();
    CScanCycle cycle{networks, options, table, rules};
};

template <typename Table>
void RunRefresh(benchmark::State& state, int sortColumn) {
    Scene<Table> scene(static_cast<std::uint32_t>(state.range(0)), sortColumn);
    for (auto _ : state) scene.cycle.UpdateConnectionStatus();
    state.counters["rows"] = static_cast<double>(scene.table.RowCount());
}

void BM_ModelRefreshByStatus(benchmark::State& state) {
    RunRefresh<CNetworkTableModel>(state, COLUMN_STATUS);
}
void BM_ModelRefreshBySsid(benchmark::State& state) {
    RunRefresh<CNetworkTableModel>(state, COLUMN_SSID);
}
void BM_EagerHashRefreshByStatus(benchmark::State& state) {
    RunRefresh<CMemoryNetworkTable>(state, COLUMN_STATUS);
}
void BM_EagerHashRefreshBySsid(benchmark::State& state) {
    RunRefresh<CMemoryNetworkTable>(state, COLUMN_SSID);
}
void BM_LinearRefreshByStatus(benchmark::State& state) {
    RunRefresh<LinearTable>(state, COLUMN_STATUS);
}
BENCHMARK(BM_ModelRefreshByStatus)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelRefreshBySsid)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EagerHashRefreshByStatus)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EagerHashRefreshBySsid)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
// Quadratic: 100,000 rows take minutes; estimate from these two.
BENCHMARK(BM_LinearRefreshByStatus)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// One screen: 40 rows of 30 cells, as the view asks for them after a refresh.
void BM_ModelPaintScreen(benchmark::State& state) {
    Scene<CNetworkTableModel> scene(static_cast<std::uint32_t>(state.range(0)));
    const int first = static_cast<int>(scene.table.RowCount() / 2);
    for (auto _ : state) {
        for (int row = first; row < first + 40; ++row) {
            for (int column = 0; column < kTableColumnCount; ++column) {
                benchmark::DoNotOptimize(scene.table.Text(row, column).size());
            }
        }
    }
}
BENCHMARK(BM_ModelPaintScreen)->Arg(100'000)->Unit(benchmark::kMicrosecond);

void BM_MemoryPerNetwork(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    double records = 0;
    double rows = 0;
    double texts = 0;
    for (auto _ : state) {
        CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
        const std::size_t start = ::mallinfo2().uordblks;
        auto networks = std::make_unique<CNetworkList>();
        FillList(*networks, count);
        const std::size_t listed = ::mallinfo2().uordblks;
        CNetworkColumnRules rules{options, *networks};
        CNetworkTableModel model{rules};
        CScanCycle cycle{*networks, options, model, rules};
        cycle.UpdateConnectionStatus();
        const std::size_t shown = ::mallinfo2().uordblks;
        for (int column = 0; column < kTableColumnCount; ++column) {
            model.VisitColumnTexts(
                column, [](std::string_view text) { benchmark::DoNotOptimize(text.size()); });
        }
        const std::size_t painted = ::mallinfo2().uordblks;
        records = static_cast<double>(listed - start) / count;
        rows = static_cast<double>(shown - listed) / count;
        texts = static_cast<double>(painted - shown) / count;
    }
    state.counters["record_bytes"] = records;
    state.counters["row_bytes"] = rows;
    state.counters["painted_text_bytes"] = texts;
}
BENCHMARK(BM_MemoryPerNetwork)->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
