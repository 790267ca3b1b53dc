#include "connect/CipherChoice.h"

#include <algorithm>
#include <string>

#include "core/EventLog.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kPrivacyOff = 0;
constexpr std::uint32_t kPrivacyOn = 1;

bool HasAny(std::uint32_t set, std::uint32_t flags) {
    return (set & flags) != 0;
}

bool UsesWepCiphers(const NetworkSecurity& n) {
    return !n.hasSecurityElement || HasAny(n.info.pairwiseCiphers, CIPHER_WEP40 | CIPHER_WEP104);
}

bool HasWpaPairwise(const NetworkSecurity& n) {
    return HasAny(n.info.pairwiseCiphers, CIPHER_TKIP | CIPHER_CCMP);
}

// The first of CCMP, TKIP, WEP-104, WEP-40 in `set`, or 0.
std::uint32_t BestCipherOf(std::uint32_t set) {
    for (std::uint32_t cipher : {CIPHER_CCMP, CIPHER_TKIP, CIPHER_WEP104, CIPHER_WEP40}) {
        if (HasAny(set, cipher)) return cipher;
    }
    return 0;
}

}  // namespace

bool IsOpenNetwork(const NetworkSecurity& n) {
    return n.privacy == kPrivacyOff;
}

bool IsWepNetwork(const NetworkSecurity& n) {
    return n.privacy == kPrivacyOn && UsesWepCiphers(n);
}

bool IsWpaNetwork(const NetworkSecurity& n) {
    return n.privacy == kPrivacyOn && n.hasSecurityElement &&
           n.info.protocol != SECURITY_PROTOCOL_RSN && HasWpaPairwise(n);
}

bool IsWpa2Network(const NetworkSecurity& n) {
    return n.privacy == kPrivacyOn && n.hasSecurityElement &&
           n.info.protocol == SECURITY_PROTOCOL_RSN && HasWpaPairwise(n);
}

bool IsKeyManagementSupported(const NetworkSecurity& n) {
    if (IsWepNetwork(n)) return true;
    if (IsWpaNetwork(n) || IsWpa2Network(n)) return HasAny(n.info.keyManagement, KEY_MGMT_PSK);
    return false;
}

int BestUsableCipher(const NetworkSecurity& n) {
    const std::uint32_t pairwise = n.hasSecurityElement ? BestCipherOf(n.info.pairwiseCiphers) : 0;
    const std::uint32_t group = n.hasSecurityElement ? BestCipherOf(n.info.groupCipher) : 0;
    if (pairwise == 0 || group == 0) {
        LogError("Error determining the best usable group and pairwise ciphers");
        return -1;
    }
    return static_cast<int>(std::min(pairwise, group));
}

Result ChooseCipherLevel(const AdapterEncryptionSupport& adapter, const NetworkSecurity& network,
                         std::uint32_t& level) {
    const std::uint32_t capability = adapter.encryptionCapability;
    if (IsOpenNetwork(network)) {
        level = CIPHER_LEVEL_OPEN;
        return RES_SUCCESS;
    }
    if (IsWepNetwork(network)) {
        if (capability == ENCRYPTION_CAPABILITY_NONE) return RES_WEP_NOT_AVAILABLE;
        level = CIPHER_LEVEL_WEP;
        return RES_SUCCESS;
    }
    if (!IsWpaNetwork(network) && !IsWpa2Network(network)) return RES_NO_USABLE_WPA_CONFIGURATION;

    const int best = BestUsableCipher(network);
    if (best == -1) return RES_FAILURE;
    if (best == static_cast<int>(CIPHER_CCMP)) {
        if (capability == ENCRYPTION_CAPABILITY_AES) {
            level = CIPHER_LEVEL_CCMP;
            return RES_SUCCESS;
        }
        if (capability == ENCRYPTION_CAPABILITY_TKIP) {
            level = CIPHER_LEVEL_TKIP;
            return RES_SUCCESS;
        }
        return RES_CCMP_NOT_AVAILABLE;
    }
    if (best == static_cast<int>(CIPHER_TKIP)) {
        if (capability == ENCRYPTION_CAPABILITY_AES || capability == ENCRYPTION_CAPABILITY_TKIP) {
            level = CIPHER_LEVEL_TKIP;
            return RES_SUCCESS;
        }
        return RES_TKIP_NOT_AVAILABLE;
    }
    return RES_NO_USABLE_WPA_CONFIGURATION;
}

int CheckNetworkSupported(const AdapterEncryptionSupport& adapter, const NetworkSecurity& network,
                          std::string_view ssidText, std::string_view keyManagementText,
                          const ShowText& show) {
    if ((IsWpaNetwork(network) || IsWpa2Network(network)) && !IsKeyManagementSupported(network)) {
        show("Selected network " + std::string(ssidText) + " is using " +
             std::string(keyManagementText) + " key management, which is not supported.");
        return 0;
    }
    std::uint32_t level = 0;
    const char* missing = nullptr;
    switch (ChooseCipherLevel(adapter, network, level)) {
        case RES_WEP_NOT_AVAILABLE:
            missing = "WEP";
            break;
        case RES_CCMP_NOT_AVAILABLE:
            missing = "CCMP";
            break;
        case RES_TKIP_NOT_AVAILABLE:
            missing = "TKIP";
            break;
        default:
            return 1;
    }
    show("Selected network " + std::string(ssidText) + " requires " + missing +
         " cipher suite, which is not available on the chosen wireless device.");
    return 0;
}

}  // namespace tarvik
