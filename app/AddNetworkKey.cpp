#include "app/AddNetworkKey.h"

#include <algorithm>
#include <cstdio>

#include "app/AskForKey.h"
#include "profiles/NetworkKey.h"

namespace tarvik {
namespace {

constexpr int kSecurityOpen = 1;
constexpr int kSecurityWep = 2;
constexpr int kMinPriority = 1;
constexpr int kMaxPriority = 200;
constexpr std::size_t kBssidHexDigits = 12;

struct PropertyDefinition {
    ProfilePropertyId id;
    const char* name;
    PropertyKind kind;
    int parent;
    bool hasChildren;
    bool readOnly;
    const char* description;
};

constexpr PropertyDefinition kDefinitions[] = {
    {PROP_NETWORK_SSID, "Network SSID", PropertyKind::Text, -1, false, false,
     "SSID of the remote station."},
    {PROP_BSSID, "BSSID", PropertyKind::Text, -1, true, false, "BSSID of the remote station."},
    {PROP_NETWORK_MODE, "Network Mode", PropertyKind::Choice, PROP_BSSID, false, false,
     "Network mode of the remote station. Can be infrastructure or ad-hoc."},
    {PROP_NETWORK_TYPE, "Network Type", PropertyKind::Choice, PROP_BSSID, false, false,
     "Security type of the remote station. Can be none, WEP, WPA or WPA2."},
    {PROP_NETWORK_KEY, "Network Key", PropertyKind::Text, -1, true, false,
     "Security key or passphrase to use for connecting. It could be in ASCII or hex."},
    {PROP_KEY_TYPE, "Key type", PropertyKind::Text, PROP_NETWORK_KEY, false, true,
     "This automatically determined property shows whether the key is ASCII or hex."},
    {PROP_KEY_LENGTH, "Key Length", PropertyKind::Number, PROP_NETWORK_KEY, false, true,
     "This automatically determined property shows the length of the network key."},
    {PROP_AUTO_CONNECT, "Automatically Connect", PropertyKind::Check, -1, true, false,
     "Decides if we should automatically connect to this network when in 'Connection "
     "Manager' mode."},
    {PROP_MATCH_BSSID, "Match BSSID", PropertyKind::Check, PROP_AUTO_CONNECT, false, false,
     "When checked, the selected profile will only match a detected network when the profile "
     "BSSID matches the network BSSID."},
    {PROP_PRIORITY, "Auto Connect Priority", PropertyKind::Number, PROP_AUTO_CONNECT, false, false,
     "Priority of the selected network profile. A lower number means higher priority is given "
     "to the profile."},
};

// The key bytes as the user would type them: hex digits or the characters.
std::string KeyBytesText(const CNetworkKey& profile) {
    const std::size_t length = std::min<std::size_t>(profile.keyLength, kProfileKeySize);
    if (profile.keyType == KEY_TYPE_HEX) {
        return EncodeHexText(std::span(profile.key.data(), length));
    }
    return std::string(profile.key.begin(), profile.key.begin() + length);
}

// Fills in the value of one property from the profile.
void SetValue(ProfileProperty& property, const CNetworkKey& profile, const std::string& keyText) {
    switch (property.id) {
        case PROP_NETWORK_SSID:
            property.text = profile.SsidText();
            break;
        case PROP_BSSID:
            property.text = profile.BssidText();
            break;
        case PROP_NETWORK_MODE:
            property.choices = {{"Infrastructure", 1}, {"Ad-Hoc", 0}};
            property.value = static_cast<int>(profile.infrastructureMode);
            break;
        case PROP_NETWORK_TYPE:
            property.choices = {{"No Encryption", 1}, {"WEP", 2}, {"WPA", 3}, {"WPA2", 4}};
            property.value = profile.securityClass;
            break;
        case PROP_NETWORK_KEY:
            property.text = keyText;
            break;
        case PROP_KEY_TYPE:
            property.text = profile.KeyTypeText();
            break;
        case PROP_KEY_LENGTH:
            property.unit = "bytes";
            property.value = static_cast<int>(profile.keyLength);
            break;
        case PROP_AUTO_CONNECT:
            property.value = profile.autoConnect == 1 ? 1 : 0;
            break;
        case PROP_MATCH_BSSID:
            property.value = profile.matchBssid == 1 ? 1 : 0;
            break;
        case PROP_PRIORITY:
            property.minimum = kMinPriority;
            property.maximum = kMaxPriority;
            property.value = static_cast<int>(profile.priority);
            break;
    }
}

}  // namespace

bool ParseBssidText(std::string_view text, ndis::MacAddress& bssid) {
    std::string digits;
    if (text.find(':') == std::string_view::npos) {
        digits = text;
    } else {
        std::size_t start = 0;
        while (true) {
            const std::size_t colon = text.find(':', start);
            const std::string_view part = text.substr(start, colon - start);
            if (part.empty()) {
                digits += "00";
            } else if (part.size() == 1) {
                digits += '0';
                digits += part[0];
            } else {
                digits += part.substr(0, 2);
            }
            if (colon == std::string_view::npos) break;
            start = colon + 1;
        }
    }
    if (digits.size() != kBssidHexDigits) return false;
    return DecodeHexText(digits, bssid, static_cast<std::uint32_t>(bssid.size()));
}

CAddNetworkKey::CAddNetworkKey(CNetworkKey& profile)
    : profile_(profile), keyText_(KeyBytesText(profile)) {}

std::string CAddNetworkKey::ShownKeyText() const {
    return profile_.securityClass == kSecurityOpen ? profile_.KeyText() : keyText_;
}

std::vector<ProfileProperty> CAddNetworkKey::Properties() const {
    std::vector<ProfileProperty> properties;
    const std::string shownKey = ShownKeyText();
    for (const PropertyDefinition& definition : kDefinitions) {
        ProfileProperty property;
        property.id = definition.id;
        property.name = definition.name;
        property.kind = definition.kind;
        property.description = definition.description;
        property.parent = definition.parent;
        property.hasChildren = definition.hasChildren;
        property.readOnly = definition.readOnly;
        SetValue(property, profile_, shownKey);
        properties.push_back(std::move(property));
    }
    return properties;
}

bool CAddNetworkKey::IsEnabled(ProfilePropertyId id) const {
    switch (id) {
        case PROP_NETWORK_KEY:
            return profile_.securityClass != kSecurityOpen;
        case PROP_MATCH_BSSID:
        case PROP_PRIORITY:
            return profile_.autoConnect != 0;
        case PROP_KEY_TYPE:
        case PROP_KEY_LENGTH:
            return false;
        default:
            return true;
    }
}

void CAddNetworkKey::OnTextChanged(ProfilePropertyId id, const std::string& text) {
    switch (id) {
        case PROP_NETWORK_SSID:
            SetSsid(text);
            break;
        case PROP_BSSID:
            ParseBssidText(text, profile_.bssid);
            break;
        case PROP_NETWORK_KEY:
            SetKey(text);
            break;
        default:
            break;
    }
}

void CAddNetworkKey::OnValueChanged(ProfilePropertyId id, int value) {
    switch (id) {
        case PROP_NETWORK_MODE:
            profile_.infrastructureMode = value == 1 ? 1 : 0;
            break;
        case PROP_NETWORK_TYPE:
            profile_.securityClass = value;
            // The typed key is taken again under the new type, so ten hex
            // digits become five bytes for WEP and stay ten characters else.
            SetKey(keyText_);
            break;
        case PROP_AUTO_CONNECT:
            profile_.autoConnect = value != 0 ? 1 : 0;
            break;
        case PROP_MATCH_BSSID:
            profile_.matchBssid = value != 0 ? 1 : 0;
            break;
        case PROP_PRIORITY:
            profile_.priority =
                static_cast<std::uint32_t>(std::clamp(value, kMinPriority, kMaxPriority));
            break;
        default:
            break;
    }
}

// A text longer than the SSID field is no SSID: the length is dropped at
// once, so "Save" asks for one instead of storing a length the field cannot
// hold.
void CAddNetworkKey::SetSsid(const std::string& text) {
    profile_.ssid.fill(0);
    const std::size_t copied = std::min<std::size_t>(text.size(), kProfileSsidSize);
    std::copy_n(text.begin(), copied, profile_.ssid.begin());
    profile_.ssidLength =
        text.size() <= kProfileSsidSize ? static_cast<std::uint32_t>(text.size()) : 0;
}

void CAddNetworkKey::SetKey(const std::string& text) {
    keyText_ = text;
    profile_.key.fill(0);
    const std::size_t length = text.size();
    if (profile_.securityClass == kSecurityWep && (length == 10 || length == 26)) {
        profile_.keyType = KEY_TYPE_HEX;
        DecodeHexText(text, profile_.key, kProfileKeySize);
        profile_.keyLength = static_cast<std::uint32_t>(length / 2);
        return;
    }
    // Whatever is typed, the key field keeps its size.
    const std::size_t copied = std::min<std::size_t>(length, kProfileKeySize);
    profile_.keyType = KEY_TYPE_ASCII;
    std::copy_n(text.begin(), copied, profile_.key.begin());
    profile_.keyLength = static_cast<std::uint32_t>(copied);
}

bool CAddNetworkKey::OnSave(IMessageBoxes& boxes) {
    if (profile_.ssidLength == 0) {
        boxes.ShowMessage("Please enter the SSID of the network to be saved", "SSID",
                          MessageIcon::None);
        return false;
    }
    const bool open = profile_.securityClass == kSecurityOpen;
    if (!open && (profile_.keyLength == 0 || profile_.keyLength > kMaxSavedKeyLength)) {
        char text[128];
        std::snprintf(text, sizeof text, "Key field cannot be empty for a %s network",
                      profile_.ClassText().c_str());
        boxes.ShowMessage(text, "Empty Key", MessageIcon::None);
        return false;
    }
    if (profile_.securityClass == kSecurityWep && !CheckWepKeyText(keyText_, boxes)) {
        return false;
    }
    // An open network uses no key; one too long to store would cost the
    // profile its place in the saved list.
    if (open && profile_.keyLength > kMaxSavedKeyLength) {
        profile_.key.fill(0);
        profile_.keyLength = 0;
        keyText_.clear();
    }
    return true;
}

}  // namespace tarvik
