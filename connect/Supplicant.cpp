// The supplicant's data and its one entry point: the checks every received
// frame passes, in order, before a message handler sees it.
#include "connect/Supplicant.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "connect/Crypto.h"
#include "connect/EapolMic.h"
#include "connect/SecurityElement.h"
#include "connect/SupplicantReceived.h"
#include "connect/SupplicantState.h"
#include "connect/WpaDebug.h"

namespace tarvik {

namespace {

constexpr std::size_t kRc4Skip = 256;

int KeepElement(std::vector<std::uint8_t>& slot, std::span<const std::uint8_t> element) {
    if (element.size() > kSupplicantElementLimit) return -1;
    slot.assign(element.begin(), element.end());
    return 0;
}

}  // namespace

CSupplicant::CSupplicant(SupplicantCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

CSupplicant::~CSupplicant() {
    OPENSSL_cleanse(pmk_.data(), pmk_.size());
    OPENSSL_cleanse(ptk_.bytes.data(), ptk_.bytes.size());
    OPENSSL_cleanse(tptk_.bytes.data(), tptk_.bytes.size());
    OPENSSL_cleanse(installedPtk_.data(), installedPtk_.size());
    OPENSSL_cleanse(installedGtk_.data(), installedGtk_.size());
}

void CSupplicant::SetPmk(std::span<const std::uint8_t, kPmkLength> pmk) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::copy(pmk.begin(), pmk.end(), pmk_.begin());
    pmkLength_ = kPmkLength;
    ptkSet_ = false;
    tptkSet_ = false;
}

void CSupplicant::SetOwnAddress(const ndis::MacAddress& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    ownAddress_ = address;
}

void CSupplicant::SetProtocol(std::uint32_t protocol) {
    std::lock_guard<std::mutex> lock(mutex_);
    protocol_ = protocol;
}

void CSupplicant::SetCiphers(std::uint32_t pairwiseCipher, std::uint32_t groupCipher) {
    std::lock_guard<std::mutex> lock(mutex_);
    pairwiseCipher_ = pairwiseCipher;
    groupCipher_ = groupCipher;
}

void CSupplicant::SetKeyManagement(std::uint32_t keyManagement) {
    std::lock_guard<std::mutex> lock(mutex_);
    keyManagement_ = keyManagement;
}

int CSupplicant::SetOwnElement(std::span<const std::uint8_t> element) {
    std::lock_guard<std::mutex> lock(mutex_);
    return KeepElement(ownElement_, element);
}

int CSupplicant::SetApWpaElement(std::span<const std::uint8_t> element) {
    std::lock_guard<std::mutex> lock(mutex_);
    return KeepElement(apWpaElement_, element);
}

int CSupplicant::SetApRsnElement(std::span<const std::uint8_t> element) {
    std::lock_guard<std::mutex> lock(mutex_);
    return KeepElement(apRsnElement_, element);
}

void CSupplicant::ClearReplayCounter() {
    std::lock_guard<std::mutex> lock(mutex_);
    replayCounterSet_ = false;
}

bool CSupplicant::HasPtk() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ptkSet_;
}

int CSupplicant::ReceiveEapol(const ndis::MacAddress& source, std::span<const std::uint8_t> frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    return Receive(source, frame);
}

int CSupplicant::Receive(const ndis::MacAddress& source, std::span<const std::uint8_t> bytes) {
    Received frame;
    frame.source = source;
    if (!TakeFrame(bytes, frame) || CheckKeyFrame(frame) != 0) return -1;
    if ((frame.Info() & KEY_INFO_MIC) && !VerifyMic(frame.Key())) return -1;
    if (!frame.Key().KeyDataFits()) {
        WpaPrintf(WPA_MSG_WARNING,
                  "WPA: Truncated EAPOL-Key packet: key_data_length=%lu > extra_len=%d",
                  static_cast<unsigned long>(frame.Key().KeyDataLength()),
                  static_cast<int>(frame.Key().KeyDataRoom()));
        return -1;
    }
    const auto keyData = frame.Key().KeyData();
    frame.keyData.assign(keyData.begin(), keyData.end());
    if (frame.Rsn() && (frame.Info() & KEY_INFO_ENCRYPTED_DATA) && !DecryptKeyData(frame)) {
        return -1;
    }
    return Dispatch(frame);
}

