// The network table at its intended size: the 30 column texts of 100,000
// records, and sorting 100,000 records by one column, with CompareRecords
// (texts rebuilt at every comparison) and with SortRecords.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/SortTiming.h"
#include "core/ApplicationOptions.h"
#include "networks/Bssid.h"
#include "networks/NetworkColumns.h"
#include "networks/OuiVendorCache.h"
#include "networks/RecordOrder.h"

namespace tarvik {
namespace {

constexpr int kRecords = 100000;

const std::vector<std::uint8_t> kWpaElement = {0xdd, 0x16, 0x00, 0x50, 0xf2, 0x01, 0x01, 0x00,
                                               0x00, 0x50, 0xf2, 0x02, 0x01, 0x00, 0x00, 0x50,
                                               0xf2, 0x02, 0x01, 0x00, 0x00, 0x50, 0xf2, 0x02};
const std::vector<std::uint8_t> kRsnElement = {0x30, 0x14, 0x01, 0x00, 0x00, 0x0f, 0xac, 0x04,
                                               0x01, 0x00, 0x00, 0x0f, 0xac, 0x04, 0x01, 0x00,
                                               0x00, 0x0f, 0xac, 0x02, 0x00, 0x00};

// A varied population: open, WEP, WPA and WPA2 networks on both bands, some
// ad hoc, SSIDs of several lengths, a few connected.
struct Table {
    Table() {
        records.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            ndis::BssidEntryFields fields;
            fields.macAddress = {0x00,
                                 static_cast<std::uint8_t>(i % 7),
                                 0x41,
                                 static_cast<std::uint8_t>(i >> 16),
                                 static_cast<std::uint8_t>(i >> 8),
                                 static_cast<std::uint8_t>(i)};
            fields.SetSsid("network-" + std::to_string((i * 7919) % 50021) +
                           std::string(static_cast<std::size_t>(i % 9), 'x'));
            fields.privacy = i % 4 == 0 ? 0 : 1;
            fields.rssi = -30 - (i * 31) % 70;
            fields.networkTypeInUse = static_cast<std::uint32_t>(i % 4);
            fields.configuration.dsConfig =
                fields.networkTypeInUse == 2 ? 5180000 + 20000 * static_cast<std::uint32_t>(i % 8)
                                             : 2412000 + 5000 * static_cast<std::uint32_t>(i % 13);
            fields.configuration.beaconPeriod = i % 3 == 0 ? 100 : 20;
            fields.infrastructureMode = i % 10 == 0 ? 0 : 1;
            fields.supportedRates = {0x82, 0x84, 0x8b, 0x96, 0x0c, 0x12,
                                     0x18, 0x24, 0x30, 0x48, 0x60, 0x6c};
            if (i % 4 == 2) fields.elements = kWpaElement;
            if (i % 4 == 3) fields.elements = kRsnElement;
            auto record =
                std::make_unique<CBssid>(ndis::BssidEntry::FromFields(fields),
                                         static_cast<std::uint32_t>(i % 20), 1700000000 + i);
            record->SetConnectionStatus(i % 1000 == 0 ? STATUS_CONNECTED
                                                      : static_cast<std::uint32_t>(6 + i % 2));
            records.push_back(std::move(record));
        }
    }

    ColumnContext Context() const { return ColumnContext{options, 20, addresses, vendors}; }

    CApplicationOptions options{nullptr, "/usr/bin/tarvik", "tarvik"};
    OuiVendorCache vendors;
    std::vector<std::string> addresses{"192.168.1.23", "fe80::21c:42ff:fe00:1"};
    std::vector<std::unique_ptr<CBssid>> records;
};

Table& SharedTable() {
    static Table table;
    return table;
}

void BM_AllColumnTexts(benchmark::State& state) {
    Table& table = SharedTable();
    const ColumnContext context = table.Context();
    table.options.UseDbmOrPercentage = static_cast<std::int32_t>(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const auto& record : table.records) {
            for (int column = 0; column < kNetworkColumnCount; ++column) {
                bytes += RefreshColumnText(*record, column, context).size();
            }
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.counters["ns_per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRecords,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AllColumnTexts)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_SortByColumn(benchmark::State& state) {
    Table& table = SharedTable();
    const ColumnContext context = table.Context();
    const NetworkSortState sort{static_cast<int>(state.range(0)), true};
    std::vector<CBssid*> unsorted;
    for (const auto& record : table.records) unsorted.push_back(record.get());
    // Warm the caches once, as the table refresh does before it sorts.
    for (CBssid* record : unsorted) RefreshColumnText(*record, sort.column, context);
    std::vector<CBssid*> order;
    for (auto _ : state) {
        order = unsorted;
        std::sort(order.begin(), order.end(),
                  [&](CBssid* a, CBssid* b) { return CompareRecords(*a, *b, sort, context) < 0; });
        benchmark::DoNotOptimize(order.data());
    }
    state.SetLabel(std::string(kNetworkColumns[static_cast<std::size_t>(sort.column)].title));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SortByColumn)
    ->Arg(COLUMN_SSID)
    ->Arg(COLUMN_SIGNAL)
    ->Arg(COLUMN_STATUS)
    ->Arg(COLUMN_FREQUENCY)
    ->Arg(COLUMN_VENDOR)
    ->Arg(COLUMN_CHANNEL)
    ->Arg(COLUMN_LAST_SEEN)
    ->Unit(benchmark::kMillisecond);

// The table's own sort: each record's text rebuilt once, then compared cached.
void BM_SortRecords(benchmark::State& state) {
    Table& table = SharedTable();
    const ColumnContext context = table.Context();
    bench::TimeSortByColumn(state, table.records, context);
}
BENCHMARK(BM_SortRecords)
    ->Arg(COLUMN_SSID)
    ->Arg(COLUMN_SIGNAL)
    ->Arg(COLUMN_STATUS)
    ->Arg(COLUMN_FREQUENCY)
    ->Arg(COLUMN_VENDOR)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
