// Scan files at survey size, on /dev/shm so the disk does not count: saving
// and opening 100,000 records (MB/s), merging a 100,000-record file into a
// 100,000-record list, opening a 1,000,000-record file with the heap it
// costs per record (counter bytes_per_record, from mallinfo2 before and
// after), and the table's sort of those 1,000,000 records.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/SortTiming.h"
#include "bench/support/SyntheticNetworks.h"
#include "core/ApplicationOptions.h"
#include "networks/NetworkColumns.h"
#include "networks/OuiVendorCache.h"
#include "networks/RecordOrder.h"
#include "networks/ScanFile.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kRecords = 100'000;
constexpr std::uint32_t kManyRecords = 1'000'000;

std::filesystem::path BenchFile(const std::string& name) {
    return "/dev/shm/tarvik-bench-" + std::to_string(::getpid()) + "-" + name + ".tvk";
}

// Records from `first` on, seen a few times; every fourth has both positions.
std::vector<BssidRecord> Records(std::uint32_t first, std::uint32_t count) {
    std::vector<BssidRecord> records;
    records.reserve(count);
    PositionSnapshot where;
    where.fix.fill(0x42);
    for (std::uint32_t i = first; i < first + count; ++i) {
        const auto entry = ndis::BssidEntry::FromFields(bench::SyntheticNetworkFields(i));
        auto record = std::make_shared<CBssid>(entry, i % 40, 1700000000 + i);
        record->UpdateFromEntry(entry, 1700000060 + i);
        if (i % 4 == 0) {
            record->SetPositionAtMinRssi(where);
            record->SetPositionAtMaxRssi(where);
        }
        records.push_back(std::move(record));
    }
    return records;
}

void Write(const std::filesystem::path& file, const std::vector<BssidRecord>& records) {
    std::string error;
    if (WriteScanFileRecords(file, 40, records, error) != RES_FILE_SAVED) std::abort();
}

void BM_SaveScanFile(benchmark::State& state) {
    const std::vector<BssidRecord> records = Records(0, kRecords);
    const auto file = BenchFile("save");
    for (auto _ : state) Write(file, records);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(file)));
    std::filesystem::remove(file);
}
BENCHMARK(BM_SaveScanFile)->Unit(benchmark::kMillisecond);

void BM_OpenScanFile(benchmark::State& state) {
    const auto file = BenchFile("open");
    Write(file, Records(0, kRecords));
    for (auto _ : state) {
        const ScanFileContents contents = ReadScanFileContents(file);
        if (contents.status != ScanFileStatus::Read) state.SkipWithError("not read");
        benchmark::DoNotOptimize(contents.records.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(file)));
    std::filesystem::remove(file);
}
BENCHMARK(BM_OpenScanFile)->Unit(benchmark::kMillisecond);

// Half of the file's networks are in the list already.
void BM_MergeScanFile(benchmark::State& state) {
    const auto file = BenchFile("merge");
    Write(file, Records(kRecords / 2, kRecords));
    const std::vector<BssidRecord> listed = Records(0, kRecords);
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<CNetworkList>();
        for (const BssidRecord& record : listed) list->Append(record);
        state.ResumeTiming();
        added = ApplyScanFile(*list, ReadScanFileContents(file), true);
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.counters["added"] = static_cast<double>(added);
    std::filesystem::remove(file);
}
BENCHMARK(BM_MergeScanFile)->Unit(benchmark::kMillisecond);

const std::filesystem::path& ManyRecordsFile() {
    static const std::filesystem::path file = [] {
        const auto path = BenchFile("million");
        Write(path, Records(0, kManyRecords));
        return path;
    }();
    return file;
}

// Only the open is timed: dropping a million records is the close's cost.
void BM_OpenMillionRecords(benchmark::State& state) {
    double perRecord = 0;
    for (auto _ : state) {
        const std::size_t before = ::mallinfo2().uordblks;
        auto contents = std::make_unique<ScanFileContents>(ReadScanFileContents(ManyRecordsFile()));
        state.PauseTiming();
        const std::size_t after = ::mallinfo2().uordblks;
        if (contents->records.size() != kManyRecords) state.SkipWithError("not read");
        perRecord = static_cast<double>(after - before) / kManyRecords;
        contents.reset();
        state.ResumeTiming();
    }
    state.counters["bytes_per_record"] = perRecord;
    state.SetBytesProcessed(static_cast<std::int64_t>(
        state.iterations() * std::filesystem::file_size(ManyRecordsFile())));
}
BENCHMARK(BM_OpenMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SortMillionRecords(benchmark::State& state) {
    const ScanFileContents contents = ReadScanFileContents(ManyRecordsFile());
    CApplicationOptions options{nullptr, "/usr/bin/tarvik", "tarvik"};
    OuiVendorCache vendors;
    const ColumnContext context{options, 40, {}, vendors};
    bench::TimeSortByColumn(state, contents.records, context);
}
BENCHMARK(BM_SortMillionRecords)
    ->Arg(COLUMN_SSID)
    ->Arg(COLUMN_SIGNAL)
    ->Arg(COLUMN_LAST_SEEN)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The generated file goes with the process.
struct RemoveManyRecordsFile {
    ~RemoveManyRecordsFile() { std::filesystem::remove(BenchFile("million")); }
} removeAtExit;

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
