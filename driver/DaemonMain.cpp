// tarvik-driverd: the protocol driver's stand-in. Serves the driver device
// on a Unix socket with a chosen backend until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "driver/AirCapture.h"
#include "driver/Backend.h"
#include "driver/DriverServer.h"
#include "driver/TraceBackend.h"
#include "platform/driverio/DriverSocketPath.h"

#include "driver/sim/SimBackend.h"

namespace {

std::atomic<tarvik::driver::DriverServer*> g_server{nullptr};

void OnStopSignal(int) {
    if (auto* server = g_server.load()) server->Stop();
}

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: tarvik-driverd [--backend sim] [--scenario FILE] "
                 "[--socket PATH | --system]\n"
                 "                      [--trace FILE [--trace-keys]] [--capture FILE]\n"
                 "  --backend NAME   the world behind the driver device (sim)\n"
                 "  --scenario FILE  the simulated world's scenario (JSON); default: the\n"
                 "                   bundled share/tarvik/scenarios/default.json\n"
                 "  --socket PATH    serve this socket path\n"
                 "  --system         serve the system path (\\\\.\\Globals\\TarvikP)\n"
                 "  --trace FILE     write each OID query and set, frame and media event to\n"
                 "                   FILE, one JSON object a line; key material is masked\n"
                 "  --trace-keys     write key material into the trace as it is\n"
                 "  --capture FILE   write what the simulated channel carries to FILE\n"
                 "                   (pcap, 802.11 with radiotap)\n"
                 "Without --socket or --system the per-user path is served\n"
                 "(\\\\.\\TarvikP, or the path in TARVIK_DRIVER_SOCKET).\n");
}

// The bundled scenario, beside the program as installed (and as built):
// <folder of the program>/../share/tarvik/scenarios/default.json.
std::string DefaultScenarioPath() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return (program.parent_path().parent_path() / "share/tarvik/scenarios/default.json").string();
}

struct Options {
    std::string backend = "sim";
    std::string scenario;
    std::string socketPath;
    std::string tracePath;
    bool traceKeys = false;
    std::string capturePath;
};

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (arg == "--backend") {
            if (!value(options.backend)) return false;
        } else if (arg == "--scenario") {
            if (!value(options.scenario)) return false;
        } else if (arg == "--socket") {
            if (!value(options.socketPath)) return false;
        } else if (arg == "--trace") {
            if (!value(options.tracePath)) return false;
        } else if (arg == "--trace-keys") {
            options.traceKeys = true;
        } else if (arg == "--capture") {
            if (!value(options.capturePath)) return false;
        } else if (arg == "--system") {
            options.socketPath = tarvik::driverio::SystemSocketPath();
        } else {
            return false;
        }
    }
    if (options.socketPath.empty()) options.socketPath = tarvik::driverio::UserSocketPath();
    // Keys in the trace without a trace is a mistake worth saying.
    return !options.traceKeys || !options.tracePath.empty();
}

std::unique_ptr<tarvik::driver::IBackend> MakeBackend(const Options& options,
                                                      tarvik::driver::CAirCapture* capture,
                                                      std::string& error) {
    if (options.backend != "sim") {
        error = "unknown backend \"" + options.backend + "\" (available: sim)";
        return nullptr;
    }
    std::string scenario = options.scenario.empty() ? DefaultScenarioPath() : options.scenario;
    if (scenario.empty()) {
        error = "no --scenario given and the bundled scenario cannot be found";
        return nullptr;
    }
    return tarvik::driver::CreateSimBackend(scenario, error, capture);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (!ParseArguments(argc, argv, options)) {
        PrintUsage(stderr);
        return 2;
    }
    std::string error;
    tarvik::driver::CAirCapture capture;
    if (!options.capturePath.empty() && !capture.Open(options.capturePath, error)) {
        std::fprintf(stderr, "tarvik-driverd: --capture: %s\n", error.c_str());
        return 1;
    }
    auto backend = MakeBackend(options, options.capturePath.empty() ? nullptr : &capture, error);
    if (!backend) {
        std::fprintf(stderr, "tarvik-driverd: %s\n", error.c_str());
        return 1;
    }
    tarvik::driver::CTraceBackend trace(*backend, options.traceKeys);
    if (!options.tracePath.empty() && !trace.Open(options.tracePath, error)) {
        std::fprintf(stderr, "tarvik-driverd: --trace: %s\n", error.c_str());
        return 1;
    }
    tarvik::driver::IBackend& served =
        options.tracePath.empty() ? *backend : static_cast<tarvik::driver::IBackend&>(trace);
    tarvik::driver::DriverServer server(served);
    if (!server.Listen(options.socketPath, error)) {
        std::fprintf(stderr, "tarvik-driverd: %s\n", error.c_str());
        return 1;
    }
    g_server.store(&server);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::fprintf(stderr, "tarvik-driverd: serving %s\n", options.socketPath.c_str());
    server.Run();
    g_server.store(nullptr);
    return 0;
}
