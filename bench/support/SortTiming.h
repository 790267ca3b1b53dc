// Times the table's sort by one column (the benchmark's argument) over a set
// of records: each iteration sorts the same unsorted order again.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "networks/Bssid.h"
#include "networks/NetworkColumns.h"
#include "networks/RecordOrder.h"

namespace tarvik::bench {

template <class Records>
void TimeSortByColumn(benchmark::State& state, const Records& records,
                      const ColumnContext& context) {
    const NetworkSortState sort{static_cast<int>(state.range(0)), true};
    std::vector<CBssid*> unsorted;
    for (const auto& record : records) unsorted.push_back(record.get());
    std::vector<CBssid*> order;
    for (auto _ : state) {
        order = unsorted;
        SortRecords(order, sort, context);
        benchmark::DoNotOptimize(order.data());
    }
    state.SetLabel(std::string(kNetworkColumns[static_cast<std::size_t>(sort.column)].title));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(unsorted.size()));
}

}  // namespace tarvik::bench