// A private copy of an EAPOL-Key frame of sound size, cut to its body.
bool CSupplicant::TakeFrame(std::span<const std::uint8_t> bytes, Received& frame) const {
    if (bytes.size() < kEapolKeyMinimumLength) {
        WpaPrintf(WPA_MSG_DEBUG,
                  "WPA: EAPOL frame too short to be a WPA EAPOL-Key (len %lu, expecting at least "
                  "%lu)",
                  static_cast<unsigned long>(bytes.size()),
                  static_cast<unsigned long>(kEapolKeyMinimumLength));
        return false;
    }
    frame.copy.assign(bytes.begin(), bytes.end());
    const std::size_t bodyLength =
        (bytes[eapol_layout::kBodyLength] << 8) | bytes[eapol_layout::kBodyLength + 1];
    WpaPrintf(WPA_MSG_DEBUG, "IEEE 802.1X RX: version=%d type=%d length=%lu",
              bytes[eapol_layout::kVersion], bytes[eapol_layout::kType],
              static_cast<unsigned long>(bodyLength));
    EapolKeyView::Problem problem = EapolKeyView::Problem::None;
    frame.view = EapolKeyView::Parse(frame.copy, &problem);
    if (problem == EapolKeyView::Problem::NotKey) {
        WpaPrintf(WPA_MSG_DEBUG, "WPA: EAPOL frame (type %u) discarded, not a Key frame",
                  bytes[eapol_layout::kType]);
    } else if (problem == EapolKeyView::Problem::UnknownDescriptor) {
        WpaPrintf(WPA_MSG_DEBUG, "WPA: EAPOL-Key type (%d) unknown, discarded",
                  bytes[eapol_layout::kDescriptorType]);
    } else if (problem != EapolKeyView::Problem::None) {
        WpaPrintf(WPA_MSG_DEBUG, "WPA: EAPOL frame payload size %lu invalid (frame size %lu)",
                  static_cast<unsigned long>(bodyLength), static_cast<unsigned long>(bytes.size()));
    }
    if (!frame.view) return false;
    PrintEapolKey(frame.Key());
    if (bytes.size() > frame.Key().Frame().size()) {
        WpaPrintf(WPA_MSG_DEBUG, "WPA: ignoring %lu bytes after the IEEE 802.1X data",
                  static_cast<unsigned long>(bytes.size() - frame.Key().Frame().size()));
    }
    return true;
}

int CSupplicant::Dispatch(const Received& frame) {
    if (!(frame.Info() & KEY_INFO_PAIRWISE)) {
        if (!(frame.Info() & KEY_INFO_MIC)) {
            WpaPrintf(WPA_MSG_WARNING, "WPA: EAPOL-Key (Group) without Mic bit - dropped");
            return -1;
        }
        return ProcessGroupMessage1(frame);
    }
    if (frame.Info() & KEY_INFO_INDEX_MASK) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: Ignored EAPOL-Key (Pairwise) with non-zero key index");
        return -1;
    }
    return (frame.Info() & KEY_INFO_MIC) ? ProcessMessage3(frame) : ProcessMessage1(frame);
}

// The descriptor version, Ack and Request bits, and the replay counter.
int CSupplicant::CheckKeyFrame(const Received& frame) const {
    const int version = frame.Version();
    if (version != KEY_INFO_VERSION_MD5_RC4 && version != KEY_INFO_VERSION_SHA1_AES) {
        WpaPrintf(WPA_MSG_INFO, "WPA: Unsupported EAPOL-Key descriptor version %d.", version);
        return -1;
    }
    if (pairwiseCipher_ == CIPHER_CCMP && version != KEY_INFO_VERSION_SHA1_AES) {
        WpaPrintf(WPA_MSG_INFO,
                  "WPA: CCMP is used, but EAPOL-Key descriptor version (%d) is not 2.", version);
        return -1;
    }
    if (!(frame.Info() & KEY_INFO_ACK)) {
        WpaPrintf(WPA_MSG_INFO, "WPA: No Ack bit in key_info");
        return -1;
    }
    if (frame.Info() & KEY_INFO_REQUEST) {
        WpaPrintf(WPA_MSG_INFO, "WPA: EAPOL-Key with Request bit - dropped");
        return -1;
    }
    if (!ReplayCounterIncreased(frame.Key())) {
        WpaHexdump(WPA_MSG_DEBUG, "WPA: last accepted replay counter", replayCounter_);
        WpaPrintf(WPA_MSG_WARNING,
                  "WPA: EAPOL-Key replay counter did not increase - dropping packet");
        return -1;
    }
    return 0;
}

// IEEE 802.11-2016 12.7.2: once a frame's MIC was accepted, only frames with
// a greater replay counter are taken (both are 64-bit big-endian numbers).
bool CSupplicant::ReplayCounterIncreased(const EapolKeyView& key) const {
    if (!replayCounterSet_) return true;
    const auto counter = key.ReplayCounter();
    return std::lexicographical_compare(replayCounter_.begin(), replayCounter_.end(),
                                        counter.begin(), counter.end());
}

bool CSupplicant::VerifyMic(const EapolKeyView& key) {
    const int version = key.DescriptorVersion();
    bool accepted = false;
    if (tptkSet_) {
        if (EapolMicMatches(version, tptk_.Kck(), key)) {
            tptkSet_ = false;
            ptk_ = tptk_;
            ptkSet_ = true;
            accepted = true;
        } else {
            WpaPrintf(WPA_MSG_WARNING,
                      "WPA: Invalid EAPOL-Key MIC when using TPTK - ignoring TPTK");
        }
    }
    if (!accepted) {
        if (!ptkSet_) {
            WpaPrintf(WPA_MSG_WARNING, "WPA: Could not verify EAPOL-Key MIC - dropping packet");
            return false;
        }
        if (!EapolMicMatches(version, ptk_.Kck(), key)) {
            WpaPrintf(WPA_MSG_WARNING, "WPA: Invalid EAPOL-Key MIC - dropping packet");
            return false;
        }
    }
    const auto counter = key.ReplayCounter();
    std::copy(counter.begin(), counter.end(), replayCounter_.begin());
    replayCounterSet_ = true;
    return true;
}

