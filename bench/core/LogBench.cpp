// Writing 20,000 lines to a log capped at 10,000 lines: through the event log
// (in-place appends) and through the plain rule it must match (read the whole
// file, drop the newest lines beyond the cap, append, rewrite the file).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "core/LogFile.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr int kLines = 20000;
constexpr int kMaxLines = 10000;

class BenchFolder {
  public:
    BenchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvik-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~BenchFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The rule, literally: one full read and rewrite per line.
void AppendByRewrite(const std::filesystem::path& file, const std::string& line) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    std::string content;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, n);
    const std::string next = ApplyLiteralAppend(content, line, kMaxLines);
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, next.data(), next.size(), 0) != static_cast<ssize_t>(next.size())) {
        std::abort();
    }
    ::close(fd);
}

void SetRate(benchmark::State& state) {
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_EventLogAppend(benchmark::State& state) {
    BenchFolder folder;
    ::setenv("TARVIK_MACHINE_HIVE", (folder.Path() / "machine.reg").c_str(), 1);
    RegistryStore::ResetDefaultHives();
    RegistryStore::LocalMachine().WriteString("SOFTWARE\\Tarvik", "INSTInfo",
                                              folder.Path().string());
    CApplicationOptions settings(nullptr, "/opt/tarvik/bin/tarvik");
    settings.FileLoggingEnabled = 1;
    settings.FileLogMaxLines = kMaxLines;
    SetLogSettings(&settings);
    for (auto _ : state) {
        std::filesystem::remove(folder.Path() / kLogFileName);
        for (int i = 0; i < kLines; ++i) {
            LogInfo("Network %d updated: channel %d, RSSI %d dBm", i, i % 14 + 1, -40 - i % 50);
        }
    }
    SetLogSettings(nullptr);
    SetRate(state);
}

void BM_LiteralRewrite(benchmark::State& state) {
    BenchFolder folder;
    const std::filesystem::path file = folder.Path() / kLogFileName;
    for (auto _ : state) {
        std::filesystem::remove(file);
        for (int i = 0; i < kLines; ++i) {
            char message[200];
            std::snprintf(message, sizeof message,
                          "App: Info: Network %d updated: channel %d, RSSI %d dBm", i, i % 14 + 1,
                          -40 - i % 50);
            AppendByRewrite(file, FormatLocalTime("[%H:%M:%S] ") + message);
        }
    }
    SetRate(state);
}

BENCHMARK(BM_EventLogAppend)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LiteralRewrite)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
