// Exports at survey size: 100,000 networks, every one with positions at its
// weakest and strongest signal, written per format to /dev/shm (so the disk
// does not count), and the WiGLE CSV of them imported again.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "app/NetworkColumnRules.h"
#include "bench/support/SyntheticNetworks.h"
#include "export/NetworkExport.h"
#include "export/WigleCsvReader.h"
#include "gps/GpsFix.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kNetworks = 100'000;

std::filesystem::path BenchFile(const char* name) {
    return "/dev/shm/tarvik-bench-" + std::to_string(::getpid()) + "-" + name;
}

OptionalPosition Position(std::uint32_t index, double offset) {
    GpsFix fix;
    fix.mode = FIX_MODE_3D;
    fix.latitude = 52.5 + index * 1e-6 + offset;
    fix.longitude = 13.4 + index * 1e-6;
    fix.altitude = 40;
    fix.fixTime = 1.7e9 + index;
    return PositionSnapshot{EncodeGpsFix(fix)};
}

struct Survey {
    CApplicationOptions options{nullptr, "/usr/bin/tarvik", "tarvik"};
    CNetworkList list;
    CNetworkColumnRules rules{options, list};

    Survey() {
        for (std::uint32_t i = 0; i < kNetworks; ++i) {
            auto record = std::make_shared<CBssid>(
                ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i)), 1, 1700000000);
            record->SetPositionAtMinRssi(Position(i, 0));
            record->SetPositionAtMaxRssi(Position(i, 1e-4));
            list.Append(std::move(record));
        }
    }
};

Survey& TheSurvey() {
    static Survey survey;
    return survey;
}

void BM_Export(benchmark::State& state) {
    const auto format = static_cast<ExportFormat>(state.range(0));
    Survey& survey = TheSurvey();
    const std::filesystem::path path = BenchFile("export");
    ExportRequest request;
    request.format = format;
    request.columns = &survey.rules;
    for (int column = 0; column < kNetworkColumnCount; ++column)
        request.tableColumns.push_back(column);
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        const ExportSummary summary = ExportNetworks(path, survey.list.Records(), request);
        if (summary.status != ExportStatus::Written) state.SkipWithError("export failed");
        bytes = std::filesystem::file_size(path);
    }
    state.SetLabel(std::string(FormatInfo(format).name));
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    std::filesystem::remove(path);
}
BENCHMARK(BM_Export)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImportWigle(benchmark::State& state) {
    Survey& survey = TheSurvey();
    const std::filesystem::path path = BenchFile("wigle.csv");
    ExportRequest request;
    request.columns = &survey.rules;
    ExportNetworks(path, survey.list.Records(), request);
    for (auto _ : state) {
        const WigleCsvContents read = ReadWigleCsv(path);
        if (read.contents.records.size() != kNetworks) state.SkipWithError("import lost networks");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ImportWigle)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
