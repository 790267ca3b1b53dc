// The two 802.11 security information elements: the WPA element (vendor
// specific, id 221, OUI 00-50-F2, type 1) and the RSN element (id 48).
// Decodes them into a SecurityElementInfo summary and builds the station's
// own element for message 2 of the 4-way handshake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik {

// Cipher flags; the bit values are shared with the rest of the system.
inline constexpr std::uint32_t CIPHER_NONE = 1;
inline constexpr std::uint32_t CIPHER_WEP40 = 2;
inline constexpr std::uint32_t CIPHER_WEP104 = 4;
inline constexpr std::uint32_t CIPHER_TKIP = 8;
inline constexpr std::uint32_t CIPHER_CCMP = 16;

// Key-management flags. WPA-None exists in the WPA element only.
inline constexpr std::uint32_t KEY_MGMT_IEEE8021X = 1;
inline constexpr std::uint32_t KEY_MGMT_PSK = 2;
inline constexpr std::uint32_t KEY_MGMT_WPA_NONE = 16;

inline constexpr std::uint32_t SECURITY_PROTOCOL_WPA = 1;
inline constexpr std::uint32_t SECURITY_PROTOCOL_RSN = 2;

inline constexpr std::uint8_t ELEMENT_ID_RSN = 48;
inline constexpr std::uint8_t ELEMENT_ID_VENDOR = 221;

inline constexpr std::size_t WPA_OWN_ELEMENT_LENGTH = 24;
inline constexpr std::size_t RSN_OWN_ELEMENT_LENGTH = 22;
inline constexpr std::size_t PMKID_LENGTH = 16;

// firstPmkid value when the element carries no usable PMKID.
inline constexpr std::uint32_t PMKID_NONE = 0;

// The decoded summary of one element. Seven 32-bit fields in this order; a
// scan file stores the first six (and a zero in place of the seventh).
struct SecurityElementInfo {
    std::uint32_t protocol = 0;         // SECURITY_PROTOCOL_WPA or _RSN
    std::uint32_t pairwiseCiphers = 0;  // set of CIPHER_ flags
    std::uint32_t groupCipher = 0;      // one CIPHER_ flag
    std::uint32_t keyManagement = 0;    // set of KEY_MGMT_ flags
    std::uint32_t capabilities = 0;     // the element's 16-bit field, 0 when absent
    std::uint32_t pmkidCount = 0;       // 0 when absent or malformed
    // Offset of the first PMKID inside the decoded element; PMKID_NONE when
    // there is none (offset 0 is the element id, so it can never be one).
    std::uint32_t firstPmkid = PMKID_NONE;

    bool operator==(const SecurityElementInfo&) const = default;
};

// Decodes a whole element, header included (bytes.size() is the element's
// length). RSN rules when the first byte is 48, WPA rules otherwise. Returns
// 0 when decoded, -1 when not; the reasons go to the supplicant debug output.
// Never reads outside `bytes`. On failure `info` holds defaults or partial
// values and must not be used.
int ParseSecurityElement(std::span<const std::uint8_t> bytes, SecurityElementInfo& info);

// "NONE", "WEP-40", "WEP-104", "TKIP", "CCMP" for one flag, else "UNKNOWN".
const char* CipherName(std::uint32_t cipher);

// The station's own elements. Each writes the whole element into `out` and
// returns its length, or -1 when `out` is too small or a value is not one
// the element can carry (logged at debug level 3). Nothing is written on
// failure.
//   WPA: group CCMP/TKIP/WEP-104/WEP-40, pairwise CCMP/TKIP/NONE,
//        key management IEEE 802.1X/PSK/WPA-None; 24 bytes, no capabilities.
//   RSN: the same without WPA-None; 22 bytes with zero capabilities.
int BuildWpaElement(std::uint32_t groupCipher, std::uint32_t pairwiseCipher,
                    std::uint32_t keyManagement, std::span<std::uint8_t> out);
int BuildRsnElement(std::uint32_t groupCipher, std::uint32_t pairwiseCipher,
                    std::uint32_t keyManagement, std::span<std::uint8_t> out);

}  // namespace tarvik
