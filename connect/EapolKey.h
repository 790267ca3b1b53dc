// EAPOL-Key frames (IEEE 802.11i): the layout, a bounds-checked view over a
// received frame, and the builder for the frames the station sends.
//
// An EAPOL frame here starts at the protocol-version byte: version (1),
// type (1), body length (2, big-endian), body. The body of an EAPOL-Key frame
// is the 95-byte descriptor followed by the key data. Offsets below count
// from the start of the EAPOL frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarvik {

inline constexpr std::uint8_t EAPOL_VERSION_SENT = 1;
inline constexpr std::uint8_t EAPOL_TYPE_KEY = 3;
inline constexpr std::uint16_t ETHER_TYPE_EAPOL = 0x888E;

inline constexpr std::uint8_t EAPOL_KEY_TYPE_RSN = 2;
inline constexpr std::uint8_t EAPOL_KEY_TYPE_WPA = 254;

inline constexpr std::size_t kEapolHeaderLength = 4;
inline constexpr std::size_t kEapolKeyDescriptorLength = 95;
inline constexpr std::size_t kEapolKeyMinimumLength =
    kEapolHeaderLength + kEapolKeyDescriptorLength;
inline constexpr std::size_t kEapolKeyMicLength = 16;
inline constexpr std::size_t kEapolKeyNonceLength = 32;
inline constexpr std::size_t kEapolReplayCounterLength = 8;

namespace eapol_layout {
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kType = 1;
inline constexpr std::size_t kBodyLength = 2;
inline constexpr std::size_t kDescriptorType = 4;
inline constexpr std::size_t kKeyInformation = 5;
inline constexpr std::size_t kKeyLength = 7;
inline constexpr std::size_t kReplayCounter = 9;
inline constexpr std::size_t kKeyNonce = 17;
inline constexpr std::size_t kKeyIv = 49;
inline constexpr std::size_t kKeyRsc = 65;
inline constexpr std::size_t kKeyId = 73;
inline constexpr std::size_t kKeyMic = 81;
inline constexpr std::size_t kKeyDataLength = 97;
inline constexpr std::size_t kKeyData = 99;
}  // namespace eapol_layout

// Key information bits.
inline constexpr std::uint16_t KEY_INFO_VERSION_MASK = 0x0007;
inline constexpr std::uint16_t KEY_INFO_VERSION_MD5_RC4 = 1;
inline constexpr std::uint16_t KEY_INFO_VERSION_SHA1_AES = 2;
inline constexpr std::uint16_t KEY_INFO_PAIRWISE = 0x0008;
inline constexpr std::uint16_t KEY_INFO_INDEX_MASK = 0x0030;
inline constexpr int KEY_INFO_INDEX_SHIFT = 4;
inline constexpr std::uint16_t KEY_INFO_INSTALL = 0x0040;  // group messages: transmit
inline constexpr std::uint16_t KEY_INFO_ACK = 0x0080;
inline constexpr std::uint16_t KEY_INFO_MIC = 0x0100;
inline constexpr std::uint16_t KEY_INFO_SECURE = 0x0200;
inline constexpr std::uint16_t KEY_INFO_ERROR = 0x0400;
inline constexpr std::uint16_t KEY_INFO_REQUEST = 0x0800;
inline constexpr std::uint16_t KEY_INFO_ENCRYPTED_DATA = 0x1000;

// A received EAPOL-Key frame that passed the size checks: at least 99 bytes,
// type 3, a body length of at least 95 that fits the bytes. `frame` holds
// exactly 4 + body length bytes; trailing bytes were cut. Key data is not
// checked here: KeyDataFits() says whether its length field fits the body.
class EapolKeyView {
  public:
    enum class Problem { None, TooShort, NotKey, BadBodyLength, UnknownDescriptor };

    // The view, or nullopt with the reason in `problem`.
    static std::optional<EapolKeyView> Parse(std::span<const std::uint8_t> bytes,
                                             Problem* problem = nullptr);

    std::span<const std::uint8_t> Frame() const { return frame_; }
    std::uint8_t Version() const { return frame_[eapol_layout::kVersion]; }
    std::uint16_t BodyLength() const;
    std::uint8_t DescriptorType() const { return frame_[eapol_layout::kDescriptorType]; }
    std::uint16_t KeyInformation() const;
    int DescriptorVersion() const { return KeyInformation() & KEY_INFO_VERSION_MASK; }
    std::uint16_t KeyLength() const;
    std::span<const std::uint8_t, kEapolReplayCounterLength> ReplayCounter() const {
        return frame_.subspan<eapol_layout::kReplayCounter, kEapolReplayCounterLength>();
    }
    std::span<const std::uint8_t, kEapolKeyNonceLength> Nonce() const {
        return frame_.subspan<eapol_layout::kKeyNonce, kEapolKeyNonceLength>();
    }
    std::span<const std::uint8_t, 16> Iv() const {
        return frame_.subspan<eapol_layout::kKeyIv, 16>();
    }
    std::span<const std::uint8_t, 8> Rsc() const {
        return frame_.subspan<eapol_layout::kKeyRsc, 8>();
    }
    std::span<const std::uint8_t, kEapolKeyMicLength> Mic() const {
        return frame_.subspan<eapol_layout::kKeyMic, kEapolKeyMicLength>();
    }
    std::uint16_t KeyDataLength() const;
    // Bytes of the body after the descriptor, whatever the length field says.
    std::size_t KeyDataRoom() const { return frame_.size() - eapol_layout::kKeyData; }
    bool KeyDataFits() const { return KeyDataLength() <= KeyDataRoom(); }
    // The key data as its length field gives it; only when KeyDataFits().
    std::span<const std::uint8_t> KeyData() const {
        return frame_.subspan(eapol_layout::kKeyData, KeyDataLength());
    }

  private:
    explicit EapolKeyView(std::span<const std::uint8_t> frame) : frame_(frame) {}
    std::span<const std::uint8_t> frame_;
};

// The fields of a frame the station sends; the key IV, RSC, ID and MIC are
// zero (the MIC is filled in afterwards).
struct EapolKeyFields {
    std::uint8_t descriptorType = EAPOL_KEY_TYPE_RSN;
    std::uint16_t keyInformation = 0;
    std::uint16_t keyLength = 0;
    std::array<std::uint8_t, kEapolReplayCounterLength> replayCounter{};
    std::array<std::uint8_t, kEapolKeyNonceLength> nonce{};
};

// The whole EAPOL frame: version 1, type 3, body of 95 + keyData bytes.
// Key data longer than 65535 - 95 bytes is refused (empty result).
std::vector<std::uint8_t> BuildEapolKey(const EapolKeyFields& fields,
                                        std::span<const std::uint8_t> keyData);

// The level-1 debug print of a received descriptor.
void PrintEapolKey(const EapolKeyView& key);

}  // namespace tarvik
