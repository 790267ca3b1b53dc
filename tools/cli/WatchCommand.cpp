#include "tools/cli/WatchCommand.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "app/CommandIds.h"
#include "app/GpsStatusText.h"
#include "app/ResultFilters.h"
#include "networks/ColumnIds.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/TerminalScanFiles.h"
#include "tools/cli/TextTable.h"
#include "tools/cli/WatchOptions.h"

namespace tarvik::cli {

const char* const kWatchHelp =
    "usage: tarvik-cli watch [--seconds N] [--columns LIST] [--filter GROUP=CHOICE]...\n"
    "                        [--mode MODE] [--save FILE [--auto-save N]] [--no-gps]\n"
    "Scans with the chosen adapter as the window does, with the same settings, and\n"
    "shows the network table once a second: on a terminal in place, otherwise as\n"
    "one block of lines per second (a header line, a line per network, an empty\n"
    "line), with status texts on stderr.\n"
    "  --seconds N     stop after N seconds (default: at SIGINT or SIGTERM)\n"
    "  --columns LIST  the table's columns by title, comma-separated, e.g.\n"
    "                  \"MAC Address,Ssid,Channel,Signal,Encryption,Status\" (the default);\n"
    "                  any of the window's 30 columns, Vendor and Score included, with\n"
    "                  the window's texts\n"
    "  --filter GROUP=CHOICE\n"
    "                  show only the networks the window's Network Filters would show\n"
    "                  with that group ticked and that button chosen; repeatable, one\n"
    "                  per group (the last one counts). Groups and choices:\n"
    "                  class=a|b|g, mode=infrastructure|adhoc,\n"
    "                  security=none|wep|wpa|wpa2, channel24=1..14,\n"
    "                  channel5=34|36|38|40|42|44|46|48|52|56|60|64|149|153|157|161\n"
    "  --mode MODE     the window's program mode: scanning (the default, no automatic\n"
    "                  connection), hopping (keep the adapter on the best-scoring open\n"
    "                  network) or manager (keep it on the network of the saved profile\n"
    "                  with the best priority); their status lines are shown too\n"
    "  --save FILE     record the survey in the scan file FILE as it goes and once\n"
    "                  more at the end; an existing scan file is opened and continued,\n"
    "                  any other existing file is refused and left as it is\n"
    "  --auto-save N   write FILE every N seconds (default: the AutoSaveInterval\n"
    "                  setting)\n"
    "  --no-gps        leave the GPS receiver alone\n"
    "The GPS receiver of the settings (ComPortNumber and the other Com settings;\n"
    "COMn is found under SOFTWARE\\Tarvik\\Ports of the user hive, then of the\n"
    "machine hive) is opened as the window's GPS Connect does. Its state is the\n"
    "line above the table, and networks get positions as in the window, which\n"
    "--save records.\n";

namespace {

constexpr NetworkColumn kDefaultColumns[] = {COLUMN_MAC_ADDRESS, COLUMN_SSID,       COLUMN_CHANNEL,
                                             COLUMN_SIGNAL,      COLUMN_ENCRYPTION, COLUMN_STATUS};
constexpr long kMostSeconds = 366L * 24 * 3600;
constexpr auto kRedrawPeriod = std::chrono::seconds(1);

struct ModeName {
    const char* name;
    int command;
};
constexpr ModeName kModes[] = {{"scanning", ID_MODE_SCANNING},
                               {"hopping", ID_MODE_HOPPING},
                               {"manager", ID_MODE_CONNECTION_MANAGER}};

// The latest status text, shown under the table on a terminal; any thread.
class CLatestStatus : public IStatusLineSink {
  public:
    void ShowStatusText(const std::string& text) override {
        std::lock_guard lock(mutex_);
        text_ = text;
    }
    std::string Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

  private:
    std::mutex mutex_;
    std::string text_;
};

std::string TableText(CNetworkTableModel& table, const std::vector<int>& columns) {
    std::vector<std::vector<std::string>> rows(1);
    for (const int column : columns) rows[0].emplace_back(kNetworkColumns[column].title);
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        auto& cells = rows.emplace_back();
        for (const int column : columns) {
            cells.emplace_back(table.Text(static_cast<int>(row), column));
        }
    }
    return FormatTable(rows);
}

struct SaveOptions {
    std::string path;  // empty: no scan file
    long autoSaveSeconds = -1;
};

// The receiver's state as the GPS Output dialog words it, on one line.
std::string GpsLine(CCliSession& session) {
    const CGpsIntegration* gps = session.Gps();
    const CApplicationOptions& options = session.Application().Options();
    const GpsStatusTexts texts =
        ComposeGpsStatus(gps->State(), gps->IsPortOpen(), options.ComPortNumber,
                         options.GpsAngleFormat, std::time(nullptr));
    std::string line = "GPS: " + texts.status;
    if (texts.latitude != GpsStatusTexts{}.latitude) {
        line += " Latitude " + texts.latitude + ", longitude " + texts.longitude;
    }
    return PrintableText(line);
}

// An existing scan file is opened, anything else there is refused. Null
// when refused.
CScanFileCommands* OpenSaveFile(CCliSession& session, CTerminalScanFiles& seams,
                                const std::string& path) {
    CScanFileCommands& files = session.UseScanFiles(seams, seams, seams);
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error) || error;
    if (exists && files.ReadNow(path, false) != 0) return nullptr;
    return &files;
}

