#include "tools/cli/ScanFileCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "export/WigleCsvReader.h"
#include "networks/ScanFile.h"
#include "tools/cli/TextTable.h"

namespace tarvik::cli {

const char* const kOpenHelp =
    "usage: tarvik-cli open FILE\n"
    "Summarises a scan file (.tvk): its records, scan counter, frame and record\n"
    "versions and the first and last sighting in local time. A damaged file is\n"
    "summarised as far as it could be read, with what is wrong on stderr, and\n"
    "exits 1. Needs no driver.\n";

const char* const kMergeHelp =
    "usage: tarvik-cli merge FILE... --output FILE [--force]\n"
    "Opens the first scan file and merges the others into it as the window's Merge\n"
    "does (a network already present keeps its record, a new one is added), then\n"
    "writes the result to the output file, replacing it whole. When an input cannot\n"
    "be read, nothing is written unless --force is given; then a damaged input gives\n"
    "the records before the damage and an unreadable one is skipped, as stderr says.\n"
    "An input may also be a WiGLE CSV file (1.4 or 1.6): its Wi-Fi rows become\n"
    "networks, and a malformed row is named by its line on stderr and skipped.\n"
    "Needs no driver.\n";

namespace {

// Progress on stderr, only when a person watches it there.
class CProgressLine {
  public:
    explicit CProgressLine(std::string name) : name_(std::move(name)), shown_(::isatty(2)) {}
    ~CProgressLine() {
        if (shown_ && percent_ >= 0) std::fputs("\r\033[K", stderr);
    }
    ScanFileProgress Callback() {
        if (!shown_) return {};
        return [this](std::uint64_t done, std::uint64_t total) {
            const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
            if (percent != percent_) {
                percent_ = percent;
                std::fprintf(stderr, "\rreading %s: %d%%", PrintableText(name_).c_str(), percent);
            }
            return true;
        };
    }

  private:
    std::string name_;
    bool shown_;
    int percent_ = -1;
};

}  // namespace

ScanFileContents ReadSurveyFile(const std::string& file) {
    CProgressLine progress(file);
    if (!IsWigleCsvFile(file)) return ReadScanFileContents(file, progress.Callback());
    WigleCsvContents wigle = ReadWigleCsv(file, progress.Callback());
    for (const std::string& skipped : wigle.skipped) Fail(kExitFailed, file + ": " + skipped);
    return std::move(wigle.contents);
}

namespace {

ScanFileContents Read(const std::string& file) {
    return ReadSurveyFile(file);
}

std::string LocalTime(std::int32_t seconds) {
    const std::time_t time = seconds;
    std::tm local{};
    char text[64];
    if (::localtime_r(&time, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local) == 0) {
        return std::to_string(seconds);
    }
    return text;
}

std::string Versions(const ScanFileContents& contents) {
    const std::size_t older = contents.olderVersionRecords;
    const std::size_t current = contents.records.size() - older;
    std::string text;
    if (current > 0) text = "1.21 (" + std::to_string(current) + ")";
    if (older > 0)
        text += (text.empty() ? "" : ", ") + std::string("1.2 (") + std::to_string(older) + ")";
    return text.empty() ? "-" : text;
}

void PrintSummary(const std::string& file, const ScanFileContents& contents) {
    const auto& records = contents.records;
    std::string first = "-";
    std::string last = "-";
    if (!records.empty()) {
        const auto byFirst = [](const BssidRecord& a, const BssidRecord& b) {
            return a->FirstSeen() < b->FirstSeen();
        };
        const auto byLast = [](const BssidRecord& a, const BssidRecord& b) {
            return a->LastSeen() < b->LastSeen();
        };
        first =
            LocalTime((*std::min_element(records.begin(), records.end(), byFirst))->FirstSeen());
        last = LocalTime((*std::max_element(records.begin(), records.end(), byLast))->LastSeen());
    }
    std::string count = std::to_string(records.size());
    if (records.size() != contents.declaredCount)
        count += " (the header says " + std::to_string(contents.declaredCount) + ")";
    const std::vector<std::vector<std::string>> rows{
        {"File:", file},
        {"Frame version:", std::string(kScanFileVersion)},
        {"Records:", count},
        {"Scan counter:", std::to_string(contents.scanCounter)},
        {"Record versions:", Versions(contents)},
        {"First seen:", first},
        {"Last seen:", last},
    };
    std::fputs(FormatTable(rows).c_str(), stdout);
}

struct MergeOptions {
    std::vector<std::string> inputs;
    std::string output;
    bool force = false;
};

// Nothing when the arguments make no sense (already reported).
std::optional<MergeOptions> ParseMerge(const Arguments& args, int& status) {
    MergeOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--output" && i + 1 < args.size()) {
            options.output = args[++i];
        } else if (args[i] == "--force") {
            options.force = true;
        } else if (args[i].starts_with("--")) {
            status = UsageError("merge", "unknown or incomplete option '" + args[i] + "'");
            return std::nullopt;
        } else {
            options.inputs.push_back(args[i]);
        }
    }
    if (options.inputs.empty() || options.output.empty()) {
        status = UsageError(
            "merge", options.inputs.empty() ? "no scan file given" : "no --output file given");
        return std::nullopt;
    }
    return options;
}

}  // namespace

int RunOpen(const Arguments& args) {
    if (args.size() != 1 || args[0].starts_with("--"))
        return UsageError("open", args.empty() ? "no scan file given" : "give one scan file");
    const ScanFileContents contents = Read(args[0]);
    if (contents.status == ScanFileStatus::CannotOpen ||
        contents.status == ScanFileStatus::NotScanFile) {
        return Fail(kExitFailed, contents.message);
    }
    PrintSummary(args[0], contents);
    if (contents.status != ScanFileStatus::Read) return Fail(kExitFailed, contents.message);
    return kExitOk;
}

int RunMerge(const Arguments& args) {
    int status = kExitOk;
    const std::optional<MergeOptions> options = ParseMerge(args, status);
    if (!options) return status;
    CNetworkList list;
    bool opened = false;
    bool refused = false;
    for (const std::string& input : options->inputs) {
        ScanFileContents contents = Read(input);
        if (contents.status != ScanFileStatus::Read) {
            const bool partly = contents.status == ScanFileStatus::Damaged;
            Fail(kExitFailed, contents.message);
            if (!options->force) {
                refused = true;
                continue;
            }
            if (!partly) {
                Fail(kExitFailed, "skipped " + input);
                continue;
            }
            Fail(kExitFailed, "taking the " + std::to_string(contents.records.size()) +
                                  " records before the damage in " + input);
        }
        const std::size_t offered = contents.records.size();
        const std::size_t added = ApplyScanFile(list, std::move(contents), opened);
        std::printf("%s: %zu of %zu records %s\n", PrintableText(input).c_str(), added, offered,
                    opened ? "new" : "opened");
        opened = true;
    }
    if (refused) return Fail(kExitFailed, "nothing written (--force writes what could be read)");
    if (!opened) return Fail(kExitFailed, "nothing written: no input could be read");
    std::string error;
    if (WriteScanFileRecords(options->output, list.ScanCounter(), list.Records(), error) !=
        RES_FILE_SAVED) {
        return Fail(kExitFailed, "cannot write " + options->output + ": " + error);
    }
    std::printf("%s: %zu records written, scan counter %u\n",
                PrintableText(options->output).c_str(), list.Size(), list.ScanCounter());
    return kExitOk;
}

}  // namespace tarvik::cli
