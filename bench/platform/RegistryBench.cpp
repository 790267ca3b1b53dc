// Speed of the registry store: settings are read at the moment of use, so a read
// of an unchanged hive must stay cheap; writes and full parses for comparison.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/RegText.h"
#include "platform/RegistryStore.h"

namespace {

constexpr const char* kKey = "Software\\Tarvik\\tarvik\\Settings";

// A hive shaped like a real one: 46 settings plus a few profiles.
struct BenchHive {
    BenchHive() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-bench-XXXXXX");
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        dir = ::mkdtemp(name.data());
        file = dir / "user.reg";
        tarvik::RegistryStore store(file, "HKEY_CURRENT_USER");
        store.Modify([](tarvik::RegHive& hive) {
            for (int i = 0; i < 46; ++i) {
                hive.SetValue(kKey, tarvik::RegValue::MakeDword("Setting" + std::to_string(i), i));
            }
            for (int i = 0; i < 20; ++i) {
                std::string profile =
                    "Software\\Tarvik\\tarvik\\NetworkKeys\\net" + std::to_string(i);
                hive.SetValue(profile, tarvik::RegValue::MakeString("Key", "passphrase"));
                hive.SetValue(profile, tarvik::RegValue::MakeBinary("Bssid", {1, 2, 3, 4, 5, 6}));
            }
        });
        // Old enough for the cache to be trusted.
        struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
    ~BenchHive() { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    std::filesystem::path file;
};

void BM_ReadDwordUnchangedHive(benchmark::State& state) {
    BenchHive hive;
    tarvik::RegistryStore store(hive.file, "HKEY_CURRENT_USER");
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.ReadDword(kKey, "Setting17", 0));
    }
}
BENCHMARK(BM_ReadDwordUnchangedHive);

void BM_ParseHiveFile(benchmark::State& state) {
    BenchHive hive;
    tarvik::RegistryStore store(hive.file, "HKEY_CURRENT_USER");
    std::string text = tarvik::FormatRegFile(store.Snapshot(), "HKEY_CURRENT_USER");
    for (auto _ : state) {
        std::vector<tarvik::RegOp> ops;
        tarvik::RegParseError error;
        benchmark::DoNotOptimize(tarvik::ParseRegFile(text, ops, error));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseHiveFile);

// An import of N values into one key: must grow linearly with N (it once took 82 s
// for 40,000 values in a Debug build).
void BM_ParseAndApplyValuesInOneKey(benchmark::State& state) {
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Big]\n";
    for (int i = 0; i < state.range(0); ++i) {
        text += "\"Value" + std::to_string(i) + "\"=dword:00000001\n";
    }
    for (auto _ : state) {
        std::vector<tarvik::RegOp> ops;
        tarvik::RegParseError error;
        tarvik::ParseRegFile(text, ops, error);
        tarvik::RegHive hive;
        for (const tarvik::RegOp& op : ops) tarvik::ApplyRegOp(hive, op);
        benchmark::DoNotOptimize(hive.FindValue("Big", "Value1"));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseAndApplyValuesInOneKey)
    ->RangeMultiplier(4)
    ->Range(2500, 40000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_WriteDword(benchmark::State& state) {
    BenchHive hive;
    tarvik::RegistryStore store(hive.file, "HKEY_CURRENT_USER");
    std::uint32_t value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.WriteDword(kKey, "Setting3", ++value));
    }
}
BENCHMARK(BM_WriteDword)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
