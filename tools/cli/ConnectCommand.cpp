#include "tools/cli/ConnectCommand.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "adapter/Adapter.h"
#include "app/CommandIds.h"
#include "networks/NetworkColumns.h"
#include "platform/RegistryStore.h"
#include "profiles/ProfileList.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/NetworkTarget.h"
#include "tools/cli/ProfileEditLock.h"

namespace tarvik::cli {

const char* const kConnectHelp =
    "usage: tarvik-cli connect MAC|SSID [--key TEXT [--hex] [--remember]] [--timeout S]\n"
    "Joins the network as the window's Connect command does, printing each status\n"
    "text as a line. MAC names one access point; an SSID the strongest of its name.\n"
    "Without --key a saved profile that matches the network gives the key (an open\n"
    "network needs none).\n"
    "  --key TEXT     the WEP key or WPA passphrase (1 to 500 characters); '-' reads\n"
    "                 it from the first line of standard input, out of sight of ps\n"
    "  --hex          TEXT is hex digits, two per byte\n"
    "  --remember     once connected, save the key as a profile\n"
    "  --timeout S    give up after S seconds, finding the network included (default 90)\n"
    "Exit status 0 once connected with an address; otherwise 1 and the result code\n"
    "with its text.\n";

const char* const kDisconnectHelp =
    "usage: tarvik-cli disconnect\n"
    "Leaves the network the chosen adapter is connected to, as the window's\n"
    "Disconnect command does (the address is released first). 1 when it is not\n"
    "connected.\n";

namespace {

using Clock = CTerminalLoop::Clock;

constexpr long kDefaultTimeoutSeconds = 90;
// SetKeyFromText takes at most 500 characters; one more shows a longer line.
constexpr std::size_t kLongestKeyLine = 501;
constexpr long kMostTimeoutSeconds = 24L * 3600;
// Long enough for a scan and the status refresh that follows it.
constexpr auto kFindConnectedBound = std::chrono::seconds(6);

struct ConnectRequest {
    std::string network;
    std::optional<std::string> key;
    bool hex = false;
    bool remember = false;
    long timeoutSeconds = kDefaultTimeoutSeconds;
};

// The first line of standard input, without its line end. A line longer
// than any key is refused rather than cut.
bool ReadKeyLine(std::string& key) {
    char line[kLongestKeyLine + 2];
    if (std::fgets(line, sizeof line, stdin) == nullptr) return false;
    key = line;
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) key.pop_back();
    return !key.empty() && key.size() <= kLongestKeyLine;
}

std::string ParseConnect(const Arguments& args, ConnectRequest& request) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--key" && hasValue) {
            request.key = args[++i];
        } else if (arg == "--hex") {
            request.hex = true;
        } else if (arg == "--remember") {
            request.remember = true;
        } else if (arg == "--timeout" && hasValue) {
            const auto seconds = ParseNumber(args[++i], 1, kMostTimeoutSeconds);
            if (!seconds) return "--timeout takes a whole number of seconds";
            request.timeoutSeconds = *seconds;
        } else if (arg.rfind("--", 0) == 0 || !request.network.empty()) {
            return "unknown or incomplete argument '" + arg + "'";
        } else {
            request.network = arg;
        }
    }
    if (request.network.empty()) return "connect needs the network's MAC address or SSID";
    if (request.key == "-" && !ReadKeyLine(*request.key)) {
        return "--key - found no key on the first line of standard input";
    }
    if ((request.hex || request.remember) && !request.key)
        return "--hex and --remember go with --key";
    return {};
}

// Runs the loop until `found` gives a record or the deadline passes.
BssidRecord WaitForNetwork(CCliSession& session, const NetworkTarget& target,
                           Clock::time_point deadline) {
    BssidRecord record;
    session.Loop().Run(deadline, [&] {
        record = FindNetwork(session.Application().Networks(), target);
        return record != nullptr || StopRequested();
    });
    return record;
}

// The profile to join with: the command's key, or a saved profile. An
// error text when the network needs a key and none is known.
std::string ChooseProfile(const ConnectRequest& request, CBssid& record, CProfileList& list,
                          std::optional<CNetworkKey>& profile) {
    const std::string name = SsidText(record);
    if (request.key) {
        if (record.IsOpen()) return name + " is an open network; it takes no key";
        CNetworkKey key;
        key.FillFromRecord(record, true);
        if (key.SetKeyFromText(*request.key, request.hex ? KEY_TYPE_HEX : KEY_TYPE_ASCII) != 0) {
            return request.hex ? "--key with --hex takes 2 to 500 hex digits, an even number"
                               : "--key takes 1 to 500 characters";
        }
        profile = key;
        return {};
    }
    const CNetworkKey* saved = nullptr;
    if (list.FindProfile(record, saved) == RES_PROFILE_FOUND) {
        profile = *saved;
    } else if (!record.IsOpen()) {
        return "no saved profile matches " + name + "; give its key with --key";
    }
    return {};
}

