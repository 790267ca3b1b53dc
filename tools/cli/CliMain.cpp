// tarvik-cli: the application shell driven from a terminal. It reads and
// writes the same settings and profiles as the window, and claims the
// adapter it drives, so it refuses an adapter the window (or another
// tarvik-cli) is using.
#include <cstdio>
#include <cstring>

#include "tools/cli/ChannelsCommand.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ConnectCommand.h"
#include "tools/cli/DeviceCommand.h"
#include "tools/cli/ExportCommand.h"
#include "tools/cli/GpsCommand.h"
#include "tools/cli/OptionsCommand.h"
#include "tools/cli/ProfilesCommand.h"
#include "tools/cli/ScanFileCommands.h"
#include "tools/cli/WatchCommand.h"

namespace {

using namespace tarvik::cli;

constexpr const char* kHelp =
    "usage: tarvik-cli COMMAND [ARGUMENTS]\n"
    "Commands:\n"
    "  watch        the network table, redrawn once a second\n"
    "  connect      join a network by MAC address or SSID\n"
    "  disconnect   leave the network the adapter is connected to\n"
    "  profiles     list, show, remove or reorder saved network profiles\n"
    "  open         summarise a scan file (.tvk)\n"
    "  merge        merge scan files into one\n"
    "  export       write a scan file as WiGLE CSV, KML, GPX or CSV\n"
    "  gps          the fixes of the GPS receiver or of a receiver log\n"
    "  device       what the adapter reports about itself (Device Information)\n"
    "  channels     which channels are crowded (View > Channel View)\n"
    "  options      list, read or change the settings of the Options dialog\n"
    "Each command takes --help. All but profiles, open, merge, export, gps and options\n"
    "need the driver "
    "(tarvik-driverd, found as the window finds it, TARVIK_DRIVER_SOCKET included).\n"
    "An adapter in use by the window or another tarvik-cli is refused.\n"
    "Exit status: 0 done, 1 failed (the reason on stderr), 2 bad arguments.\n";

struct Command {
    const char* name;
    const char* const* help;
    int (*run)(const Arguments&);
};

const Command kCommands[] = {
    {"watch", &kWatchHelp, RunWatch},
    {"connect", &kConnectHelp, RunConnect},
    {"disconnect", &kDisconnectHelp, RunDisconnect},
    {"profiles", &kProfilesHelp, RunProfiles},
    {"open", &kOpenHelp, RunOpen},
    {"merge", &kMergeHelp, RunMerge},
    {"export", &kExportHelp, RunExport},
    {"gps", &kGpsHelp, RunGps},
    {"device", &kDeviceHelp, RunDevice},
    {"channels", &kChannelsHelp, RunChannels},
    {"options", &kOptionsHelp, RunOptions},
};

}  // namespace

int main(int argc, char** argv) {
    const Arguments args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty()) return UsageError("", "no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (args[0] != command.name) continue;
        const Arguments rest(args.begin() + 1, args.end());
        if (WantsHelp(rest)) {
            std::fputs(*command.help, stdout);
            return kExitOk;
        }
        return command.run(rest);
    }
    return UsageError("", "unknown command '" + args[0] + "'");
}
