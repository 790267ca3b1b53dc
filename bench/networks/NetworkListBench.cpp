// The network list at 100,000 records: merging one 200-item BSSID list, one
// scan step (purge walk, fetch, merge), the one-second status and table
// refresh with and without the table, the table's sort alone, a look-up by MAC address, and the
// memory a record costs (heap in use before and after building the list,
// divided by the count; reported as the counter bytes_per_record).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/support/SyntheticNetworks.h"
#include "core/ApplicationOptions.h"
#include "ndis/BssidList.h"
#include "networks/MemoryNetworkTable.h"
#include "networks/NetworkList.h"
#include "networks/ScanCycle.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kRecords = 100'000;
constexpr std::uint32_t kListItems = 200;

void FillList(CNetworkList& list) {
    std::vector<ndis::BssidEntry> entries;
    entries.reserve(kRecords);
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        entries.push_back(ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i)));
    }
    list.MergeEntries(entries);
}

// 200 networks spread over the list, all already known.
std::vector<std::uint8_t> KnownNetworksList() {
    std::vector<ndis::BssidEntryFields> fields;
    for (std::uint32_t i = 0; i < kListItems; ++i) {
        fields.push_back(bench::SyntheticNetworkFields(i * (kRecords / kListItems) + 7));
    }
    return ndis::BuildBssidList(fields);
}

class BenchAdapter : public IScanSource {
  public:
    bool IsScanning() const override { return true; }
    void SetScanning(bool) override {}
    Result ScanAndFetchBssidList(bool, const BssidListMerge& merge) override {
        merge(list);
        return RES_BSSID_LIST_OBTAINED;
    }
    Result UpdateConnectionStates(const NetworkSnapshot& snapshot,
                                  std::uint32_t scanCounter) override {
        for (const BssidRecord& record : snapshot) {
            record->SetConnectionStatus(scanCounter - record->LastSeenScan() > 5
                                            ? STATUS_NOT_DETECTED
                                            : STATUS_NOT_CONNECTED);
        }
        return RES_CONNECTION_STATES_UPDATED;
    }
    std::vector<std::uint8_t> list = KnownNetworksList();
};

// Short fixed texts (no allocation) and a cheap order: the cost measured is
// the refresh's own.
class TrivialColumns : public INetworkColumns {
  public:
    std::string ColumnText(CBssid&, int column) override { return kTexts[column % 4]; }
    int CompareRecords(CBssid& a, CBssid& b) override { return b.RssiAverage() - a.RssiAverage(); }

  private:
    const std::string kTexts[4] = {"net", "54 Mbps", "-50 dBm", "WPA2"};
};

struct Scene {
    Scene() {
        options.RemoveUndetectedAccessPoints = 1;
        options.ClearingAccessPointsHard = 1;
        options.TimeBeforeClearingNotDetectedAccessPoints = 1'000'000;  // walk, keep all
        FillList(networks);
        cycle.SetChosenAdapter(&adapter);
    }
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks;
    CMemoryNetworkTable table;
    TrivialColumns columns;
    BenchAdapter adapter;
    CScanCycle cycle{networks, options, table, columns};
};

void BM_BuildListBytesPerRecord(benchmark::State& state) {
    double perRecord = 0;
    for (auto _ : state) {
        const std::size_t before = ::mallinfo2().uordblks;
        auto list = std::make_unique<CNetworkList>();
        FillList(*list);
        const std::size_t after = ::mallinfo2().uordblks;
        perRecord = static_cast<double>(after - before) / kRecords;
        benchmark::DoNotOptimize(list->Size());
    }
    state.counters["bytes_per_record"] = perRecord;
}
BENCHMARK(BM_BuildListBytesPerRecord)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Merge200Into100k(benchmark::State& state) {
    CNetworkList list;
    FillList(list);
    const std::vector<std::uint8_t> bytes = KnownNetworksList();
    for (auto _ : state) list.MergeBssidList(bytes);
    state.SetItemsProcessed(state.iterations() * kListItems);
}
BENCHMARK(BM_Merge200Into100k)->Unit(benchmark::kMicrosecond);

void BM_ScanNetworks100k(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) scene.cycle.ScanNetworks(false);
}
BENCHMARK(BM_ScanNetworks100k)->Unit(benchmark::kMicrosecond);

void BM_StatusRefreshWithoutTable100k(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        const NetworkSnapshot snapshot = scene.networks.Snapshot();
        benchmark::DoNotOptimize(
            scene.adapter.UpdateConnectionStates(snapshot, scene.networks.ScanCounter()));
    }
}
BENCHMARK(BM_StatusRefreshWithoutTable100k)->Unit(benchmark::kMillisecond);

void BM_UpdateConnectionStatus100k(benchmark::State& state) {
    Scene scene;
    scene.cycle.UpdateConnectionStatus();  // the first refresh inserts every row
    for (auto _ : state) scene.cycle.UpdateConnectionStatus();
    state.counters["rows"] = static_cast<double>(scene.table.RowCount());
}
BENCHMARK(BM_UpdateConnectionStatus100k)->Unit(benchmark::kMillisecond);

void BM_ScanAndUpdateConnectionStatus100k(benchmark::State& state) {
    Scene scene;
    scene.cycle.UpdateConnectionStatus();
    for (auto _ : state) {
        scene.cycle.ScanNetworks(false);
        scene.cycle.UpdateConnectionStatus();
    }
}
BENCHMARK(BM_ScanAndUpdateConnectionStatus100k)->Unit(benchmark::kMillisecond);

void BM_FirstTableRefresh100k(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.table.DeleteAllRows();
        scene.cycle.RefreshNetworkTable(scene.networks.Snapshot());
    }
}
BENCHMARK(BM_FirstTableRefresh100k)->Unit(benchmark::kMillisecond);

// The sort alone, part of every table refresh.
void BM_SortRows100k(benchmark::State& state) {
    Scene scene;
    scene.cycle.UpdateConnectionStatus();
    const RecordComparator compare = [&scene](CBssid& a, CBssid& b) {
        return scene.columns.CompareRecords(a, b);
    };
    for (auto _ : state) scene.table.SortRows(compare);
}
BENCHMARK(BM_SortRows100k)->Unit(benchmark::kMillisecond);

void BM_LookUpByMac100k(benchmark::State& state) {
    CNetworkList list;
    FillList(list);
    const ndis::MacAddress mac = bench::SyntheticNetworkFields(kRecords / 2).macAddress;
    for (auto _ : state) benchmark::DoNotOptimize(list.LookUpByMac(mac));
}
BENCHMARK(BM_LookUpByMac100k);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