struct TableOptions {
    std::vector<int> columns;
    NetworkFilterFields filter;
};

int Watch(long seconds, const TableOptions& table, int modeCommand, const SaveOptions& save,
          bool useGps) {
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    CStatusPrinter printer(stderr);
    CLatestStatus latest;
    IStatusLineSink& status = terminal ? static_cast<IStatusLineSink&>(latest) : printer;
    CTerminalScanFiles fileSeams(save.path);
    CCliSession session(status);
    CScanFileCommands* files = nullptr;
    if (!save.path.empty()) {
        files = OpenSaveFile(session, fileSeams, save.path);
        if (!files) {
            return Fail(kExitFailed, save.path +
                                         " is there but is not a scan file that could be read "
                                         "whole; it is left as it is.");
        }
    }
    if (useGps) session.UseGps();
    if (const std::string refusal = session.Start(); !refusal.empty()) {
        return Fail(kExitFailed, refusal);
    }
    // The mode's machine is stepped by the controller's own timers.
    session.Dialog().ExecuteCommand(modeCommand);
    if (useGps) session.Dialog().ExecuteCommand(ID_GPS_CONNECT);
    // The window's filter commands without their dialog: the start-up's rows
    // that the filter rejects go at once.
    CNetworkFilter& filter = session.Application().Filter();
    filter.Fields() = table.filter;
    CResultFilters filters(filter, session.Application().Networks(), session.Table(), nullptr);
    filters.Attach(session.Dialog().ScanCycle());
    filters.ApplyFilter();
    if (files) {
        // A new file is written at once, so a path that cannot be written
        // is known before the survey starts.
        if (!files->IsFileOpen() && files->SaveAsCommand(true) != RES_FILE_SAVED) {
            return Fail(kExitFailed, "could not write " + save.path + ".");
        }
        const long every =
            save.autoSaveSeconds > 0
                ? save.autoSaveSeconds
                : std::max<long>(session.Application().Options().AutoSaveInterval, 1);
        session.Loop().Every(std::chrono::seconds(every), [files] { files->SaveOpenFile(); });
    }
    session.Loop().Every(kRedrawPeriod, [&] {
        std::string text = TableText(session.Table(), table.columns);
        if (useGps) text = GpsLine(session) + "\n" + text;
        if (terminal) {
            // Home, clear, the table and the status line under it.
            std::printf("\x1b[H\x1b[2J%s\n%s\n", text.c_str(),
                        PrintableText(latest.Text()).c_str());
        } else {
            std::printf("%s\n", text.c_str());
        }
        std::fflush(stdout);
    });
    const auto deadline = seconds < 0 ? CTerminalLoop::Clock::time_point::max()
                                      : CTerminalLoop::Clock::now() + std::chrono::seconds(seconds);
    session.Loop().Run(deadline, [] { return StopRequested(); });
    // Written once more and closed before the shut-down, which then has no
    // file to ask about.
    int exitStatus = kExitOk;
    if (files && files->CloseFileResult(true) != RES_FILE_CLOSED) {
        exitStatus = Fail(kExitFailed, "could not save " + save.path + ".");
    }
    session.Finish();
    return exitStatus;
}

}  // namespace

int RunWatch(const Arguments& args) {
    long seconds = -1;
    TableOptions table;
    table.columns.assign(std::begin(kDefaultColumns), std::end(kDefaultColumns));
    int modeCommand = ID_MODE_SCANNING;
    SaveOptions save;
    bool useGps = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--seconds" && hasValue) {
            const auto value = ParseNumber(args[++i], 1, kMostSeconds);
            if (!value) return UsageError("watch", "--seconds takes a whole number of seconds");
            seconds = *value;
        } else if (arg == "--columns" && hasValue) {
            if (const std::string error = ParseColumnList(args[++i], table.columns);
                !error.empty()) {
                return UsageError("watch", error);
            }
        } else if (arg == "--filter" && hasValue) {
            if (const std::string error = ParseFilterOption(args[++i], table.filter);
                !error.empty()) {
                return UsageError("watch", error);
            }
        } else if (arg == "--mode" && hasValue) {
            const std::string& name = args[++i];
            const auto found =
                std::find_if(std::begin(kModes), std::end(kModes),
                             [&](const ModeName& mode) { return name == mode.name; });
            if (found == std::end(kModes)) {
                return UsageError("watch", "--mode takes scanning, hopping or manager");
            }
            modeCommand = found->command;
        } else if (arg == "--no-gps") {
            useGps = false;
        } else if (arg == "--save" && hasValue) {
            save.path = args[++i];
        } else if (arg == "--auto-save" && hasValue) {
            const auto value = ParseNumber(args[++i], 1, kMostSeconds);
            if (!value) return UsageError("watch", "--auto-save takes a whole number of seconds");
            save.autoSaveSeconds = *value;
        } else {
            return UsageError("watch", "unknown or incomplete option '" + arg + "'");
        }
    }
    if (save.autoSaveSeconds > 0 && save.path.empty()) {
        return UsageError("watch", "--auto-save goes with --save");
    }
    InstallStopSignals();
    return Watch(seconds, table, modeCommand, save, useGps);
}

}  // namespace tarvik::cli
