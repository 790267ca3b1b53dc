#include "driver/sim/ApAuthenticator.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <random>

#include "connect/Crypto.h"
#include "connect/EapolMic.h"

namespace tarvik::driver::sim {

namespace {

constexpr auto kRetryInterval = std::chrono::seconds(1);
// The access point speaks 802.1X-2004.
constexpr std::uint8_t kEapolVersion = 2;
constexpr std::size_t kRc4Skip = 256;
constexpr std::uint8_t kVendorElement = 0xDD;
// The GTK key data encapsulation: 00-0F-AC type 1.
constexpr std::uint8_t kGtkKdeHeader[] = {0x00, 0x0F, 0xAC, 0x01};

std::array<std::uint8_t, kEapolReplayCounterLength> CounterBytes(std::uint64_t counter) {
    std::array<std::uint8_t, kEapolReplayCounterLength> bytes{};
    for (std::size_t i = bytes.size(); i-- > 0; counter >>= 8) {
        bytes[i] = static_cast<std::uint8_t>(counter);
    }
    return bytes;
}

std::uint64_t CounterOf(std::span<const std::uint8_t, kEapolReplayCounterLength> bytes) {
    std::uint64_t counter = 0;
    for (std::uint8_t byte : bytes) counter = counter << 8 | byte;
    return counter;
}

}  // namespace

CApAuthenticator::CApAuthenticator(AuthenticatorSetup setup, SendFunction send)
    : setup_(std::move(setup)), send_(std::move(send)), nextCounter_(setup_.config.replayCounter) {
    gtk_ = setup_.config.gtk;
    if (gtk_.size() != GroupKeyLength()) NewGroupKey();
}

CApAuthenticator::~CApAuthenticator() {
    OPENSSL_cleanse(ptk_.bytes.data(), ptk_.bytes.size());
    OPENSSL_cleanse(setup_.pmk.data(), setup_.pmk.size());
    if (!gtk_.empty()) OPENSSL_cleanse(gtk_.data(), gtk_.size());
}

int CApAuthenticator::DescriptorVersion() const {
    // HMAC-MD5 and RC4 go with TKIP, HMAC-SHA1 and AES key wrap with CCMP.
    return setup_.pairwiseCipher == kCipherCcmp ? KEY_INFO_VERSION_SHA1_AES
                                                : KEY_INFO_VERSION_MD5_RC4;
}

std::uint8_t CApAuthenticator::DescriptorType() const {
    return setup_.rsn ? EAPOL_KEY_TYPE_RSN : EAPOL_KEY_TYPE_WPA;
}

std::uint16_t CApAuthenticator::PairwiseKeyLength() const {
    return setup_.pairwiseCipher == kCipherCcmp ? 16 : 32;
}

std::uint16_t CApAuthenticator::GroupKeyLength() const {
    return setup_.groupCipher == kCipherCcmp ? 16 : 32;
}

std::span<const std::uint8_t> CApAuthenticator::TemporalKey() const {
    if (!ptkSet_) return {};
    return ptk_.Temporal().first(PairwiseKeyLength());
}

void CApAuthenticator::FillRandom(std::span<std::uint8_t> bytes) {
    if (GetRandomBytes(bytes.data(), bytes.size()) == 0) return;
    std::random_device device;
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(device());
}

void CApAuthenticator::NewGroupKey() {
    gtk_.assign(GroupKeyLength(), 0);
    FillRandom(gtk_);
}

void CApAuthenticator::Begin(Step step, Clock::time_point now) {
    step_ = step;
    attempts_ = 0;
    stepFirstCounter_ = nextCounter_;
    Resend();
    retryAt_ = now + kRetryInterval;
}

void CApAuthenticator::Start(Clock::time_point now) {
    if (setup_.config.anonce.size() == anonce_.size()) {
        std::copy(setup_.config.anonce.begin(), setup_.config.anonce.end(), anonce_.begin());
    } else {
        FillRandom(anonce_);
    }
    ptkSet_ = false;
    authorized_ = false;
    Begin(Step::AwaitMessage2, now);
}

void CApAuthenticator::Resend() {
    ++attempts_;
    switch (step_) {
        case Step::AwaitMessage2:
            SendMessage1();
            break;
        case Step::AwaitMessage4:
            SendMessage3();
            break;
        case Step::AwaitGroup2:
            SendGroupMessage1();
            break;
        default:
            break;
    }
}

std::optional<Clock::time_point> CApAuthenticator::NextDeadline() const {
    if (retryAt_) return retryAt_;
    return rekeyAt_;
}

void CApAuthenticator::Run(Clock::time_point now) {
    if (retryAt_ && *retryAt_ <= now) {
        if (attempts_ >= kAttempts) {
            step_ = Step::Failed;
            retryAt_.reset();
            rekeyAt_.reset();
            authorized_ = false;
            return;
        }
        Resend();
        retryAt_ = now + kRetryInterval;
        return;
    }
    if (step_ == Step::Done && rekeyAt_ && *rekeyAt_ <= now) {
        rekeyAt_.reset();
        NewGroupKey();
        gtkIndex_ = gtkIndex_ == 1 ? 2 : 1;
        Begin(Step::AwaitGroup2, now);
    }
}

void CApAuthenticator::Send(EapolKeyFields fields, std::span<const std::uint8_t> keyData,
                            std::span<const std::uint8_t, 16> iv, bool withMic) {
    fields.descriptorType = DescriptorType();
    fields.replayCounter = CounterBytes(nextCounter_);
    lastCounter_ = nextCounter_++;
    std::vector<std::uint8_t> frame = BuildEapolKey(fields, keyData);
    if (frame.empty()) return;
    frame[eapol_layout::kVersion] = kEapolVersion;
    std::copy(iv.begin(), iv.end(), frame.begin() + eapol_layout::kKeyIv);
    if (withMic && WriteEapolMic(DescriptorVersion(), ptk_.Kck(), frame) != 0) return;
    send_(frame);
}

void CApAuthenticator::SendMessage1() {
    EapolKeyFields fields;
    fields.keyInformation =
        static_cast<std::uint16_t>(DescriptorVersion() | KEY_INFO_PAIRWISE | KEY_INFO_ACK);
    fields.keyLength = PairwiseKeyLength();
    fields.nonce = anonce_;
    Send(fields, {}, std::array<std::uint8_t, 16>{}, false);
}

std::vector<std::uint8_t> CApAuthenticator::GtkKde() const {
    // Sized first and filled by index: gcc 12 misreads appends to a short
    // vector as writes past its end at -O3.
    std::vector<std::uint8_t> kde(2 + std::size(kGtkKdeHeader) + 2 + gtk_.size(), 0);
    std::size_t at = 0;
    kde[at++] = kVendorElement;
    kde[at++] = static_cast<std::uint8_t>(6 + gtk_.size());
    for (const std::uint8_t byte : kGtkKdeHeader) kde[at++] = byte;
    kde[at++] = static_cast<std::uint8_t>(gtkIndex_ & 3);
    kde[at++] = 0;
    std::copy(gtk_.begin(), gtk_.end(), kde.begin() + static_cast<std::ptrdiff_t>(at));
    return kde;
}

std::vector<std::uint8_t> CApAuthenticator::EncryptKeyData(
    std::vector<std::uint8_t> plain, std::span<const std::uint8_t, 16> iv) const {
    if (DescriptorVersion() == KEY_INFO_VERSION_MD5_RC4) {
        // RC4 keyed with key IV || KEK, the first 256 bytes of keystream dropped.
        std::array<std::uint8_t, 16 + kKekLength> key{};
        std::copy(iv.begin(), iv.end(), key.begin());
        std::copy(ptk_.Kek().begin(), ptk_.Kek().end(), key.begin() + 16);
        const int result = Rc4Skip(key.data(), key.size(), kRc4Skip, plain.data(), plain.size());
        OPENSSL_cleanse(key.data(), key.size());
        if (result != 0) return {};
        return plain;
    }
    // Key wrap needs whole 8-byte blocks, at least two: pad with 0xDD, zeros.
    if (plain.size() % 8 != 0 || plain.size() < 16) {
        plain.push_back(kVendorElement);
        while (plain.size() % 8 != 0 || plain.size() < 16) plain.push_back(0);
    }
    std::vector<std::uint8_t> wrapped(plain.size() + 8);
    const int result = AesWrap(ptk_.Kek().data(), plain.size() / 8, plain.data(), wrapped.data());
    OPENSSL_cleanse(plain.data(), plain.size());
    if (result != 0) return {};
    return wrapped;
}

void CApAuthenticator::SendMessage3() {
    EapolKeyFields fields;
    std::uint16_t info = static_cast<std::uint16_t>(DescriptorVersion() | KEY_INFO_PAIRWISE |
                                                    KEY_INFO_INSTALL | KEY_INFO_ACK | KEY_INFO_MIC);
    fields.keyLength = PairwiseKeyLength();
    fields.nonce = anonce_;
    std::array<std::uint8_t, 16> iv{};
    std::vector<std::uint8_t> keyData = setup_.apElement;
    if (setup_.rsn) {
        // RSN hands the GTK over here, encrypted; WPA sends its element in clear.
        info |= KEY_INFO_SECURE | KEY_INFO_ENCRYPTED_DATA;
        const std::vector<std::uint8_t> kde = GtkKde();
        keyData.insert(keyData.end(), kde.begin(), kde.end());
        if (DescriptorVersion() == KEY_INFO_VERSION_MD5_RC4) FillRandom(iv);
        keyData = EncryptKeyData(std::move(keyData), iv);
        if (keyData.empty()) return;
    }
    fields.keyInformation = info;
    Send(fields, keyData, iv, true);
}

void CApAuthenticator::SendGroupMessage1() {
    EapolKeyFields fields;
    std::uint16_t info = static_cast<std::uint16_t>(DescriptorVersion() | KEY_INFO_ACK |
                                                    KEY_INFO_MIC | KEY_INFO_SECURE);
    std::vector<std::uint8_t> plain;
    if (setup_.rsn) {
        info |= KEY_INFO_ENCRYPTED_DATA;
        plain = GtkKde();
    } else {
        info |= static_cast<std::uint16_t>((gtkIndex_ & 3) << KEY_INFO_INDEX_SHIFT);
        plain = gtk_;
        fields.keyLength = GroupKeyLength();
    }
    // The GNonce.
    FillRandom(fields.nonce);
    std::array<std::uint8_t, 16> iv{};
    if (DescriptorVersion() == KEY_INFO_VERSION_MD5_RC4) FillRandom(iv);
    const std::vector<std::uint8_t> keyData = EncryptKeyData(std::move(plain), iv);
    if (keyData.empty()) return;
    fields.keyInformation = info;
    Send(fields, keyData, iv, true);
}

bool CApAuthenticator::IsReply(const EapolKeyView& key, std::uint16_t required,
                               std::uint16_t forbidden) const {
    const std::uint16_t info = key.KeyInformation();
    if (key.DescriptorType() != DescriptorType() ||
        key.DescriptorVersion() != DescriptorVersion() || !key.KeyDataFits()) {
        return false;
    }
    if ((info & required) != required || (info & forbidden) != 0) return false;
    // An answer to one of the tries of the current message.
    const std::uint64_t counter = CounterOf(key.ReplayCounter());
    return counter >= stepFirstCounter_ && counter <= lastCounter_;
}

void CApAuthenticator::Receive(std::span<const std::uint8_t> frame, Clock::time_point now) {
    const auto key = EapolKeyView::Parse(frame);
    if (!key) return;
    const std::uint16_t notFromStation = KEY_INFO_ACK | KEY_INFO_REQUEST | KEY_INFO_ERROR;
    switch (step_) {
        case Step::AwaitMessage2:
            if (IsReply(*key, KEY_INFO_PAIRWISE | KEY_INFO_MIC, notFromStation | KEY_INFO_SECURE) &&
                TakeMessage2(*key)) {
                Begin(Step::AwaitMessage4, now);
            }
            break;
        case Step::AwaitMessage4:
            if (IsReply(*key, KEY_INFO_PAIRWISE | KEY_INFO_MIC, notFromStation) &&
                EapolMicMatches(DescriptorVersion(), ptk_.Kck(), *key)) {
                OnMessage4(now);
            }
            break;
        case Step::AwaitGroup2:
            if (IsReply(*key, KEY_INFO_MIC | KEY_INFO_SECURE, notFromStation | KEY_INFO_PAIRWISE) &&
                EapolMicMatches(DescriptorVersion(), ptk_.Kck(), *key)) {
                OnGroupMessage2(now);
            }
            break;
        default:
            break;
    }
}

bool CApAuthenticator::TakeMessage2(const EapolKeyView& key) {
    // The PTK this SNonce gives; kept only when it proves the frame's MIC,
    // so a station with another passphrase gets no message 3.
    PairwiseKey candidate;
    if (DerivePairwiseKey(setup_.pmk, setup_.bssid, setup_.station, anonce_, key.Nonce(),
                          candidate) != 0) {
        return false;
    }
    const bool matches = EapolMicMatches(DescriptorVersion(), candidate.Kck(), key);
    if (matches) {
        ptk_ = candidate;
        ptkSet_ = true;
    }
    OPENSSL_cleanse(candidate.bytes.data(), candidate.bytes.size());
    return matches;
}

void CApAuthenticator::OnMessage4(Clock::time_point now) {
    retryAt_.reset();
    if (setup_.rsn) {
        Authorize(now);
    } else {
        Begin(Step::AwaitGroup2, now);
    }
}

void CApAuthenticator::OnGroupMessage2(Clock::time_point now) {
    retryAt_.reset();
    Authorize(now);
}

void CApAuthenticator::Authorize(Clock::time_point now) {
    step_ = Step::Done;
    authorized_ = true;
    if (setup_.config.groupRekeySeconds > 0) {
        rekeyAt_ = now + std::chrono::seconds(setup_.config.groupRekeySeconds);
    }
}

}  // namespace tarvik::driver::sim
