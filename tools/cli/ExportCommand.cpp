#include "tools/cli/ExportCommand.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "app/NetworkColumnRules.h"
#include "core/ExecutablePath.h"
#include "export/NetworkExport.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/ScanFileCommands.h"
#include "tools/cli/TextTable.h"
#include "tools/cli/WatchOptions.h"

namespace tarvik::cli {

const char* const kExportHelp =
    "usage: tarvik-cli export FILE --format wigle|kml|gpx|csv --output PATH\n"
    "                         [--columns LIST]\n"
    "Writes the networks of a scan file (.tvk) or a WiGLE CSV file to PATH,\n"
    "replacing it whole:\n"
    "  wigle  WiGLE CSV 1.6, a row per network and recorded position\n"
    "  kml    KML 2.2, a placemark per network at its strongest signal, by security\n"
    "  gpx    GPX 1.1 waypoints, and the receiver's track through the positions\n"
    "  csv    the table's texts; --columns picks them by title, comma-separated\n"
    "         (default: every column in the table's order)\n"
    "Networks without a position are left out of wigle, kml and gpx and counted.\n"
    "Needs no driver.\n";

namespace {

struct ExportOptions {
    std::string input;
    std::string output;
    std::optional<ExportFormat> format;
    std::vector<int> columns;
};

std::optional<ExportOptions> ParseExport(const Arguments& args, int& status) {
    ExportOptions options;
    for (int column = 0; column < kNetworkColumnCount; ++column) options.columns.push_back(column);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--output" && hasValue) {
            options.output = args[++i];
        } else if (args[i] == "--format" && hasValue) {
            options.format = FindExportFormat(args[++i]);
            if (!options.format) {
                status = UsageError("export", "unknown format '" + args[i] + "'");
                return std::nullopt;
            }
        } else if (args[i] == "--columns" && hasValue) {
            if (const std::string error = ParseColumnList(args[++i], options.columns);
                !error.empty()) {
                status = UsageError("export", error);
                return std::nullopt;
            }
        } else if (args[i].starts_with("--") || !options.input.empty()) {
            status = UsageError("export", "unknown or incomplete argument '" + args[i] + "'");
            return std::nullopt;
        } else {
            options.input = args[i];
        }
    }
    const char* missing = options.input.empty()    ? "no input file given"
                          : !options.format        ? "no --format given"
                          : options.output.empty() ? "no --output file given"
                                                   : nullptr;
    if (missing != nullptr) {
        status = UsageError("export", missing);
        return std::nullopt;
    }
    return options;
}

// Progress on stderr, only when a person watches it there.
ExportProgress ProgressLine(int& percent) {
    if (!::isatty(2)) return {};
    return [&percent](std::uint64_t done, std::uint64_t total) {
        const int now = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        if (now != percent) std::fprintf(stderr, "\rexporting: %d%%", percent = now);
        return true;
    };
}

}  // namespace

int RunExport(const Arguments& args) {
    int status = kExitOk;
    const std::optional<ExportOptions> options = ParseExport(args, status);
    if (!options) return status;
    ScanFileContents contents = ReadSurveyFile(options->input);
    if (contents.status != ScanFileStatus::Read) return Fail(kExitFailed, contents.message);

    CNetworkList list;
    ApplyScanFile(list, std::move(contents), false);
    // The window's settings, so that the texts (signal units and the like)
    // are the ones its table shows.
    CApplicationOptions settings(nullptr, ExecutablePath(), kApplicationName);
    settings.Load();
    CNetworkColumnRules rules(settings, list);
    int percent = -1;
    ExportRequest request;
    request.format = *options->format;
    request.columns = &rules;
    request.tableColumns = options->columns;
    request.progress = ProgressLine(percent);
    const ExportSummary summary = ExportNetworks(options->output, list.Records(), request);
    if (percent >= 0) std::fputs("\r\033[K", stderr);
    const std::string text = SummaryText(summary, PrintableText(options->output));
    if (summary.status != ExportStatus::Written) return Fail(kExitFailed, text);
    std::printf("%s\n", text.c_str());
    return kExitOk;
}

}  // namespace tarvik::cli
