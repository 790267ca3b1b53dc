#include "app/ProfileCommands.h"

#include <memory>
#include <optional>

#include "app/AskForKey.h"
#include "app/MainDialog.h"
#include "app/ManageKeys.h"
#include "app/ProfileDialogs.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "profiles/ProfileList.h"

namespace tarvik {
namespace {

constexpr int kSecurityOpen = 1;

}  // namespace

CProfileCommands::CProfileCommands(CProfileList& profiles, IProfileDialogs& dialogs,
                                   const CApplicationOptions& options,
                                   std::function<bool()> adapterChosen)
    : profiles_(profiles),
      dialogs_(dialogs),
      options_(options),
      adapterChosen_(std::move(adapterChosen)) {}

void CProfileCommands::LoadProfiles() {
    if (loaded_) return;
    loaded_ = true;
    profiles_.Load();
    // Profiles that could not be read are kept; the user is told once.
    if (const std::optional<std::string> report = profiles_.TakeLoadReport()) {
        SetStatusText(*report);
    }
}

void CProfileCommands::FreeProfiles() {
    profiles_.FreeAll();
}

Result CProfileCommands::GetKeyForNetwork(const BssidRecord& record, CNetworkKey& key,
                                          bool& temporary) {
    if (!record) return RES_KEY_CANCELLED;
    LoadProfiles();
    const CNetworkKey* found = nullptr;
    if (profiles_.FindProfile(*record, found) != RES_PROFILE_FOUND) {
        auto profile = std::make_unique<CNetworkKey>();
        CAskForKey prompt(*record, profile.get(), false, AdapterChosen());
        if (!dialogs_.RunAskForKey(prompt) || !prompt.Accepted()) return RES_KEY_CANCELLED;
        key = *profile;
        temporary = !prompt.Remember();
        if (!temporary) profiles_.Add(std::move(profile));
        return RES_KEY_OBTAINED;
    }
    // The dialog edits a copy; the stored profile changes only on OK.
    auto copy = std::make_unique<CNetworkKey>(*found);
    CAskForKey prompt(*record, nullptr, false, AdapterChosen());
    prompt.SetPresetProfile(copy.get());
    if (!dialogs_.RunAskForKey(prompt) || !prompt.Accepted()) return RES_KEY_CANCELLED;
    key = *copy;
    temporary = !prompt.Remember();
    // Remembered: the copy goes to the end of the list (added before the
    // original goes, so a stop in between loses nothing). Not: forgotten.
    if (!temporary) profiles_.Add(std::move(copy));
    profiles_.Remove(found);
    return RES_KEY_OBTAINED;
}

CommandState CProfileCommands::RememberState(const BssidRecord& selected, bool connecting) {
    if (!selected) return {false, false};
    LoadProfiles();
    const CNetworkKey* found = nullptr;
    return {!connecting, profiles_.FindProfile(*selected, found) == RES_PROFILE_FOUND};
}

void CProfileCommands::RememberNetwork(const BssidRecord& selected) {
    if (!selected) {
        LogWarn("No network selected when 'Remember' was called'");
        return;
    }
    LoadProfiles();
    const CNetworkKey* found = nullptr;
    if (profiles_.FindProfile(*selected, found) == RES_PROFILE_FOUND) {
        profiles_.Remove(found);
        return;
    }
    auto profile = std::make_unique<CNetworkKey>();
    profile->FillFromRecord(*selected, AdapterChosen());
    if (selected->SecurityClass() == kSecurityOpen) {
        profiles_.Add(std::move(profile));
        return;
    }
    CAskForKey prompt(*selected, profile.get(), true, AdapterChosen());
    if (dialogs_.RunAskForKey(prompt) && prompt.Accepted()) profiles_.Add(std::move(profile));
}

void CProfileCommands::ShowProfiles() {
    LoadProfiles();
    CManageKeys manager(profiles_, dialogs_, options_);
    dialogs_.RunNetworkProfiles(manager);
}

}  // namespace tarvik
