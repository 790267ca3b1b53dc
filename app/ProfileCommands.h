// The profile commands of the main window and the connection procedure: the
// key prompt for a protected network (IKeySource), "Remember Network" with
// its menu state, and "Network Profiles...". Also keeps the profile list
// loaded: once, at start-up or at the first use, whichever comes first, so a
// change never overwrites profiles that were not read yet.
#pragma once

#include <functional>

#include "app/KeySource.h"

namespace tarvik {

class CApplicationOptions;
class CProfileList;
class IProfileDialogs;
struct CommandState;

class CProfileCommands : public IKeySource {
  public:
    // `adapterChosen` tells whether an adapter is chosen (filling a profile
    // from a network depends on it). Everything must outlive the commands.
    CProfileCommands(CProfileList& profiles, IProfileDialogs& dialogs,
                     const CApplicationOptions& options, std::function<bool()> adapterChosen);

    // Loads the list unless it was loaded already.
    void LoadProfiles();
    // Exit: every profile released, nothing saved.
    void FreeProfiles();
    CProfileList& Profiles() { return profiles_; }

    Result GetKeyForNetwork(const BssidRecord& record, CNetworkKey& key, bool& temporary) override;

    // Checked while a profile matches the selected record; enabled with a
    // record selected and no connection in progress.
    CommandState RememberState(const BssidRecord& selected, bool connecting);
    // Forgets the selected network when a profile matches it; else adds a
    // profile for it, asking for the key of a protected one.
    void RememberNetwork(const BssidRecord& selected);
    // The "Network Profiles" dialog, modal.
    void ShowProfiles();

  private:
    bool AdapterChosen() const { return adapterChosen_ && adapterChosen_(); }

    CProfileList& profiles_;
    IProfileDialogs& dialogs_;
    const CApplicationOptions& options_;
    std::function<bool()> adapterChosen_;
    bool loaded_ = false;
};

}  // namespace tarvik
