#include "connect/SecurityElement.h"

#include <algorithm>
#include <array>

#include "connect/WpaDebug.h"

namespace tarvik {
namespace {

using Selector = std::array<std::uint8_t, 4>;

constexpr std::array<std::uint8_t, 3> kWpaOui = {0x00, 0x50, 0xF2};
constexpr std::array<std::uint8_t, 3> kRsnOui = {0x00, 0x0F, 0xAC};
constexpr std::uint8_t kWpaOuiType = 1;
constexpr std::size_t kSelectorLength = 4;
constexpr std::size_t kWpaHeaderLength = 8;  // id, length, OUI and type, version
constexpr std::size_t kRsnHeaderLength = 4;  // id, length, version
constexpr std::uint16_t kElementVersion = 1;

// What differs between the two elements.
struct ElementRules {
    std::uint32_t protocol;
    std::uint32_t defaultCipher;
    const std::array<std::uint8_t, 3>& oui;
    bool wpaNoneKeyManagement;  // key-management type 0 means WPA-None
};

constexpr ElementRules kWpaRules = {SECURITY_PROTOCOL_WPA, CIPHER_TKIP, kWpaOui, true};
constexpr ElementRules kRsnRules = {SECURITY_PROTOCOL_RSN, CIPHER_CCMP, kRsnOui, false};

std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool HasOui(const std::uint8_t* selector, const std::array<std::uint8_t, 3>& oui) {
    return std::equal(oui.begin(), oui.end(), selector);
}

std::uint32_t CipherFromSelector(const ElementRules& rules, const std::uint8_t* selector) {
    if (!HasOui(selector, rules.oui)) return 0;
    switch (selector[3]) {
        case 0:
            return CIPHER_NONE;
        case 1:
            return CIPHER_WEP40;
        case 2:
            return CIPHER_TKIP;
        case 4:
            return CIPHER_CCMP;
        case 5:
            return CIPHER_WEP104;
        default:
            return 0;
    }
}

std::uint32_t KeyManagementFromSelector(const ElementRules& rules, const std::uint8_t* selector) {
    if (!HasOui(selector, rules.oui)) return 0;
    switch (selector[3]) {
        case 0:
            return rules.wpaNoneKeyManagement ? KEY_MGMT_WPA_NONE : 0;
        case 1:
            return KEY_MGMT_IEEE8021X;
        case 2:
            return KEY_MGMT_PSK;
        default:
            return 0;
    }
}

void SetDefaults(const ElementRules& rules, SecurityElementInfo& info) {
    info = SecurityElementInfo{};
    info.protocol = rules.protocol;
    info.pairwiseCiphers = rules.defaultCipher;
    info.groupCipher = rules.defaultCipher;
    info.keyManagement = KEY_MGMT_IEEE8021X;
}

// A cursor over the element body after the header; every read is preceded by
// a check of `left`.
struct Cursor {
    const std::uint8_t* pos;
    std::size_t left;

    void Skip(std::size_t n) {
        pos += n;
        left -= n;
    }
};

// Reads a suite list (16-bit count, then count selectors) and ORs the flag of
// each selector. Returns false on a count botch.
template <typename FlagOf>
bool ReadSuiteList(Cursor& c, const char* what, FlagOf flagOf, std::uint32_t& flags) {
    flags = 0;
    const unsigned count = ReadLe16(c.pos);
    c.Skip(2);
    if (count == 0 || c.left < count * kSelectorLength) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie count botch (%s), count %u left %u", "Function", what,
                  count, static_cast<unsigned>(c.left));
        return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        flags |= flagOf(c.pos);
        c.Skip(kSelectorLength);
    }
    return true;
}

