// The receive path of one Ethernet frame as the adapter's read gives it: the
// receive thread's classification, the WPA bridge's hand-off (key
// information for the log, the EAPOL frame cut to its body length) and the
// supplicant that takes it, set up as the bridge sets one up.
//
// Input: one configuration byte (bit 0: RSN/CCMP, else WPA/TKIP), then the
// frame, cut to the receive buffer's 2400 bytes.
//
// Checked: the kind follows the EtherType; the hand-off lies inside the
// frame, after its Ethernet header, and is no longer than the EAPOL header
// and the body length it declares; any answer is a well-formed EAPOL-Key
// frame of ours to the network's BSSID carrying our own element.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "adapter/ReceiveThread.h"
#include "adapter/ReceivedFrame.h"
#include "connect/EapolHandOff.h"
#include "connect/EapolKey.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "fuzz/FuzzCheck.h"

using namespace tarvik;

namespace {

const ndis::MacAddress kBssid = {0x02, 0, 0, 0, 0, 0x01};
const ndis::MacAddress kOwn = {0x02, 0, 0, 0, 0, 0x02};

ReceivedFrameKind KindOfEtherType(std::uint16_t etherType) {
    if (etherType == 0x0800) return ReceivedFrameKind::Ip;
    if (etherType == 0x0806) return ReceivedFrameKind::Arp;
    if (etherType == 0x888E) return ReceivedFrameKind::Eapol;
    return ReceivedFrameKind::Unknown;
}

void CheckHandOff(std::span<const std::uint8_t> frame, const EapolHandOff& handOff) {
    TARVIK_FUZZ_CHECK(handOff.eapol.data() == frame.data() + kEthernetHeaderSize);
    TARVIK_FUZZ_CHECK(handOff.eapol.size() <= frame.size() - kEthernetHeaderSize);
    if (frame.size() >= kEthernetHeaderSize + 7) {
        TARVIK_FUZZ_CHECK(handOff.keyInformation == (frame[19] << 8 | frame[20]));
    }
    if (handOff.eapol.size() >= kEapolHeaderLength) {
        const std::size_t body = handOff.eapol[2] << 8 | handOff.eapol[3];
        TARVIK_FUZZ_CHECK(handOff.eapol.size() <= kEapolHeaderLength + body);
        TARVIK_FUZZ_CHECK(handOff.eapol.size() == kEapolHeaderLength + body ||
                          handOff.eapol.size() == frame.size() - kEthernetHeaderSize);
    }
}

void CheckAnswer(bool rsn, std::span<const std::uint8_t> own, const ndis::MacAddress& destination,
                 std::uint16_t etherType, std::span<const std::uint8_t> answer) {
    TARVIK_FUZZ_CHECK(destination == kBssid);
    TARVIK_FUZZ_CHECK(etherType == ETHER_TYPE_EAPOL);
    const auto view = EapolKeyView::Parse(answer);
    TARVIK_FUZZ_CHECK(view.has_value() && view->Frame().size() == answer.size());
    TARVIK_FUZZ_CHECK(view->DescriptorType() == (rsn ? EAPOL_KEY_TYPE_RSN : EAPOL_KEY_TYPE_WPA));
    TARVIK_FUZZ_CHECK(view->KeyInformation() & KEY_INFO_MIC);
    TARVIK_FUZZ_CHECK(!(view->KeyInformation() & KEY_INFO_ACK));
    // Only message 2/4 is reachable without a PTK: it carries our element.
    TARVIK_FUZZ_CHECK(view->KeyDataFits());
    TARVIK_FUZZ_CHECK(std::ranges::equal(view->KeyData(), own));
}

}  // namespace

// The supplicant's messages of level 2 and above go to standard output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool rsn = data[0] & 1;
    const std::span<const std::uint8_t> frame(data + 1,
                                              std::min<std::size_t>(size - 1, kReceiveBufferSize));

    const ReceivedFrameKind kind = ClassifyReceivedFrame(frame);
    TARVIK_FUZZ_CHECK(
        kind == (frame.size() < kEthernetHeaderSize
                     ? ReceivedFrameKind::Unknown
                     : KindOfEtherType(static_cast<std::uint16_t>(frame[12] << 8 | frame[13]))));
    if (kind != ReceivedFrameKind::Eapol) return 0;
    const auto handOff = TakeEapolHandOff(frame);
    TARVIK_FUZZ_CHECK(handOff.has_value());
    CheckHandOff(frame, *handOff);

    const std::uint32_t cipher = rsn ? CIPHER_CCMP : CIPHER_TKIP;
    std::array<std::uint8_t, WPA_OWN_ELEMENT_LENGTH> element{};
    const int length = rsn ? BuildRsnElement(cipher, cipher, KEY_MGMT_PSK, element)
                           : BuildWpaElement(cipher, cipher, KEY_MGMT_PSK, element);
    TARVIK_FUZZ_CHECK(length > 0);
    const auto own = std::span(element).first(static_cast<std::size_t>(length));
    SupplicantCallbacks callbacks;
    callbacks.sendFrame = [&](const ndis::MacAddress& destination, std::uint16_t etherType,
                              std::span<const std::uint8_t> answer) {
        CheckAnswer(rsn, own, destination, etherType, answer);
        return 0;
    };
    callbacks.setKey = [](int, const ndis::MacAddress&, int, bool, std::span<const std::uint8_t>,
                          std::span<const std::uint8_t>) {
        TARVIK_FUZZ_CHECK(!"a key without a PTK");
        return -1;
    };
    callbacks.randomBytes = [](std::span<std::uint8_t> out) {
        std::fill(out.begin(), out.end(), 0x22);
        return 0;
    };
    CSupplicant supplicant(std::move(callbacks));
    std::array<std::uint8_t, kPmkLength> pmk{};
    pmk.fill(0x11);
    supplicant.SetPmk(pmk);
    supplicant.SetOwnAddress(kOwn);
    supplicant.SetProtocol(rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA);
    supplicant.SetCiphers(cipher, cipher);
    supplicant.SetKeyManagement(KEY_MGMT_PSK);
    TARVIK_FUZZ_CHECK(supplicant.SetOwnElement(own) == 0);
    supplicant.ReceiveEapol(kBssid, handOff->eapol);
    return 0;
}
