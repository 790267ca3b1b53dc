// A profile's fields from a network record, its key from text, its texts for
// the dialogs, the match against a record and the WEP key check.
#include "profiles/NetworkKey.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "connect/CipherChoice.h"
#include "networks/Bssid.h"

namespace tarvik {

namespace {

constexpr std::size_t kMaxKeyText = 500;

// keyLength as far as the key field goes (the fields are public).
std::size_t StoredKeyLength(const CNetworkKey& profile) {
    return std::min<std::size_t>(profile.keyLength, kProfileKeySize);
}

bool IsOpenProfile(const CNetworkKey& profile) {
    return profile.securityClass == SECURITY_CLASS_OPEN;
}

}  // namespace

void CNetworkKey::FillFromRecord(const CBssid& record, bool adapterChosen) {
    if (const ndis::BssidEntry* entry = record.Entry()) {
        const std::span<const std::uint8_t> bytes = entry->Ssid();
        ssid.fill(0);
        std::copy(bytes.begin(), bytes.end(), ssid.begin());
        ssidLength = entry->SsidLength();
        bssid = entry->GetMacAddress();
        infrastructureMode = entry->InfrastructureMode();
    }
    cipherLevel = CIPHER_LEVEL_OPEN;
    if (adapterChosen) {
        keyLength = 0;
        if (record.IsWep()) {
            cipherLevel = CIPHER_LEVEL_WEP;
        } else if (record.IsWpa() || record.IsWpa2()) {
            // -1 (undetermined) has the CCMP bit too, and so asks for AES.
            const int best = BestUsableCipher(record.SecuritySummary());
            cipherLevel =
                (best & static_cast<int>(CIPHER_CCMP)) ? CIPHER_LEVEL_CCMP : CIPHER_LEVEL_TKIP;
        }
    }
    securityClass = record.SecurityClass();
}

int CNetworkKey::SetKeyFromText(std::string_view text, std::uint32_t type) {
    if (text.empty() || text.size() > kMaxKeyText) return -1;
    if (type != KEY_TYPE_ASCII && type != KEY_TYPE_HEX) return -1;
    if (type == KEY_TYPE_HEX && text.size() % 2 != 0) return -1;
    keyType = type;
    key.fill(0);
    if (type == KEY_TYPE_HEX) {
        DecodeHexText(text, key, kProfileKeySize);
        keyLength = static_cast<std::uint32_t>(text.size() / 2);
    } else {
        std::memcpy(key.data(), text.data(), text.size());
        keyLength = static_cast<std::uint32_t>(text.size());
    }
    return 0;
}

std::string CNetworkKey::SsidText() const {
    if (const RegValue* stored = StoredValue()) return "(unreadable profile " + stored->name + ")";
    if (ssidLength > kProfileSsidSize) return "";
    return std::string(ssid.begin(), ssid.begin() + ssidLength);
}

std::string CNetworkKey::BssidText() const {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bssid[0], bssid[1], bssid[2],
                  bssid[3], bssid[4], bssid[5]);
    return text;
}

std::string CNetworkKey::KeyText() const {
    if (IsOpenProfile(*this)) return "Not Available";
    const std::span<const std::uint8_t> bytes(key.data(), StoredKeyLength(*this));
    if (keyType == KEY_TYPE_HEX) return EncodeHexText(bytes);
    return std::string(bytes.begin(), bytes.end());
}

std::string CNetworkKey::ClassText() const {
    switch (securityClass) {
        case SECURITY_CLASS_OPEN:
            classText_ = "Open";
            break;
        case SECURITY_CLASS_WEP:
            classText_ = "WEP";
            break;
        case SECURITY_CLASS_WPA:
            classText_ = "WPA";
            break;
        case SECURITY_CLASS_WPA2:
            classText_ = "WPA2";
            break;
        default:
            break;  // keeps the previous text
    }
    return classText_;
}

std::string CNetworkKey::KeyTypeText() const {
    if (IsOpenProfile(*this)) {
        keyTypeText_ = "NA";
    } else if (keyType == KEY_TYPE_ASCII) {
        keyTypeText_ = "ASCII";
    } else if (keyType == KEY_TYPE_HEX) {
        keyTypeText_ = "Hex";
    }
    return keyTypeText_;
}

std::string CNetworkKey::KeyLengthText() const {
    return std::to_string(static_cast<std::int32_t>(keyLength));
}

std::string CNetworkKey::AutoConnectText() const {
    return autoConnect == 1 ? "Yes" : "No";
}

std::string CNetworkKey::PriorityText() const {
    return std::to_string(priority);
}

std::string CNetworkKey::MatchBssidText() const {
    return matchBssid == 1 ? "Yes" : "No";
}

std::string CNetworkKey::ModeText() const {
    return infrastructureMode == 1 ? "Infrastructure" : "Ad-Hoc";
}

void CNetworkKey::MarkUnreadable(RegValue stored) {
    unreadable_.value = std::move(stored);
}

const RegValue* CNetworkKey::StoredValue() const {
    return unreadable_.value ? &*unreadable_.value : nullptr;
}

bool ProfileMatches(const CNetworkKey& profile, const CBssid& record) {
    const ndis::BssidEntry* entry = record.Entry();
    // An SSID length past the field names no network; neither does an unreadable profile.
    if (!entry || profile.IsUnreadable() || profile.ssidLength > kProfileSsidSize) return false;
    const std::span<const std::uint8_t> ssid = entry->Ssid();
    if (entry->SsidLength() != profile.ssidLength || ssid.size() != profile.ssidLength)
        return false;
    if (!std::equal(ssid.begin(), ssid.end(), profile.ssid.begin())) return false;
    if (entry->InfrastructureMode() != profile.infrastructureMode) return false;
    if (record.SecurityClass() != profile.securityClass) return false;
    return profile.matchBssid != 1 || entry->GetMacAddress() == profile.bssid;
}

Result CheckWepKey(std::string_view keyText) {
    const std::size_t n = keyText.size();
    if (n != 5 && n != 10 && n != 13 && n != 26) return RES_WEP_KEY_BAD_LENGTH;
    if (n == 10 || n == 26) {
        for (const char c : keyText) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return RES_WEP_KEY_NOT_HEX;
        }
    }
    return RES_WEP_KEY_VALID;
}

}  // namespace tarvik
