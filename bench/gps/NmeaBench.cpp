// Parser throughput over every real receiver log in the reference data: all
// their sentences (bad ones included) through one parser, reported as
// sentences per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gps/NmeaParser.h"

namespace tarvik {
namespace {

std::vector<std::string> ReadAllSentences() {
    std::vector<std::string> sentences;
    const auto logs = std::filesystem::path(TARVIK_TESTDATA_DIR) / "nmea" / "logs";
    for (const auto& folder : std::filesystem::directory_iterator(logs)) {
        std::ifstream in(folder.path() / (folder.path().filename().string() + ".log"),
                         std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            const std::size_t dollar = line.find('$');
            if (!line.starts_with('#') && dollar != std::string::npos)
                sentences.push_back(line.substr(dollar));
        }
    }
    return sentences;
}

void BM_ParseRealLogs(benchmark::State& state) {
    const std::vector<std::string> sentences = ReadAllSentences();
    CNmeaParser parser;
    GpsFix fix;
    for (auto _ : state) {
        for (const std::string& sentence : sentences)
            benchmark::DoNotOptimize(parser.ParseSentence(sentence, fix));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sentences.size()));
    state.counters["sentences"] = static_cast<double>(sentences.size());
}
BENCHMARK(BM_ParseRealLogs);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
