// One network profile: a network the user wants to join again (SSID, BSSID,
// mode, security class), its key or passphrase, and the Connection Manager's
// three settings. Its stored form is one binary value per profile (the blob
// below); the key is kept as plain bytes, in memory and in the store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/ResultCodes.h"
#include "ndis/NdisTypes.h"
#include "platform/RegValue.h"

namespace tarvik {

class CBssid;

inline constexpr std::uint32_t kProfileSsidSize = 32;
inline constexpr std::uint32_t kProfileKeySize = 1000;
// The blob: 74 bytes of fields, then the key.
inline constexpr std::uint32_t kProfileBlobHeaderSize = 74;
// Save serializes into a buffer of this size, so keys above 926 bytes are not saved.
inline constexpr std::uint32_t kProfileBlobCapacity = 1000;
// The key block of a WEP join holds at most this many key bytes.
inline constexpr std::uint32_t kMaxWepKeyBlockMaterial = 136;

inline constexpr std::uint32_t KEY_TYPE_ASCII = 1;
inline constexpr std::uint32_t KEY_TYPE_HEX = 2;

// The WEP key check of a key text.
inline constexpr Result RES_WEP_KEY_BAD_LENGTH = 1083;
inline constexpr Result RES_WEP_KEY_NOT_HEX = 1084;
inline constexpr Result RES_WEP_KEY_VALID = 1086;

class CNetworkKey {
  public:
    // The initial values of a new profile: open, infrastructure, ASCII,
    // no key, auto-connect on, priority 1, no BSSID match.
    CNetworkKey() = default;
    CNetworkKey(const CNetworkKey&) = default;
    CNetworkKey& operator=(const CNetworkKey&) = default;

    // SSID, BSSID, mode and class from the record; the cipher level from the
    // record and, when `adapterChosen`, what the best usable cipher allows.
    void FillFromRecord(const CBssid& record, bool adapterChosen);
    // -1 (nothing changed) for an empty text or one above 500 characters, a key
    // type other than 1 and 2, or a type 2 text of odd length; else 0 with the key
    // set (type 2: hex-decoded).
    int SetKeyFromText(std::string_view text, std::uint32_t keyType);

    // The blob: bytes written (74 + key length) or -1 when it does not fit
    // `capacity` (logged). Read: 0, or -1 when the stored key length exceeds
    // the key field (the key is then left empty). A blob too short for its fields
    // also fails: shorter than 54 bytes leaves the profile as it was; a header cut
    // short or a key running past the end leaves the key empty.
    int Serialize(std::vector<std::uint8_t>& blob,
                  std::uint32_t capacity = kProfileBlobCapacity) const;
    int ReadBlob(std::span<const std::uint8_t> blob);

    // The dialogs' texts (rebuilt from the fields on each call).
    std::string SsidText() const;
    std::string BssidText() const;
    std::string KeyText() const;
    std::string ClassText() const;
    std::string KeyTypeText() const;
    std::string KeyLengthText() const;
    std::string AutoConnectText() const;
    std::string PriorityText() const;
    std::string MatchBssidText() const;
    std::string ModeText() const;

    // A stored profile that could not be read. The list keeps its stored value
    // and writes it back unchanged; it matches no network, and its SSID text says
    // "(unreadable profile NAME)". A copy of it is an ordinary profile made from
    // its fields (what the editor shows), so an edited copy is saved from them.
    void MarkUnreadable(RegValue stored);
    bool IsUnreadable() const { return unreadable_.value.has_value(); }
    const RegValue* StoredValue() const;

    // The fields, in their stored order.
    std::uint32_t ssidLength = 0;
    std::array<std::uint8_t, kProfileSsidSize> ssid{};
    ndis::MacAddress bssid{};
    std::int32_t securityClass = 1;
    std::uint32_t infrastructureMode = 1;
    std::uint32_t cipherLevel = 1;
    std::uint32_t keyType = KEY_TYPE_ASCII;
    std::uint32_t keyLength = 0;
    std::array<std::uint8_t, kProfileKeySize> key{};
    std::uint32_t autoConnect = 1;
    std::uint32_t priority = 1;
    std::uint32_t matchBssid = 0;

  private:
    // Texts for class and key type keep their previous value for an unknown
    // field value, so they are cached.
    mutable std::string classText_;
    mutable std::string keyTypeText_;

    // Left behind by copies, so only the loaded object carries the stored bytes.
    struct NotCopied {
        NotCopied() = default;
        NotCopied(const NotCopied&) {}
        NotCopied& operator=(const NotCopied&) {
            value.reset();
            return *this;
        }
        std::optional<RegValue> value;
    };
    NotCopied unreadable_;
};

// Same SSID bytes and length, same mode, same class and, with match on, same BSSID.
bool ProfileMatches(const CNetworkKey& profile, const CBssid& record);

// Hex text to bytes: fails (false) for an empty or odd-length text or one
// whose half length exceeds `capacity`.
bool DecodeHexText(std::string_view text, std::span<std::uint8_t> out, std::uint32_t capacity);
std::string EncodeHexText(std::span<const std::uint8_t> bytes);
// RES_WEP_KEY_BAD_LENGTH, RES_WEP_KEY_NOT_HEX or RES_WEP_KEY_VALID.
Result CheckWepKey(std::string_view keyText);

}  // namespace tarvik
