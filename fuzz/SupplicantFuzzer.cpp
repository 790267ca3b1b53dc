// Feeds arbitrary EAPOL frames to a supplicant that stands in one of its
// states: fresh, after message 1/4 (temporary PTK), after message 3/4 (PTK
// installed, waiting for the group key) or, for WPA, after the group key.
// The harness plays the authenticator for the set-up and can sign a fuzzed
// frame with the key the supplicant holds, so the checks after the MIC are
// reached too.
//
// Input: one configuration byte (bit 0: RSN/CCMP, else WPA/TKIP; bits 1-2:
// the state to start in), then frames, each a flags byte (bit 0: sign),
// a 16-bit big-endian length and the bytes.
//
// Checked: every frame sent is an EAPOL-Key answer (our descriptor type, MIC
// bit, no Ack); every key is 16 or 32 bytes with a 6-byte sequence, for the
// peer or the broadcast address; no key is installed twice in a row; the
// states stay within 5 to 11.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "connect/Crypto.h"
#include "connect/EapolKey.h"
#include "connect/EapolMic.h"
#include "connect/PairwiseKey.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "fuzz/FuzzCheck.h"

using namespace tarvik;

namespace {

using Bytes = std::vector<std::uint8_t>;

const ndis::MacAddress kAa = {0x02, 0, 0, 0, 0, 0x01};
const ndis::MacAddress kSpa = {0x02, 0, 0, 0, 0, 0x02};
constexpr std::size_t kMaxFrames = 16;

struct Harness {
    bool rsn = false;
    std::array<std::uint8_t, kPmkLength> pmk{};
    std::array<std::uint8_t, kNonceLength> snonce{};
    PairwiseKey ptk;  // what the authenticator derived from the last answered message 1
    std::uint64_t counter = 0;
    std::size_t sent = 0;
    Bytes lastPairwise, lastGroup;
};

int CheckSent(const Harness& h, std::span<const std::uint8_t> frame) {
    const auto view = EapolKeyView::Parse(frame);
    TARVIK_FUZZ_CHECK(view.has_value());
    TARVIK_FUZZ_CHECK(view->Frame().size() == frame.size());
    TARVIK_FUZZ_CHECK(view->DescriptorType() == (h.rsn ? EAPOL_KEY_TYPE_RSN : EAPOL_KEY_TYPE_WPA));
    TARVIK_FUZZ_CHECK(view->KeyInformation() & KEY_INFO_MIC);
    TARVIK_FUZZ_CHECK(!(view->KeyInformation() & KEY_INFO_ACK));
    TARVIK_FUZZ_CHECK(view->KeyDataFits());
    return 0;
}

int CheckKey(Harness& h, const ndis::MacAddress& address, std::span<const std::uint8_t> sequence,
             std::span<const std::uint8_t> key) {
    const bool group = address == kBroadcastAddress;
    TARVIK_FUZZ_CHECK(group || address == kAa);
    TARVIK_FUZZ_CHECK(key.size() == 16 || key.size() == 32);
    TARVIK_FUZZ_CHECK(sequence.size() == 6);
    Bytes& last = group ? h.lastGroup : h.lastPairwise;
    TARVIK_FUZZ_CHECK(!std::equal(key.begin(), key.end(), last.begin(), last.end()));
    last.assign(key.begin(), key.end());
    return 0;
}

SupplicantCallbacks Callbacks(Harness& h) {
    SupplicantCallbacks callbacks;
    callbacks.setState = [](int state) { TARVIK_FUZZ_CHECK(state >= 5 && state <= 11); };
    callbacks.setKey = [&h](int, const ndis::MacAddress& address, int, bool,
                            std::span<const std::uint8_t> sequence,
                            std::span<const std::uint8_t> key) {
        return CheckKey(h, address, sequence, key);
    };
    callbacks.sendFrame = [&h](const ndis::MacAddress& destination, std::uint16_t,
                               std::span<const std::uint8_t> frame) {
        TARVIK_FUZZ_CHECK(destination == kAa);
        ++h.sent;
        return CheckSent(h, frame);
    };
    callbacks.randomBytes = [&h](std::span<std::uint8_t> out) {
        std::copy_n(h.snonce.begin(), out.size(), out.begin());
        return 0;
    };
    return callbacks;
}

void Sign(const Harness& h, Bytes& frame) {
    if (frame.size() < kEapolKeyMinimumLength) return;
    const int version = frame[eapol_layout::kKeyInformation + 1] & KEY_INFO_VERSION_MASK;
    (void)WriteEapolMic(version, h.ptk.Kck(), frame);
}

// Feeds one frame; an answered message 1/4 gives the authenticator its PTK.
void Feed(Harness& h, CSupplicant& supplicant, const Bytes& frame) {
    const std::size_t before = h.sent;
    supplicant.ReceiveEapol(kAa, frame);
    const auto view = EapolKeyView::Parse(frame);
    if (h.sent > before && view && !(view->KeyInformation() & KEY_INFO_MIC)) {
        (void)DerivePairwiseKey(h.pmk, kAa, kSpa, h.snonce, view->Nonce(), h.ptk);
    }
}

Bytes Authenticator(Harness& h, std::uint16_t info, std::span<const std::uint8_t> keyData) {
    EapolKeyFields fields;
    fields.descriptorType = h.rsn ? EAPOL_KEY_TYPE_RSN : EAPOL_KEY_TYPE_WPA;
    const std::uint16_t version = h.rsn ? KEY_INFO_VERSION_SHA1_AES : KEY_INFO_VERSION_MD5_RC4;
    fields.keyInformation = static_cast<std::uint16_t>(info | version | KEY_INFO_ACK);
    fields.keyLength = h.rsn ? 16 : 32;
    ++h.counter;
    for (int i = 0; i < 8; ++i) {
        fields.replayCounter[i] = static_cast<std::uint8_t>(h.counter >> (56 - 8 * i));
    }
    fields.nonce.fill(0x33);
    return BuildEapolKey(fields, keyData);
}

// Brings the supplicant to `stage`: 1 after message 1/4, 2 after 3/4, 3
// after the WPA group key.
void Prepare(Harness& h, CSupplicant& supplicant, int stage, std::span<const std::uint8_t> own) {
    if (stage >= 1) Feed(h, supplicant, Authenticator(h, KEY_INFO_PAIRWISE, {}));
    if (stage >= 2) {
        Bytes msg3 = Authenticator(
            h, KEY_INFO_PAIRWISE | KEY_INFO_MIC | KEY_INFO_INSTALL | (h.rsn ? KEY_INFO_SECURE : 0),
            own);
        Sign(h, msg3);
        Feed(h, supplicant, msg3);
    }
    if (stage >= 3 && !h.rsn) {
        std::array<std::uint8_t, 32> gtk{};
        gtk.fill(0x44);
        std::array<std::uint8_t, 32> rc4Key{};  // zero key IV, then the KEK
        std::copy(h.ptk.Kek().begin(), h.ptk.Kek().end(), rc4Key.begin() + 16);
        (void)Rc4Skip(rc4Key.data(), rc4Key.size(), 256, gtk.data(), gtk.size());
        Bytes group1 = Authenticator(h, KEY_INFO_MIC | KEY_INFO_SECURE | 0x10, gtk);
        Sign(h, group1);
        Feed(h, supplicant, group1);
    }
}

}  // namespace

