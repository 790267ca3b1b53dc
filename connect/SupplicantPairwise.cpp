// The 4-way handshake: messages 1/4 and 3/4 in, 2/4 and 4/4 out, and the
// pairwise key's installation.
#include <openssl/crypto.h>

#include <algorithm>

#include "connect/Crypto.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "connect/SupplicantReceived.h"
#include "connect/SupplicantState.h"
#include "connect/WpaDebug.h"

namespace tarvik {

namespace {

constexpr std::size_t kRscLength = 6;
constexpr std::size_t kTkipKeyLength = 32;
constexpr std::size_t kCcmpKeyLength = 16;
constexpr std::size_t kMicKeyOffset = 48;
constexpr std::size_t kMicKeyLength = 8;

std::array<std::uint8_t, kEapolReplayCounterLength> CounterOf(const EapolKeyView& key) {
    std::array<std::uint8_t, kEapolReplayCounterLength> counter{};
    std::copy(key.ReplayCounter().begin(), key.ReplayCounter().end(), counter.begin());
    return counter;
}

}  // namespace

int CSupplicant::ProcessMessage1(const Received& frame) {
    SetState(SUPP_STATE_PAIRWISE_1);
    const auto& s = frame.source;
    WpaPrintf(WPA_MSG_DEBUG,
              "WPA: RX message 1 of 4-Way Handshake from %02x:%02x:%02x:%02x:%02x:%02x (ver=%d)",
              s[0], s[1], s[2], s[3], s[4], s[5], frame.Version());
    if (protocol_ == SECURITY_PROTOCOL_RSN) {
        // Only looked at for the debug output: a PMKID is not used here.
        WpaHexdump(WPA_MSG_DEBUG, "RSN: msg 1/4 key data", frame.keyData);
        KeyDataElements elements;
        if (ParseKeyData(frame.keyData, elements) == 0 && !elements.pmkid.empty()) {
            WpaHexdump(WPA_MSG_DEBUG, "RSN: PMKID from Authenticator", elements.pmkid);
        }
    }
    if (SendMessage2(frame) != 0) return -1;
    std::copy(frame.Key().Nonce().begin(), frame.Key().Nonce().end(), anonce_.begin());
    return 0;
}

int CSupplicant::SendMessage2(const Received& frame) {
    SetState(SUPP_STATE_PAIRWISE_2);
    if (ownElement_.empty()) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: No assoc_wpa_ie set - cannot generate msg 2/4");
        return -1;
    }
    WpaHexdump(WPA_MSG_DEBUG, "WPA: WPA IE for msg 2/4", ownElement_);
    if (renewSnonce_) {
        const int drawn = callbacks_.randomBytes ? callbacks_.randomBytes(snonce_)
                                                 : GetRandomBytes(snonce_.data(), snonce_.size());
        if (drawn != 0) {
            WpaPrintf(WPA_MSG_WARNING, "WPA: Failed to get random data for SNonce");
            return -1;
        }
        renewSnonce_ = false;
        WpaHexdump(WPA_MSG_DEBUG, "WPA: Renewed SNonce", snonce_);
    }
    const EapolKeyView& key = frame.Key();
    PairwiseKey derived;
    if (DerivePairwiseKey(pmk_, ownAddress_, frame.source, snonce_, key.Nonce(), derived) != 0) {
        return -1;
    }
    WpaHexdumpKey(WPA_MSG_DEBUG, "WPA: PMK", pmk_);
    WpaHexdumpKey(WPA_MSG_DEBUG, "WPA: PTK", derived.bytes);
    // The authenticator's transmit MIC key is our receive key and the other
    // way round: keep them in the order the adapter wants them.
    std::swap_ranges(derived.bytes.begin() + kMicKeyOffset,
                     derived.bytes.begin() + kMicKeyOffset + kMicKeyLength,
                     derived.bytes.begin() + kMicKeyOffset + kMicKeyLength);
    tptk_ = derived;
    tptkSet_ = true;
    OPENSSL_cleanse(derived.bytes.data(), derived.bytes.size());

    EapolKeyFields fields;
    fields.descriptorType = ReplyDescriptorType();
    fields.keyInformation =
        static_cast<std::uint16_t>(frame.Version() | KEY_INFO_PAIRWISE | KEY_INFO_MIC);
    fields.keyLength = ReplyKeyLength(key);
    fields.replayCounter = CounterOf(key);
    fields.nonce = snonce_;
    WpaPrintf(WPA_MSG_DEBUG, "WPA: Sending EAPOL-Key 2/4");
    return SendFrame(frame, fields, ownElement_, tptk_.Kck());
}

