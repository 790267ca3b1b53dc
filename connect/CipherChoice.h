// Network classification (open, WEP, WPA, WPA2), the cipher level of a
// connection and the check that the chosen adapter can join a network.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "connect/SecurityElement.h"
#include "core/ResultCodes.h"

namespace tarvik {

// What classification needs of a network record: the scan entry's Privacy
// value and the decoded security element, if any.
struct NetworkSecurity {
    std::uint32_t privacy = 0;  // 0 open, 1 privacy required; other values are neither
    bool hasSecurityElement = false;
    SecurityElementInfo info;
};

bool IsOpenNetwork(const NetworkSecurity& network);
bool IsWepNetwork(const NetworkSecurity& network);
bool IsWpaNetwork(const NetworkSecurity& network);
bool IsWpa2Network(const NetworkSecurity& network);
bool IsKeyManagementSupported(const NetworkSecurity& network);

// CIPHER_CCMP, CIPHER_TKIP, CIPHER_WEP104 or CIPHER_WEP40: the smaller of the
// best pairwise and best group cipher; -1 (logged) when nothing was decoded or
// either set has none of those four.
int BestUsableCipher(const NetworkSecurity& network);

// Cipher levels: the NDIS_802_11_ENCRYPTION_STATUS a connection sets.
inline constexpr std::uint32_t CIPHER_LEVEL_OPEN = 1;  // Ndis802_11EncryptionDisabled
inline constexpr std::uint32_t CIPHER_LEVEL_WEP = 0;   // Ndis802_11Encryption1Enabled
inline constexpr std::uint32_t CIPHER_LEVEL_TKIP = 4;  // Ndis802_11Encryption2Enabled
inline constexpr std::uint32_t CIPHER_LEVEL_CCMP = 6;  // Ndis802_11Encryption3Enabled

// The best encryption an adapter offers, as its one-time probe found it.
inline constexpr std::uint32_t ENCRYPTION_CAPABILITY_AES = 6;  // AES and TKIP
inline constexpr std::uint32_t ENCRYPTION_CAPABILITY_TKIP = 4;
inline constexpr std::uint32_t ENCRYPTION_CAPABILITY_WEP = 0;
inline constexpr std::uint32_t ENCRYPTION_CAPABILITY_NONE = 3;

// What the adapter's encryption probe found. The adapter runs its probe
// (once per adapter object) before handing this over.
struct AdapterEncryptionSupport {
    std::uint32_t encryptionCapability = ENCRYPTION_CAPABILITY_NONE;
};

// RES_SUCCESS with `level` set, RES_WEP_NOT_AVAILABLE, RES_CCMP_NOT_AVAILABLE,
// RES_TKIP_NOT_AVAILABLE, RES_NO_USABLE_WPA_CONFIGURATION, or RES_FAILURE when
// the best ciphers cannot be determined. `level` is left alone on failure.
Result ChooseCipherLevel(const AdapterEncryptionSupport& adapter, const NetworkSecurity& network,
                         std::uint32_t& level);

// Where a refusal is shown to the user (the status line).
using ShowText = std::function<void(const std::string& text)>;

// 1 when a connection may go on, 0 when it is refused; the refusal has then
// been shown. `ssidText` and `keyManagementText` are the network's column
// texts, used in the messages.
int CheckNetworkSupported(const AdapterEncryptionSupport& adapter, const NetworkSecurity& network,
                          std::string_view ssidText, std::string_view keyManagementText,
                          const ShowText& show);

}  // namespace tarvik
