#include "connect/EapolKey.h"

#include <algorithm>

#include "connect/WpaDebug.h"

namespace tarvik {

namespace {

std::uint16_t LoadBe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void StoreBe16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

}  // namespace

std::optional<EapolKeyView> EapolKeyView::Parse(std::span<const std::uint8_t> bytes,
                                                Problem* problem) {
    auto fail = [problem](Problem reason) {
        if (problem) *problem = reason;
        return std::nullopt;
    };
    if (bytes.size() < kEapolKeyMinimumLength) return fail(Problem::TooShort);
    if (bytes[eapol_layout::kType] != EAPOL_TYPE_KEY) return fail(Problem::NotKey);
    const std::size_t body = LoadBe16(bytes.data() + eapol_layout::kBodyLength);
    if (body > bytes.size() - kEapolHeaderLength || body < kEapolKeyDescriptorLength) {
        return fail(Problem::BadBodyLength);
    }
    const std::uint8_t type = bytes[eapol_layout::kDescriptorType];
    if (type != EAPOL_KEY_TYPE_RSN && type != EAPOL_KEY_TYPE_WPA) {
        return fail(Problem::UnknownDescriptor);
    }
    if (problem) *problem = Problem::None;
    return EapolKeyView(bytes.first(kEapolHeaderLength + body));
}

std::uint16_t EapolKeyView::BodyLength() const {
    return LoadBe16(frame_.data() + eapol_layout::kBodyLength);
}

std::uint16_t EapolKeyView::KeyInformation() const {
    return LoadBe16(frame_.data() + eapol_layout::kKeyInformation);
}

std::uint16_t EapolKeyView::KeyLength() const {
    return LoadBe16(frame_.data() + eapol_layout::kKeyLength);
}

std::uint16_t EapolKeyView::KeyDataLength() const {
    return LoadBe16(frame_.data() + eapol_layout::kKeyDataLength);
}

std::vector<std::uint8_t> BuildEapolKey(const EapolKeyFields& fields,
                                        std::span<const std::uint8_t> keyData) {
    constexpr std::size_t kLargestKeyData = 0xFFFF - kEapolKeyDescriptorLength;
    if (keyData.size() > kLargestKeyData) return {};
    std::vector<std::uint8_t> frame(kEapolKeyMinimumLength + keyData.size(), 0);
    std::uint8_t* p = frame.data();
    p[eapol_layout::kVersion] = EAPOL_VERSION_SENT;
    p[eapol_layout::kType] = EAPOL_TYPE_KEY;
    StoreBe16(p + eapol_layout::kBodyLength,
              static_cast<std::uint16_t>(kEapolKeyDescriptorLength + keyData.size()));
    p[eapol_layout::kDescriptorType] = fields.descriptorType;
    StoreBe16(p + eapol_layout::kKeyInformation, fields.keyInformation);
    StoreBe16(p + eapol_layout::kKeyLength, fields.keyLength);
    std::copy(fields.replayCounter.begin(), fields.replayCounter.end(),
              p + eapol_layout::kReplayCounter);
    std::copy(fields.nonce.begin(), fields.nonce.end(), p + eapol_layout::kKeyNonce);
    StoreBe16(p + eapol_layout::kKeyDataLength, static_cast<std::uint16_t>(keyData.size()));
    std::copy(keyData.begin(), keyData.end(), p + eapol_layout::kKeyData);
    return frame;
}

void PrintEapolKey(const EapolKeyView& key) {
    const std::uint16_t info = key.KeyInformation();
    WpaPrintf(WPA_MSG_DEBUG, "  EAPOL-Key type=%d", key.DescriptorType());
    WpaPrintf(WPA_MSG_DEBUG, "  key_info 0x%x (ver=%d keyidx=%d rsvd=%d %s%s%s%s%s%s%s%s)", info,
              info & KEY_INFO_VERSION_MASK, (info & KEY_INFO_INDEX_MASK) >> KEY_INFO_INDEX_SHIFT,
              (info >> 13) & 7, (info & KEY_INFO_PAIRWISE) ? "Pairwise" : "Group",
              (info & KEY_INFO_INSTALL) ? " Install" : "", (info & KEY_INFO_ACK) ? " Ack" : "",
              (info & KEY_INFO_MIC) ? " MIC" : "", (info & KEY_INFO_SECURE) ? " Secure" : "",
              (info & KEY_INFO_ERROR) ? " Error" : "", (info & KEY_INFO_REQUEST) ? " Request" : "",
              (info & KEY_INFO_ENCRYPTED_DATA) ? " Encr" : "");
    WpaPrintf(WPA_MSG_DEBUG, "  key_length=%u key_data_length=%u", key.KeyLength(),
              key.KeyDataLength());
    const std::span<const std::uint8_t> frame = key.Frame();
    WpaHexdump(WPA_MSG_DEBUG, "  replay_counter", key.ReplayCounter());
    WpaHexdump(WPA_MSG_DEBUG, "  key_nonce", key.Nonce());
    WpaHexdump(WPA_MSG_DEBUG, "  key_iv", key.Iv());
    WpaHexdump(WPA_MSG_DEBUG, "  key_rsc", key.Rsc());
    WpaHexdump(WPA_MSG_DEBUG, "  key_id (reserved)", frame.subspan(eapol_layout::kKeyId, 8));
    WpaHexdump(WPA_MSG_DEBUG, "  key_mic", key.Mic());
}

}  // namespace tarvik