// The supplicant's messages of level 2 and above go to standard output:
// thousands of lines a second here, and none of them a finding.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Harness h;
    h.rsn = data[0] & 1;
    h.pmk.fill(0x11);
    h.snonce.fill(0x22);
    CSupplicant supplicant(Callbacks(h));
    supplicant.SetPmk(h.pmk);
    supplicant.SetOwnAddress(kSpa);
    supplicant.SetProtocol(h.rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA);
    const std::uint32_t cipher = h.rsn ? CIPHER_CCMP : CIPHER_TKIP;
    supplicant.SetCiphers(cipher, cipher);
    supplicant.SetKeyManagement(KEY_MGMT_PSK);
    std::array<std::uint8_t, WPA_OWN_ELEMENT_LENGTH> own{};
    const int ownLength = h.rsn ? BuildRsnElement(cipher, cipher, KEY_MGMT_PSK, own)
                                : BuildWpaElement(cipher, cipher, KEY_MGMT_PSK, own);
    TARVIK_FUZZ_CHECK(ownLength > 0);
    const auto element = std::span(own).first(static_cast<std::size_t>(ownLength));
    TARVIK_FUZZ_CHECK(supplicant.SetOwnElement(element) == 0);
    const int stage = (data[0] >> 1) & 3;
    Prepare(h, supplicant, stage, element);
    // The set-up itself must have worked, or the states are not reached.
    TARVIK_FUZZ_CHECK(h.sent == static_cast<std::size_t>(stage == 3 && h.rsn ? 2 : stage));
    TARVIK_FUZZ_CHECK(supplicant.HasPtk() == (stage >= 2));

    std::size_t pos = 1;
    for (std::size_t n = 0; n < kMaxFrames && size - pos >= 3; ++n) {
        const bool sign = data[pos] & 1;
        const std::size_t length = std::min<std::size_t>(
            static_cast<std::size_t>(data[pos + 1] << 8 | data[pos + 2]), size - pos - 3);
        Bytes frame(data + pos + 3, data + pos + 3 + length);
        pos += 3 + length;
        if (sign) Sign(h, frame);
        Feed(h, supplicant, frame);
    }
    return 0;
}