// The suites, capabilities and (RSN only) PMKIDs after the header.
int ParseBody(const ElementRules& rules, const std::uint8_t* element, Cursor c,
              SecurityElementInfo& info) {
    const auto cipherOf = [&rules](const std::uint8_t* s) { return CipherFromSelector(rules, s); };
    const auto keyMgmtOf = [&rules](const std::uint8_t* s) {
        return KeyManagementFromSelector(rules, s);
    };

    if (c.left >= kSelectorLength) {
        info.groupCipher = cipherOf(c.pos);
        c.Skip(kSelectorLength);
    } else if (c.left > 0) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie length mismatch, %u too much", "Function",
                  static_cast<unsigned>(c.left));
        return -1;
    }

    if (c.left >= 2) {
        if (!ReadSuiteList(c, "pairwise", cipherOf, info.pairwiseCiphers)) return -1;
    } else if (c.left == 1) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie too short (for key mgmt)", "Function");
        return -1;
    }

    if (c.left >= 2) {
        if (!ReadSuiteList(c, "key mgmt", keyMgmtOf, info.keyManagement)) return -1;
    } else if (c.left == 1) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie too short (for capabilities)", "Function");
        return -1;
    }

    if (c.left >= 2) {
        info.capabilities = ReadLe16(c.pos);
        c.Skip(2);
    }

    if (rules.protocol == SECURITY_PROTOCOL_RSN && c.left >= 2) {
        const unsigned count = ReadLe16(c.pos);
        c.Skip(2);
        if (c.left < count * PMKID_LENGTH) {
            WpaPrintf(WPA_MSG_DEBUG, "%s: PMKID underflow (num_pmkid=%d left=%d)", "Function",
                      static_cast<int>(count), static_cast<int>(c.left));
            info.pmkidCount = 0;
        } else {
            info.pmkidCount = count;
            if (count > 0) info.firstPmkid = static_cast<std::uint32_t>(c.pos - element);
            c.Skip(count * PMKID_LENGTH);
        }
    }

    if (c.left > 0) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie has %u trailing bytes - ignored", "Function",
                  static_cast<unsigned>(c.left));
    }
    return 0;
}

int ParseWpaElement(std::span<const std::uint8_t> ie, SecurityElementInfo& info) {
    SetDefaults(kWpaRules, info);
    if (ie.empty()) return -1;
    if (ie.size() < kWpaHeaderLength) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie len too short %lu", "wpa_parse_wpa_ie_wpa",
                  static_cast<unsigned long>(ie.size()));
        return -1;
    }
    if (ie[0] != ELEMENT_ID_VENDOR || ie[1] != ie.size() - 2 || !HasOui(&ie[2], kWpaOui) ||
        ie[5] != kWpaOuiType || ReadLe16(&ie[6]) != kElementVersion) {
        return -1;
    }
    const Cursor body{ie.data() + kWpaHeaderLength, ie.size() - kWpaHeaderLength};
    return ParseBody(kWpaRules, ie.data(), body, info);
}

int ParseRsnElement(std::span<const std::uint8_t> ie, SecurityElementInfo& info) {
    SetDefaults(kRsnRules, info);
    if (ie.size() < kRsnHeaderLength) {
        WpaPrintf(WPA_MSG_DEBUG, "%s: ie len too short %lu", "Function",
                  static_cast<unsigned long>(ie.size()));
        return -1;
    }
    if (ie[0] != ELEMENT_ID_RSN || ie[1] != ie.size() - 2 || ReadLe16(&ie[2]) != kElementVersion) {
        return -1;
    }
    const Cursor body{ie.data() + kRsnHeaderLength, ie.size() - kRsnHeaderLength};
    return ParseBody(kRsnRules, ie.data(), body, info);
}

// Selector types the own-element builders accept, or -1.
int GroupSelectorType(std::uint32_t cipher) {
    switch (cipher) {
        case CIPHER_CCMP:
            return 4;
        case CIPHER_TKIP:
            return 2;
        case CIPHER_WEP104:
            return 5;
        case CIPHER_WEP40:
            return 1;
        default:
            return -1;
    }
}

int PairwiseSelectorType(std::uint32_t cipher) {
    switch (cipher) {
        case CIPHER_CCMP:
            return 4;
        case CIPHER_TKIP:
            return 2;
        case CIPHER_NONE:
            return 0;
        default:
            return -1;
    }
}

int KeyManagementSelectorType(std::uint32_t keyManagement, bool allowWpaNone) {
    switch (keyManagement) {
        case KEY_MGMT_IEEE8021X:
            return 1;
        case KEY_MGMT_PSK:
            return 2;
        case KEY_MGMT_WPA_NONE:
            return allowWpaNone ? 0 : -1;
        default:
            return -1;
    }
}

