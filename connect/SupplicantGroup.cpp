// The group key: group message 1/2 in (RSN: a GTK element in wrapped key
// data; WPA: the key data itself, RC4- or AES-wrapped), 2/2 out, the GTK that
// comes with RSN message 3/4, and the group key's installation.
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

constexpr std::size_t kLongestGtk = 32;
constexpr std::size_t kGtkHeaderLength = 2;  // key id byte, reserved byte
constexpr std::uint8_t kGtkIndexMask = 0x03;
constexpr std::uint8_t kGtkTransmitBit = 0x04;
constexpr std::size_t kTkipMicKeys = 16;
constexpr std::size_t kMicKeyLength = 8;

}  // namespace

int CSupplicant::ProcessGroupMessage1(const Received& frame) {
    const bool rekey = State() == SUPP_STATE_COMPLETE;
    SetState(SUPP_STATE_GROUP_1);
    const auto& s = frame.source;
    WpaPrintf(WPA_MSG_DEBUG,
              "WPA: RX message 1 of Group Key Handshake from %02x:%02x:%02x:%02x:%02x:%02x "
              "(ver=%d)",
              s[0], s[1], s[2], s[3], s[4], s[5], frame.Version());
    std::optional<GroupKey> gtk =
        protocol_ == SECURITY_PROTOCOL_RSN ? RsnGroupKey(frame) : WpaGroupKey(frame);
    if (!gtk) return -1;
    const int installed = InstallGtk(std::move(*gtk), frame.Key().Rsc());
    if (installed != 0 || SendGroupMessage2(frame) != 0) return -1;
    if (rekey) {
        SetState(SUPP_STATE_COMPLETE);
    } else {
        KeysComplete();
    }
    return 0;
}

std::optional<CSupplicant::GroupKey> CSupplicant::RsnGroupKey(const Received& frame) {
    WpaHexdump(WPA_MSG_DEBUG, "RSN: msg 1/2 key data", frame.keyData);
    KeyDataElements elements;
    if (ParseKeyData(frame.keyData, elements) != 0) return std::nullopt;
    if (elements.gtk.empty()) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: No GTK IE in Group Key msg 1/2");
        return std::nullopt;
    }
    if (!(frame.Info() & KEY_INFO_ENCRYPTED_DATA)) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: GTK IE in unencrypted key data");
        return std::nullopt;
    }
    const std::size_t keyLength = elements.gtk.size() - kGtkHeaderLength;
    const auto cipher = CheckGroupCipher(keyLength, keyLength);
    if (!cipher) return std::nullopt;
    WpaHexdumpKey(WPA_MSG_DEBUG, "RSN: received GTK in group key handshake", elements.gtk);
    GroupKey gtk;
    gtk.cipher = *cipher;
    gtk.keyIndex = elements.gtk[0] & kGtkIndexMask;
    gtk.transmit = (elements.gtk[0] & kGtkTransmitBit) != 0;
    IgnoreTxBit(gtk.transmit);
    if (keyLength > kLongestGtk) {
        WpaPrintf(WPA_MSG_WARNING, "RSN: Too long GTK in GTK IE (len=%lu)",
                  static_cast<unsigned long>(keyLength));
        return std::nullopt;
    }
    gtk.key.assign(elements.gtk.begin() + kGtkHeaderLength, elements.gtk.end());
    return gtk;
}

std::optional<CSupplicant::GroupKey> CSupplicant::WpaGroupKey(const Received& frame) {
    const EapolKeyView& key = frame.Key();
    const std::size_t dataLength = frame.keyData.size();
    const std::size_t wrapOverhead =
        frame.Version() == KEY_INFO_VERSION_SHA1_AES ? kAesWrapBlockLength : 0;
    const std::size_t largest = dataLength >= wrapOverhead ? dataLength - wrapOverhead : 0;
    if (dataLength > key.KeyDataRoom()) {
        WpaPrintf(WPA_MSG_WARNING,
                  "WPA: Truncated EAPOL-Key packet: key_data_length=%lu > extra_len=%d",
                  static_cast<unsigned long>(dataLength), static_cast<int>(key.KeyDataRoom()));
        return std::nullopt;
    }
    const auto cipher = CheckGroupCipher(key.KeyLength(), largest);
    if (!cipher) return std::nullopt;
    GroupKey gtk;
    gtk.cipher = *cipher;
    gtk.keyIndex = (frame.Info() & KEY_INFO_INDEX_MASK) >> KEY_INFO_INDEX_SHIFT;
    std::vector<std::uint8_t> plain(frame.keyData);
    if (!DecryptWpaGroupKey(frame, largest, plain)) {
        OPENSSL_cleanse(plain.data(), plain.size());
        return std::nullopt;
    }
    gtk.key.assign(plain.begin(), plain.begin() + key.KeyLength());
    OPENSSL_cleanse(plain.data(), plain.size());
    gtk.transmit = (frame.Info() & KEY_INFO_INSTALL) != 0;
    IgnoreTxBit(gtk.transmit);
    return gtk;
}

