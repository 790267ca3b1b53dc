// The "Network Authentication" prompt's logic: which key text it shows, and
// what OK does (the WEP key check with its two messages, filling the profile
// from the network, the key type, the remember flag). The Qt dialog only
// shows it.
#pragma once

#include <string>
#include <string_view>

#include "app/MessageBoxes.h"

namespace tarvik {

class CBssid;
class CNetworkKey;

// The WEP key check of a typed key, told to the user: false (after the
// "Incorrect Length" or "Hex Key" message giving the text's length) when the
// key cannot be a WEP key.
bool CheckWepKeyText(std::string_view keyText, IMessageBoxes& boxes);

class CAskForKey {
  public:
    static constexpr const char* kTitle = "Network Authentication";
    static constexpr const char* kPromptText = "Please enter the key for this network:";
    static constexpr const char* kRememberText = "Remember this network for the future";

    // `profile` is filled at OK unless a preset is given; `rememberDisabled`
    // greys the check box; `adapterChosen` is what filling the profile needs
    // to know. The record and profiles must outlive the controller.
    CAskForKey(const CBssid& network, CNetworkKey* profile, bool rememberDisabled,
               bool adapterChosen);

    // A profile whose key the field shows and which OK fills instead.
    void SetPresetProfile(CNetworkKey* preset) { preset_ = preset; }

    // The edit field's text when shown (the caret goes to its end).
    std::string InitialKeyText() const;
    bool RememberEnabled() const { return !rememberDisabled_; }

    // OK with the field's text and the box's state: true when the dialog
    // closes (accepted), false when a message kept it open.
    bool OnOk(const std::string& keyText, bool rememberChecked, IMessageBoxes& boxes);

    bool Accepted() const { return accepted_; }
    bool Remember() const { return remember_; }

  private:
    const CBssid& network_;
    CNetworkKey* profile_;
    CNetworkKey* preset_ = nullptr;
    bool rememberDisabled_;
    bool adapterChosen_;
    bool accepted_ = false;
    bool remember_ = false;
};

}  // namespace tarvik
