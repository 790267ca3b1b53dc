// The network table's Qt side at 100,000 networks: the one-second refresh
// with the view attached and a row selected (layout change, persistent
// indexes carried by record, repaint of the visible cells) against the same
// refresh with no view, and one paint of the visible rows. Offscreen
// platform; real column rules and table model.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/NetworkColumnRules.h"
#include "app/NetworkTableModel.h"
#include "bench/support/SyntheticNetworks.h"
#include "core/ApplicationOptions.h"
#include "ndis/BssidList.h"
#include "networks/ScanCycle.h"
#include "ui/NetworkItemModel.h"
#include "ui/NetworkTableView.h"

namespace tarvik::ui {
namespace {

constexpr std::uint32_t kRecords = 100'000;

class BenchAdapter : public IScanSource {
  public:
    bool IsScanning() const override { return true; }
    void SetScanning(bool) override {}
    Result ScanAndFetchBssidList(bool, const BssidListMerge&) override {
        return RES_BSSID_LIST_OBTAINED;
    }
    Result UpdateConnectionStates(const NetworkSnapshot& snapshot, std::uint32_t) override {
        for (const BssidRecord& record : snapshot)
            record->SetConnectionStatus(STATUS_NOT_CONNECTED);
        return RES_CONNECTION_STATES_UPDATED;
    }
};

struct Scene {
    explicit Scene(bool withView) {
        std::vector<ndis::BssidEntry> entries;
        entries.reserve(kRecords);
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            entries.push_back(ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i)));
        }
        networks.MergeEntries(entries);
        cycle.SetChosenAdapter(&adapter);
        cycle.UpdateConnectionStatus();  // the first refresh inserts every row
        if (!withView) return;
        itemModel = std::make_unique<NetworkItemModel>(table);
        view = std::make_unique<NetworkTableView>(*itemModel, options);
        view->resize(1000, 600);
        view->show();
        view->selectRow(kRecords / 2);
        QCoreApplication::processEvents();
    }
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks;
    CNetworkColumnRules rules{options, networks};
    CNetworkTableModel table{rules};
    BenchAdapter adapter;
    CScanCycle cycle{networks, options, table, rules};
    std::unique_ptr<NetworkItemModel> itemModel;
    std::unique_ptr<NetworkTableView> view;
};

void BM_RefreshWithoutView100k(benchmark::State& state) {
    Scene scene(false);
    for (auto _ : state) scene.cycle.UpdateConnectionStatus();
}
BENCHMARK(BM_RefreshWithoutView100k)->Unit(benchmark::kMillisecond);

// The refresh plus the repaint it causes, as the GUI thread runs them.
void BM_RefreshWithView100k(benchmark::State& state) {
    Scene scene(true);
    for (auto _ : state) {
        scene.cycle.UpdateConnectionStatus();
        scene.view->viewport()->repaint();
    }
}
BENCHMARK(BM_RefreshWithView100k)->Unit(benchmark::kMillisecond);

void BM_PaintVisibleRows100k(benchmark::State& state) {
    Scene scene(true);
    for (auto _ : state) scene.view->viewport()->repaint();
}
BENCHMARK(BM_PaintVisibleRows100k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvik::ui

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