// The results of an attempt that joined (a WPA join with a manual address
// ends with plain success).
bool IsJoined(Result result) {
    return result == RES_OPEN_CONNECTED || result == RES_WEP_CONNECTED ||
           result == RES_ADDRESS_OBTAINED || result == RES_SUCCESS;
}

bool Remember(const CNetworkKey& key, CProfileList& list) {
    CProfileEditLock edit;
    if (const std::string refusal = edit.Take(); !refusal.empty()) {
        Fail(kExitOk, "the profile was not saved: " + refusal);
        return false;
    }
    list.Load();  // what is stored now, not what was read at the start
    return list.Add(std::make_unique<CNetworkKey>(key));
}

int Connect(const ConnectRequest& request) {
    CStatusPrinter printer(stdout);
    CCliSession session(printer);
    if (const std::string refusal = session.Start(); !refusal.empty()) {
        return Fail(kExitFailed, refusal);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(request.timeoutSeconds);
    // A fresh scan, so a network in range is found within a second.
    session.Dialog().ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    const BssidRecord record =
        WaitForNetwork(session, ParseNetworkTarget(request.network), deadline);
    if (!record) return Fail(kExitFailed, "no network " + request.network + " is in range");

    CApplicationOptions& options = session.Application().Options();
    CProfileList list(options.UserHive(), options.ApplicationKey());
    list.Load();
    std::optional<CNetworkKey> profile;
    if (const std::string problem = ChooseProfile(request, *record, list, profile);
        !problem.empty()) {
        return Fail(kExitFailed, problem);
    }
    CConnectionProcedure& connection = session.Connection();
    const Result started = connection.ConnectToBssid(record, profile ? &*profile : nullptr);
    CAdapter* adapter = session.Dialog().ChosenAdapter();
    if (!connection.IsRunning()) {
        // Already joined with an address is what was asked for.
        if (record->IsConnected() && adapter && adapter->HasAddress()) return kExitOk;
        return Fail(kExitFailed, "could not connect to " + request.network + " (result " +
                                     std::to_string(started) + "; the status line says why)");
    }
    session.Loop().Run(deadline, [&] { return !connection.IsRunning() || StopRequested(); });
    if (connection.IsRunning()) {
        session.Finish();
        const std::string why =
            StopRequested()
                ? "stopped"
                : "no result within " + std::to_string(request.timeoutSeconds) + " seconds";
        return Fail(kExitFailed, "gave up on " + request.network + ": " + why);
    }
    // An address alone proves nothing: the card may keep the one of the
    // network it was on before a failed attempt.
    const Result result = connection.LastResult();
    if (!IsJoined(result) || !adapter->HasAddress()) {
        const std::string text = ConnectResultText(result);
        return Fail(kExitFailed, "could not connect to " + request.network + ": result " +
                                     std::to_string(result) +
                                     (text.empty() ? "" : " (" + text + ")"));
    }
    if (request.remember && profile && !Remember(*profile, list)) {
        Fail(kExitOk, "the profile could not be saved");
    }
    return kExitOk;
}

}  // namespace

int RunConnect(const Arguments& args) {
    ConnectRequest request;
    if (const std::string problem = ParseConnect(args, request); !problem.empty()) {
        return UsageError("connect", problem);
    }
    InstallStopSignals();
    return Connect(request);
}

int RunDisconnect(const Arguments& args) {
    if (!args.empty()) return UsageError("disconnect", "disconnect takes no arguments");
    InstallStopSignals();
    CStatusPrinter printer(stdout);
    CCliSession session(printer);
    if (const std::string refusal = session.Start(); !refusal.empty()) {
        return Fail(kExitFailed, refusal);
    }
    // The status refresh marks the joined network once the list holds it.
    session.Dialog().ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    BssidRecord joined;
    session.Loop().Run(Clock::now() + kFindConnectedBound, [&] {
        for (const BssidRecord& record : session.Application().Networks().Records()) {
            if (record && record->IsConnected()) joined = record;
        }
        return joined != nullptr || StopRequested();
    });
    if (!joined) return Fail(kExitFailed, "the adapter is not connected to a network");
    session.View().Select(joined);
    session.Connection().Disconnect();
    return kExitOk;
}

}  // namespace tarvik::cli
