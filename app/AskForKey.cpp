#include "app/AskForKey.h"

#include <cstdio>

#include "networks/Bssid.h"
#include "profiles/NetworkKey.h"

namespace tarvik {
namespace {

constexpr const char* kLengthMessage =
    "WEP keys must be one of 5 or 13 ASCII characters and 10 or 26 hex characters. Your key is "
    "%d characters. Please try with another key.";
constexpr const char* kHexMessage =
    "The WEP key you entered can only contain hex characters as it is %d characters long.";

std::string FormatLength(const char* format, std::size_t length) {
    char text[256];
    std::snprintf(text, sizeof text, format, static_cast<int>(length));
    return text;
}

// Ten or twenty-six characters of a WEP key are hex digits.
bool IsHexLength(std::size_t length) {
    return length == 10 || length == 26;
}

}  // namespace

bool CheckWepKeyText(std::string_view keyText, IMessageBoxes& boxes) {
    switch (CheckWepKey(keyText)) {
        case RES_WEP_KEY_BAD_LENGTH:
            boxes.ShowMessage(FormatLength(kLengthMessage, keyText.size()), "Incorrect Length",
                              MessageIcon::Information);
            return false;
        case RES_WEP_KEY_NOT_HEX:
            boxes.ShowMessage(FormatLength(kHexMessage, keyText.size()), "Hex Key",
                              MessageIcon::Information);
            return false;
        default:
            return true;
    }
}

CAskForKey::CAskForKey(const CBssid& network, CNetworkKey* profile, bool rememberDisabled,
                       bool adapterChosen)
    : network_(network),
      profile_(profile),
      rememberDisabled_(rememberDisabled),
      adapterChosen_(adapterChosen) {}

std::string CAskForKey::InitialKeyText() const {
    return preset_ ? preset_->KeyText() : std::string();
}

bool CAskForKey::OnOk(const std::string& keyText, bool rememberChecked, IMessageBoxes& boxes) {
    const bool wep = network_.IsWep();
    if (wep && !CheckWepKeyText(keyText, boxes)) return false;
    accepted_ = true;
    CNetworkKey* target = preset_ ? preset_ : profile_;
    if (target) {
        target->FillFromRecord(network_, adapterChosen_);
        // An empty or over-long text leaves the key empty, whatever the
        // profile held before.
        target->keyLength = 0;
        const bool hex = wep && IsHexLength(keyText.size());
        target->SetKeyFromText(keyText, hex ? KEY_TYPE_HEX : KEY_TYPE_ASCII);
    }
    remember_ = rememberChecked;
    return true;
}

}  // namespace tarvik
