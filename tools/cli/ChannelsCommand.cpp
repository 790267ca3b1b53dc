#include "tools/cli/ChannelsCommand.h"

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

#include "app/ChannelHills.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/TextTable.h"

namespace tarvik::cli {

const char* const kChannelsHelp =
    "usage: tarvik-cli channels [--seconds N]\n"
    "Scans for N seconds (default 3) as the window does, then prints each channel\n"
    "that networks in range are centred on, as View > Channel View plots them:\n"
    "how many networks are on it, how many others reach into it with their channel\n"
    "width (HT and VHT Operation elements; 20 MHz without them), and the strongest\n"
    "signal on it. Networks that are no longer detected do not count.\n"
    "  --seconds N   how long to scan first (1 to 3600)\n";

namespace {

constexpr long kDefaultSeconds = 3;
constexpr long kMostSeconds = 3600;

std::string BandName(WifiBand band) {
    return band == WifiBand::Band24GHz ? "2.4 GHz" : "5 GHz";
}

std::string LoadTable(const std::vector<ChannelLoad>& loads) {
    std::vector<std::vector<std::string>> rows = {
        {"Band", "Channel", "Networks", "Overlapping", "Strongest"}};
    for (const ChannelLoad& load : loads) {
        rows.push_back({BandName(load.band), std::to_string(load.channel),
                        std::to_string(load.networks), std::to_string(load.overlapping),
                        std::to_string(std::lround(load.strongest)) + " dBm"});
    }
    return FormatTable(rows);
}

}  // namespace

int RunChannels(const Arguments& args) {
    long seconds = kDefaultSeconds;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            const auto value = ParseNumber(args[++i], 1, kMostSeconds);
            if (!value) return UsageError("channels", "--seconds takes 1 to 3600");
            seconds = *value;
        } else {
            return UsageError("channels", "unknown or incomplete option '" + args[i] + "'");
        }
    }
    InstallStopSignals();
    CStatusPrinter printer(stderr);
    CCliSession session(printer);
    if (const std::string refusal = session.Start(); !refusal.empty()) {
        return Fail(kExitFailed, refusal);
    }
    session.Loop().Run(CTerminalLoop::Clock::now() + std::chrono::seconds(seconds),
                       [] { return StopRequested(); });
    const ChannelHillSet hills =
        HillsOf(session.Application().Networks(), nullptr, session.Application().Options(),
                std::numeric_limits<std::size_t>::max());
    const std::vector<ChannelLoad> loads = ChannelLoads(hills.hills);
    if (loads.empty()) {
        std::printf("No networks in range.\n");
    } else {
        std::fputs(LoadTable(loads).c_str(), stdout);
    }
    session.Finish();
    return kExitOk;
}

}  // namespace tarvik::cli