// Checks the three values, logging the first bad one.
bool SelectorTypes(std::uint32_t group, std::uint32_t pairwise, std::uint32_t keyManagement,
                   bool allowWpaNone, std::array<int, 3>& types) {
    types = {GroupSelectorType(group), PairwiseSelectorType(pairwise),
             KeyManagementSelectorType(keyManagement, allowWpaNone)};
    if (types[0] < 0) {
        WpaPrintf(WPA_MSG_WARNING, "Invalid group cipher (%d).", static_cast<int>(group));
        return false;
    }
    if (types[1] < 0) {
        WpaPrintf(WPA_MSG_WARNING, "Invalid pairwise cipher (%d).", static_cast<int>(pairwise));
        return false;
    }
    if (types[2] < 0) {
        WpaPrintf(WPA_MSG_WARNING, "Invalid key management type (%d).",
                  static_cast<int>(keyManagement));
        return false;
    }
    return true;
}

// Writes the group selector, then the pairwise and key-management lists of one
// suite each.
std::uint8_t* WriteSuites(std::uint8_t* p, const std::array<std::uint8_t, 3>& oui,
                          const std::array<int, 3>& types) {
    const auto selector = [&p, &oui](int type) {
        p = std::copy(oui.begin(), oui.end(), p);
        *p++ = static_cast<std::uint8_t>(type);
    };
    selector(types[0]);
    for (int type : {types[1], types[2]}) {
        *p++ = 1;  // one suite
        *p++ = 0;
        selector(type);
    }
    return p;
}

}  // namespace

int ParseSecurityElement(std::span<const std::uint8_t> bytes, SecurityElementInfo& info) {
    if (!bytes.empty() && bytes[0] == ELEMENT_ID_RSN) return ParseRsnElement(bytes, info);
    return ParseWpaElement(bytes, info);
}

const char* CipherName(std::uint32_t cipher) {
    switch (cipher) {
        case CIPHER_NONE:
            return "NONE";
        case CIPHER_WEP40:
            return "WEP-40";
        case CIPHER_WEP104:
            return "WEP-104";
        case CIPHER_TKIP:
            return "TKIP";
        case CIPHER_CCMP:
            return "CCMP";
        default:
            return "UNKNOWN";
    }
}

int BuildWpaElement(std::uint32_t groupCipher, std::uint32_t pairwiseCipher,
                    std::uint32_t keyManagement, std::span<std::uint8_t> out) {
    if (out.size() < WPA_OWN_ELEMENT_LENGTH) return -1;
    std::array<int, 3> types{};
    if (!SelectorTypes(groupCipher, pairwiseCipher, keyManagement, true, types)) return -1;
    std::uint8_t* p = out.data();
    *p++ = ELEMENT_ID_VENDOR;
    *p++ = WPA_OWN_ELEMENT_LENGTH - 2;
    p = std::copy(kWpaOui.begin(), kWpaOui.end(), p);
    *p++ = kWpaOuiType;
    *p++ = 1;  // version 1
    *p++ = 0;
    WriteSuites(p, kWpaOui, types);
    return static_cast<int>(WPA_OWN_ELEMENT_LENGTH);
}

int BuildRsnElement(std::uint32_t groupCipher, std::uint32_t pairwiseCipher,
                    std::uint32_t keyManagement, std::span<std::uint8_t> out) {
    if (out.size() < RSN_OWN_ELEMENT_LENGTH) return -1;
    std::array<int, 3> types{};
    if (!SelectorTypes(groupCipher, pairwiseCipher, keyManagement, false, types)) return -1;
    std::uint8_t* p = out.data();
    *p++ = ELEMENT_ID_RSN;
    *p++ = RSN_OWN_ELEMENT_LENGTH - 2;
    *p++ = 1;  // version 1
    *p++ = 0;
    p = WriteSuites(p, kRsnOui, types);
    *p++ = 0;  // capabilities
    *p++ = 0;
    return static_cast<int>(RSN_OWN_ELEMENT_LENGTH);
}

}  // namespace tarvik