int CSupplicant::ProcessMessage3(const Received& frame) {
    SetState(SUPP_STATE_PAIRWISE_3);
    const auto& s = frame.source;
    WpaPrintf(WPA_MSG_DEBUG,
              "WPA: RX message 3 of 4-Way Handshake from %02x:%02x:%02x:%02x:%02x:%02x (ver=%d)",
              s[0], s[1], s[2], s[3], s[4], s[5], frame.Version());
    WpaHexdump(WPA_MSG_DEBUG, "WPA: IE KeyData", frame.keyData);
    KeyDataElements elements;
    if (ParseKeyData(frame.keyData, elements) != 0) return -1;
    if (!elements.gtk.empty() && !(frame.Info() & KEY_INFO_ENCRYPTED_DATA)) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: GTK IE in unencrypted key data");
        return -1;
    }
    const EapolKeyView& key = frame.Key();
    if (!std::equal(anonce_.begin(), anonce_.end(), key.Nonce().begin())) {
        WpaPrintf(WPA_MSG_WARNING,
                  "WPA: ANonce from message 1 of 4-Way Handshake differs from 3 of 4-Way "
                  "Handshake - drop packet (src=%02x:%02x:%02x:%02x:%02x:%02x)",
                  s[0], s[1], s[2], s[3], s[4], s[5]);
        return -1;
    }
    const bool tkip = pairwiseCipher_ == CIPHER_TKIP;
    if (!tkip && pairwiseCipher_ != CIPHER_CCMP) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Unsupported pairwise cipher %u", pairwiseCipher_);
        return -1;
    }
    if (key.KeyLength() != (tkip ? kTkipKeyLength : kCcmpKeyLength)) {
        WpaPrintf(WPA_MSG_WARNING,
                  "WPA: Invalid %s key length %d (src=%02x:%02x:%02x:%02x:%02x:%02x)",
                  tkip ? "TKIP" : "CCMP", key.KeyLength(), s[0], s[1], s[2], s[3], s[4], s[5]);
        return -1;
    }
    if (SendMessage4(frame) != 0) return -1;
    renewSnonce_ = true;
    if (frame.Info() & KEY_INFO_INSTALL) InstallPtk(frame);
    SetState(SUPP_STATE_GROUP_1);
    if (elements.gtk.empty()) return 0;
    if (GtkFromPairwise(frame, elements.gtk) != 0) {
        WpaPrintf(WPA_MSG_WARNING, "RSN: Failed to configure GTK");
        return -1;
    }
    return 0;
}

int CSupplicant::SendMessage4(const Received& frame) {
    SetState(SUPP_STATE_PAIRWISE_4);
    const EapolKeyView& key = frame.Key();
    EapolKeyFields fields;
    fields.descriptorType = ReplyDescriptorType();
    fields.keyInformation = static_cast<std::uint16_t>(
        frame.Version() | KEY_INFO_PAIRWISE | KEY_INFO_MIC | (frame.Info() & KEY_INFO_SECURE));
    fields.keyLength = ReplyKeyLength(key);
    fields.replayCounter = CounterOf(key);
    WpaPrintf(WPA_MSG_DEBUG, "WPA: Sending EAPOL-Key 4/4");
    return SendFrame(frame, fields, {}, ptk_.Kck());
}

// TKIP: the 32 bytes from 32 (TK and both MIC keys); CCMP: the 16-byte TK.
// The RSC is the frame's first six bytes for WPA and zero for RSN.
void CSupplicant::InstallPtk(const Received& frame) {
    WpaPrintf(WPA_MSG_DEBUG, "WPA: Installing PTK to the driver.");
    const bool tkip = pairwiseCipher_ == CIPHER_TKIP;
    const auto key = ptk_.Temporal().first(tkip ? kTkipKeyLength : kCcmpKeyLength);
    std::array<std::uint8_t, kRscLength> rsc{};
    if (protocol_ != SECURITY_PROTOCOL_RSN) {
        std::copy_n(frame.Key().Rsc().begin(), rsc.size(), rsc.begin());
        WpaHexdump(WPA_MSG_DEBUG, "WPA: RSC", rsc);
    }
    // A key already in use is not installed again: that would reset its
    // receive counters (key reinstallation).
    if (std::equal(key.begin(), key.end(), installedPtk_.begin(), installedPtk_.end())) {
        WpaPrintf(WPA_MSG_DEBUG, "WPA: Not reinstalling the PTK already in use.");
        return;
    }
    const int result = callbacks_.setKey ? callbacks_.setKey(tkip ? KEY_ALG_TKIP : KEY_ALG_CCMP,
                                                             frame.source, 0, true, rsc, key)
                                         : -1;
    if (result < 0) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Failed to set PTK to the driver.");
        return;
    }
    installedPtk_.assign(key.begin(), key.end());
}

}  // namespace tarvik
