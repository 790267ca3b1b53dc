// The "Network Editor" logic: one profile as a two-level property list (names,
// kinds, descriptions, values), which properties are enabled, what a change
// does to the profile, and the checks of "Save". The Qt dialog only shows the
// list and reports the user's changes.
//
// The key is held as the user typed it (any length), so the checks of "Save"
// see the typed text; the profile's key field gets at most its 1000 bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/MessageBoxes.h"
#include "ndis/NdisTypes.h"

namespace tarvik {

class CNetworkKey;

enum ProfilePropertyId : int {
    PROP_NETWORK_SSID,
    PROP_BSSID,
    PROP_NETWORK_MODE,
    PROP_NETWORK_TYPE,
    PROP_NETWORK_KEY,
    PROP_KEY_TYPE,
    PROP_KEY_LENGTH,
    PROP_AUTO_CONNECT,
    PROP_MATCH_BSSID,
    PROP_PRIORITY,
};

enum class PropertyKind { Text, Choice, Check, Number };

struct PropertyChoice {
    std::string text;
    int value = 0;
};

struct ProfileProperty {
    ProfilePropertyId id = PROP_NETWORK_SSID;
    std::string name;
    PropertyKind kind = PropertyKind::Text;
    std::string description;
    // The property it is indented under; -1 at the top level.
    int parent = -1;
    bool hasChildren = false;
    bool readOnly = false;
    // Choice: the texts and the values they stand for.
    std::vector<PropertyChoice> choices;
    // Number: range and unit text ("" none).
    int minimum = 0;
    int maximum = 0;
    std::string unit;
    // Text: the text. Choice, Check (0/1), Number: the value.
    std::string text;
    int value = 0;
};

// A BSSID as typed: with colons, each part becomes two characters ("00" for
// an empty part, "0" before a single character, else its first two); without,
// the text itself. The twelve characters are hex-decoded into `bssid`; false
// (nothing changed) when there are not exactly twelve.
bool ParseBssidText(std::string_view text, ndis::MacAddress& bssid);

class CAddNetworkKey {
  public:
    static constexpr const char* kTitle = "Network Editor";
    // The longest key "Save" accepts, in bytes.
    static constexpr unsigned kMaxSavedKeyLength = 100;

    // The profile must outlive the controller; changes go to it at once.
    explicit CAddNetworkKey(CNetworkKey& profile);

    // The property list in its order, with the profile's current values.
    std::vector<ProfileProperty> Properties() const;
    bool IsEnabled(ProfilePropertyId id) const;
    // A text property was edited (SSID, BSSID, key); other ids are ignored.
    void OnTextChanged(ProfilePropertyId id, const std::string& text);
    // A choice, check box or number was changed; other ids are ignored.
    void OnValueChanged(ProfilePropertyId id, int value);
    // "Save": true when the profile passed every check (the dialog closes
    // with OK); false after the message of the first failed check.
    bool OnSave(IMessageBoxes& boxes);

    const std::string& TypedKeyText() const { return keyText_; }
    CNetworkKey& Profile() { return profile_; }

  private:
    void SetSsid(const std::string& text);
    void SetKey(const std::string& text);
    std::string ShownKeyText() const;

    CNetworkKey& profile_;
    std::string keyText_;
};

}  // namespace tarvik