// RSN key data: RC4 (key IV || KEK, 256 bytes dropped) for version 1, AES key
// unwrap with the KEK for version 2.
bool CSupplicant::DecryptKeyData(Received& frame) const {
    WpaHexdump(WPA_MSG_DEBUG, "RSN: encrypted key data", frame.keyData);
    if (!ptkSet_) {
        WpaPrintf(WPA_MSG_WARNING, "WPA: PTK not available, cannot decrypt EAPOL-Key key data.");
        return false;
    }
    if (frame.Version() == KEY_INFO_VERSION_MD5_RC4) {
        if (!Rc4WithKek(frame.Key(), frame.keyData)) return false;
    } else {
        const std::size_t length = frame.keyData.size();
        if (length % kAesWrapBlockLength != 0) {
            WpaPrintf(WPA_MSG_WARNING, "WPA: Unsupported AES-WRAP len %d",
                      static_cast<int>(length));
            return false;
        }
        // The unwrap takes at least two blocks of plaintext.
        const std::size_t blocks = length / kAesWrapBlockLength;
        std::vector<std::uint8_t> plain(blocks > 0 ? length - kAesWrapBlockLength : 0);
        if (blocks < 3 ||
            AesUnwrap(ptk_.Kek().data(), blocks - 1, frame.keyData.data(), plain.data()) != 0) {
            WpaPrintf(WPA_MSG_WARNING,
                      "WPA: AES unwrap failed - could not decrypt EAPOL-Key key data");
            return false;
        }
        frame.keyData = std::move(plain);
    }
    WpaHexdumpKey(WPA_MSG_DEBUG, "WPA: decrypted EAPOL-Key key data", frame.keyData);
    return true;
}

// Answers follow our protocol, whatever descriptor the authenticator used.
std::uint8_t CSupplicant::ReplyDescriptorType() const {
    return protocol_ == SECURITY_PROTOCOL_RSN ? EAPOL_KEY_TYPE_RSN : EAPOL_KEY_TYPE_WPA;
}

// RC4 keyed with the frame's key IV and the KEK, 256 keystream bytes dropped.
bool CSupplicant::Rc4WithKek(const EapolKeyView& key, std::span<std::uint8_t> data) const {
    std::array<std::uint8_t, 32> rc4Key{};
    std::copy(key.Iv().begin(), key.Iv().end(), rc4Key.begin());
    std::copy(ptk_.Kek().begin(), ptk_.Kek().end(), rc4Key.begin() + key.Iv().size());
    const int result = Rc4Skip(rc4Key.data(), rc4Key.size(), kRc4Skip, data.data(), data.size());
    OPENSSL_cleanse(rc4Key.data(), rc4Key.size());
    return result == 0;
}

// Key length of an answer: 0 for RSN, the received one for WPA.
std::uint16_t CSupplicant::ReplyKeyLength(const EapolKeyView& key) const {
    return protocol_ == SECURITY_PROTOCOL_RSN ? 0 : key.KeyLength();
}

// Builds, signs with `kck` and sends one answer to the frame's source.
int CSupplicant::SendFrame(const Received& frame, const EapolKeyFields& fields,
                           std::span<const std::uint8_t> keyData,
                           std::span<const std::uint8_t, 16> kck) {
    std::vector<std::uint8_t> reply = BuildEapolKey(fields, keyData);
    if (reply.empty() || WriteEapolMic(frame.Version(), kck, reply) != 0) return -1;
    WpaHexdump(WPA_MSG_DUMP, "WPA: TX EAPOL-Key", reply);
    if (!callbacks_.sendFrame) return -1;
    return callbacks_.sendFrame(frame.source, ETHER_TYPE_EAPOL, reply) < 0 ? -1 : 0;
}

void CSupplicant::SetState(int state) {
    if (callbacks_.setState) callbacks_.setState(state);
}

int CSupplicant::State() const {
    return callbacks_.getState ? callbacks_.getState() : 0;
}

// Pairwise keys are always in use, so a group key is never the transmit key.
void CSupplicant::IgnoreTxBit(bool& transmit) const {
    if (!transmit) return;
    WpaPrintf(WPA_MSG_INFO, "WPA: Tx bit set for GTK, but pairwise keys are used - ignore Tx bit");
    transmit = false;
}

void CSupplicant::KeysComplete() {
    if (callbacks_.cancelAuthTimeout) callbacks_.cancelAuthTimeout();
    SetState(SUPP_STATE_COMPLETE);
}

}  // namespace tarvik
