#include "tools/cli/GpsCommand.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "core/ExecutablePath.h"
#include "gps/serial/Serial.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/FixPrinter.h"

namespace tarvik::cli {

const char* const kGpsHelp =
    "usage: tarvik-cli gps [--seconds N] [--file NMEA-LOG] [--json]\n"
    "Prints each fix decoded from the GPS receiver, one line per epoch: UTC time,\n"
    "latitude, longitude, altitude, geoid separation, fix quality and mode,\n"
    "satellites used, HDOP/PDOP/VDOP, speed and course.\n"
    "  --file NMEA-LOG  read a receiver log instead of the receiver\n"
    "  --seconds N      read the receiver for N seconds (default: until interrupted)\n"
    "  --json           one JSON object per line\n"
    "The receiver is the configured COM port (ComPortNumber and the other Com\n"
    "settings; COMn is found under SOFTWARE\\Tarvik\\Ports of the machine hive).\n"
    "Dropped sentences are counted on stderr at the end.\n";

namespace {

// Longest line kept while waiting for its end; a longer one is passed on
// cut, and the parser refuses it as too long.
constexpr std::size_t kLineLimit = 1024;

struct GpsArguments {
    std::optional<long> seconds;
    std::string file;
    bool json = false;
};

std::optional<GpsArguments> ParseGpsArguments(const Arguments& args, std::string& problem) {
    GpsArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--json") {
            parsed.json = true;
        } else if (args[i] == "--file" && hasValue) {
            parsed.file = args[++i];
        } else if (args[i] == "--seconds" && hasValue) {
            parsed.seconds = ParseNumber(args[++i], 1, 86400 * 365);
            if (!parsed.seconds) problem = "--seconds takes a whole number from 1";
        } else {
            problem = "unknown argument or missing value: '" + args[i] + "'";
        }
        if (!problem.empty()) return std::nullopt;
    }
    if (parsed.seconds && !parsed.file.empty()) {
        problem = "--seconds applies to the receiver, not to --file";
        return std::nullopt;
    }
    return parsed;
}

int ReadLogFile(const std::string& path, CFixPrinter& printer) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return Fail(kExitFailed, "cannot read " + path);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.starts_with('#')) printer.Feed(line);  // a log's header lines
    }
    return kExitOk;
}

// Splits what arrives into lines, bounded.
class CLineSplitter {
  public:
    explicit CLineSplitter(CFixPrinter& printer) : printer_(printer) {}
    void Add(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') {
                printer_.Feed(line_);
                line_.clear();
            } else if (line_.size() < kLineLimit) {
                line_ += data[i];
            }
        }
    }

  private:
    CFixPrinter& printer_;
    std::string line_;
};

Result OpenConfiguredPort(CSerial& port) {
    CApplicationOptions options(nullptr, ExecutablePath(), kApplicationName);
    InstallLogAsStoreErrorSink();
    options.Load();
    const std::string name = "COM" + std::to_string(options.ComPortNumber.Get());
    if (Result r = port.Open(name)) return r;
    if (Result r = port.Setup(static_cast<std::uint32_t>(options.ComBaudRate.Get()),
                              options.ComDataBits, options.ComParity, options.ComStopBits)) {
        return r;
    }
    return port.SetHandshaking(options.ComHandshaking);
}

int ReadReceiver(std::optional<long> seconds, CFixPrinter& printer) {
    CSerial port;
    if (OpenConfiguredPort(port) != RES_SUCCESS) return Fail(kExitFailed, port.GetLastErrorText());
    InstallStopSignals();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds.value_or(0));
    CLineSplitter splitter(printer);
    char buffer[512];
    while (!StopRequested() && (!seconds || std::chrono::steady_clock::now() < end)) {
        // Reads do not block: take what came, or look again shortly.
        std::size_t got = 0;
        if (port.Read(buffer, sizeof buffer, &got) != RES_SUCCESS) break;
        splitter.Add(buffer, got);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (port.GetLastResult() != RES_SUCCESS) {
        return Fail(kExitFailed, port.GetLastErrorText());
    }
    return kExitOk;
}

}  // namespace

int RunGps(const Arguments& args) {
    std::string problem;
    const auto parsed = ParseGpsArguments(args, problem);
    if (!parsed) return UsageError("gps", problem);
    CFixPrinter printer(stdout, parsed->json);
    const int status = parsed->file.empty() ? ReadReceiver(parsed->seconds, printer)
                                            : ReadLogFile(parsed->file, printer);
    printer.Finish();
    std::fprintf(stderr, "tarvik-cli: gps: %s\n", printer.Summary().c_str());
    return status;
}

}  // namespace tarvik::cli