// WPA key data is the group key itself: RC4 for version 1, AES key wrap for 2.
bool CSupplicant::DecryptWpaGroupKey(const Received& frame, std::size_t largest,
                                     std::vector<std::uint8_t>& plain) const {
    const std::size_t dataLength = frame.keyData.size();
    if (frame.Version() != KEY_INFO_VERSION_SHA1_AES) {
        if (dataLength > kLongestGtk) {
            WpaPrintf(WPA_MSG_WARNING, "WPA: RC4 key data too long (%lu)",
                      static_cast<unsigned long>(dataLength));
            return false;
        }
        return Rc4WithKek(frame.Key(), plain);
    }
    if (dataLength % kAesWrapBlockLength != 0) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Unsupported AES-WRAP len %lu",
                  static_cast<unsigned long>(dataLength));
        return false;
    }
    if (largest > kLongestGtk) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: AES-WRAP key data too long (keydatalen=%lu maxkeylen=%lu)",
                  static_cast<unsigned long>(dataLength), static_cast<unsigned long>(largest));
        return false;
    }
    // The key length check leaves at least three blocks.
    if (AesUnwrap(ptk_.Kek().data(), dataLength / kAesWrapBlockLength - 1, frame.keyData.data(),
                  plain.data()) != 0) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: AES unwrap failed - could not decrypt GTK");
        return false;
    }
    return true;
}

int CSupplicant::SendGroupMessage2(const Received& frame) {
    SetState(SUPP_STATE_GROUP_2);
    const EapolKeyView& key = frame.Key();
    EapolKeyFields fields;
    fields.descriptorType = ReplyDescriptorType();
    fields.keyInformation = static_cast<std::uint16_t>(
        KEY_INFO_MIC | KEY_INFO_SECURE | frame.Version() | (frame.Info() & KEY_INFO_INDEX_MASK));
    fields.keyLength = ReplyKeyLength(key);
    std::copy(key.ReplayCounter().begin(), key.ReplayCounter().end(), fields.replayCounter.begin());
    WpaPrintf(WPA_MSG_DEBUG, "WPA: Sending EAPOL-Key 2/2");
    if (SendFrame(frame, fields, {}, ptk_.Kck()) != 0) return -1;
    SetState(SUPP_STATE_COMPLETE);
    return 0;
}

// CCMP takes a 16-byte key, TKIP a 32-byte one; both a 6-byte RSC.
std::optional<CSupplicant::GroupCipher> CSupplicant::CheckGroupCipher(std::size_t keyLength,
                                                                      std::size_t largest) const {
    GroupCipher cipher;
    std::size_t required = 0;
    if (groupCipher_ == CIPHER_CCMP) {
        required = 16;
        cipher = {6, KEY_ALG_CCMP};
    } else if (groupCipher_ == CIPHER_TKIP) {
        required = 32;
        cipher = {6, KEY_ALG_TKIP};
    } else {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Unsupported Group Cipher %u", groupCipher_);
        return std::nullopt;
    }
    if (keyLength != required || largest < keyLength) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Unsupported %s Group Cipher key length %d (%d).",
                  CipherName(groupCipher_), static_cast<int>(keyLength), static_cast<int>(largest));
        return std::nullopt;
    }
    return cipher;
}

int CSupplicant::InstallGtk(GroupKey gtk, std::span<const std::uint8_t, 8> rsc) {
    WpaHexdumpKey(WPA_MSG_DEBUG, "WPA: Group Key", gtk.key);
    WpaPrintf(WPA_MSG_DEBUG, "WPA: Installing GTK to the driver (keyidx=%d tx=%d).", gtk.keyIndex,
              gtk.transmit ? 1 : 0);
    const auto sequence = rsc.first(gtk.cipher.rscLength);
    WpaHexdump(WPA_MSG_DEBUG, "WPA: RSC", sequence);
    if (gtk.cipher.algorithm == KEY_ALG_TKIP) {
        // Same MIC key order as the pairwise key.
        std::swap_ranges(gtk.key.begin() + kTkipMicKeys,
                         gtk.key.begin() + kTkipMicKeys + kMicKeyLength,
                         gtk.key.begin() + kTkipMicKeys + kMicKeyLength);
    }
    int result = 0;
    if (gtk.key == installedGtk_) {
        // Reinstalling would reset the key's receive counters.
        WpaPrintf(WPA_MSG_DEBUG, "WPA: Not reinstalling the GTK already in use.");
    } else if (!callbacks_.setKey ||
               callbacks_.setKey(gtk.cipher.algorithm, kBroadcastAddress, gtk.keyIndex,
                                 gtk.transmit, sequence, gtk.key) < 0) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Failed to set GTK to the driver.");
        result = -1;
    } else {
        installedGtk_ = gtk.key;
    }
    OPENSSL_cleanse(gtk.key.data(), gtk.key.size());
    return result;
}

int CSupplicant::GtkFromPairwise(const Received& frame, std::span<const std::uint8_t> gtkElement) {
    WpaHexdumpKey(WPA_MSG_DEBUG, "RSN: received GTK in pairwise handshake", gtkElement);
    if (gtkElement.size() < kGtkHeaderLength ||
        gtkElement.size() > kGtkHeaderLength + kLongestGtk) {
        return -1;
    }
    GroupKey gtk;
    gtk.keyIndex = gtkElement[0] & kGtkIndexMask;
    gtk.transmit = (gtkElement[0] & kGtkTransmitBit) != 0;
    IgnoreTxBit(gtk.transmit);
    gtk.key.assign(gtkElement.begin() + kGtkHeaderLength, gtkElement.end());
    const auto cipher = CheckGroupCipher(gtk.key.size(), gtk.key.size());
    if (cipher) gtk.cipher = *cipher;
    if (!cipher || InstallGtk(std::move(gtk), frame.Key().Rsc()) != 0) {
        WpaPrintf(WPA_MSG_WARNING, "RSN: Failed to install GTK");
        return -1;
    }
    KeysComplete();
    return 0;
}

}  // namespace tarvik
