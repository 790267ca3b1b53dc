#include "tools/cli/ProfilesCommand.h"

#include <cctype>
#include <cstdio>

#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "core/ExecutablePath.h"
#include "platform/RegistryStore.h"
#include "profiles/ProfileList.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/ProfileEditLock.h"
#include "tools/cli/TextTable.h"

namespace tarvik::cli {

const char* const kProfilesHelp =
    "usage: tarvik-cli profiles list\n"
    "       tarvik-cli profiles show N [--show-key]\n"
    "       tarvik-cli profiles remove N\n"
    "       tarvik-cli profiles move N up|down\n"
    "The saved network profiles of the window's Network Profiles list, in its order\n"
    "(the Connection Manager's order of trial). N is a profile's number in 'list',\n"
    "1 for the first. 'show' prints the key as stars unless --show-key is given.\n"
    "'remove' and 'move' are refused while the window runs (it keeps its own copy).\n";

namespace {

constexpr const char* kMaskedKey = "********";

std::string KeyLine(const CNetworkKey& profile, bool showKey) {
    if (profile.securityClass == 1 || showKey) return profile.KeyText();
    return std::string(kMaskedKey) + " (--show-key shows it)";
}

int List(const CProfileList& list) {
    std::vector<std::vector<std::string>> rows{
        {"N", "SSID", "BSSID", "Security", "Mode", "Key Type", "Auto", "Priority", "Match BSSID"}};
    for (std::size_t i = 0; i < list.Size(); ++i) {
        const CNetworkKey& p = list.At(i);
        rows.push_back({std::to_string(i + 1), p.SsidText(), p.BssidText(), p.ClassText(),
                        p.ModeText(), p.KeyTypeText(), p.AutoConnectText(), p.PriorityText(),
                        p.MatchBssidText()});
    }
    std::fputs(FormatTable(rows).c_str(), stdout);
    return kExitOk;
}

int Show(const CNetworkKey& p, bool showKey) {
    const std::vector<std::vector<std::string>> rows{
        {"SSID:", p.SsidText()},         {"BSSID:", p.BssidText()},
        {"Security:", p.ClassText()},    {"Mode:", p.ModeText()},
        {"Key type:", p.KeyTypeText()},  {"Key length:", p.KeyLengthText()},
        {"Key:", KeyLine(p, showKey)},   {"Automatically connect:", p.AutoConnectText()},
        {"Priority:", p.PriorityText()}, {"Match BSSID:", p.MatchBssidText()},
    };
    std::fputs(FormatTable(rows).c_str(), stdout);
    return kExitOk;
}

// The profile's index for its number N; nothing when there is no such profile.
std::optional<std::size_t> IndexOf(const CProfileList& list, const std::string& number) {
    const auto n = ParseNumber(number, 1, static_cast<long>(list.Size()));
    if (!n) return std::nullopt;
    return static_cast<std::size_t>(*n - 1);
}

std::string NoSuchProfile(const std::string& number, std::size_t size) {
    return "there is no profile " + number + " (" + std::to_string(size) +
           " saved; 'tarvik-cli profiles list' numbers them)";
}

std::optional<int> Direction(std::string word) {
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "up") return -1;
    if (word == "down") return 1;
    return std::nullopt;
}

int Change(CProfileList& list, const Arguments& args, std::size_t index) {
    CProfileEditLock edit;
    if (const std::string refusal = edit.Take(); !refusal.empty()) {
        return Fail(kExitFailed, refusal);
    }
    if (args[0] == "remove") {
        if (!list.Remove(&list.At(index)))
            return Fail(kExitFailed, "the profiles could not be saved");
        return kExitOk;
    }
    const int direction = *Direction(args[2]);
    if (!list.Move(index, direction)) {
        return Fail(kExitFailed, "profile " + args[1] + " cannot move " + args[2] +
                                     " (it is at that end, or the profiles could not be saved)");
    }
    return kExitOk;
}

// Checks the words and their count before anything is read.
std::string CheckArguments(const Arguments& args) {
    if (args.empty()) return "profiles needs list, show, remove or move";
    const std::string& verb = args[0];
    if (verb == "list") return args.size() == 1 ? "" : "list takes no arguments";
    if (verb == "show") {
        const bool ok = args.size() == 2 || (args.size() == 3 && args[2] == "--show-key");
        return ok ? "" : "show takes N and, optionally, --show-key";
    }
    if (verb == "remove") return args.size() == 2 ? "" : "remove takes N";
    if (verb == "move") {
        return args.size() == 3 && Direction(args[2]) ? "" : "move takes N and up or down";
    }
    return "unknown profiles command '" + verb + "'";
}

}  // namespace

int RunProfiles(const Arguments& args) {
    if (const std::string problem = CheckArguments(args); !problem.empty()) {
        return UsageError("profiles", problem);
    }
    CApplicationOptions options(nullptr, ExecutablePath(), kApplicationName);
    InstallLogAsStoreErrorSink();
    SetLogSettings(&options);
    options.Load();
    if (const auto damage = options.UserHive().TakeDamageReport()) {
        Fail(kExitOk, damage->Describe());
    }
    CProfileList list(options.UserHive(), options.ApplicationKey());
    list.Load();
    if (const auto report = list.TakeLoadReport()) Fail(kExitOk, *report);
    int status = kExitOk;
    if (args[0] == "list") {
        status = List(list);
    } else if (const auto index = IndexOf(list, args[1]); !index) {
        status = Fail(kExitFailed, NoSuchProfile(args[1], list.Size()));
    } else if (args[0] == "show") {
        status = Show(list.At(*index), args.size() == 3);
    } else {
        status = Change(list, args, *index);
    }
    ClearLogSettings(&options);
    return status;
}

}  // namespace tarvik::cli
