// Decodes arbitrary bytes as a WPA or RSN element. A decoded summary must
// only hold known flags and a PMKID position inside the element, and an
// element built from a decoded single-suite summary must decode to it again.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "connect/SecurityElement.h"
#include "fuzz/FuzzCheck.h"

using namespace tarvik;

namespace {

constexpr std::uint32_t kAllCiphers =
    CIPHER_NONE | CIPHER_WEP40 | CIPHER_WEP104 | CIPHER_TKIP | CIPHER_CCMP;
constexpr std::uint32_t kAllKeyManagement = KEY_MGMT_IEEE8021X | KEY_MGMT_PSK | KEY_MGMT_WPA_NONE;

void CheckRebuild(const SecurityElementInfo& info) {
    // The station's element names one suite of each kind.
    if (!std::has_single_bit(info.groupCipher) || !std::has_single_bit(info.pairwiseCiphers) ||
        !std::has_single_bit(info.keyManagement)) {
        return;
    }
    std::array<std::uint8_t, WPA_OWN_ELEMENT_LENGTH> buffer{};
    const bool rsn = info.protocol == SECURITY_PROTOCOL_RSN;
    const int length =
        rsn ? BuildRsnElement(info.groupCipher, info.pairwiseCiphers, info.keyManagement, buffer)
            : BuildWpaElement(info.groupCipher, info.pairwiseCiphers, info.keyManagement, buffer);
    if (length < 0) return;  // not a combination the station sends
    SecurityElementInfo again;
    TARVIK_FUZZ_CHECK(ParseSecurityElement(std::span(buffer).first(length), again) == 0);
    TARVIK_FUZZ_CHECK(again.protocol == info.protocol);
    TARVIK_FUZZ_CHECK(again.groupCipher == info.groupCipher);
    TARVIK_FUZZ_CHECK(again.pairwiseCiphers == info.pairwiseCiphers);
    TARVIK_FUZZ_CHECK(again.keyManagement == info.keyManagement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    SecurityElementInfo info;
    if (ParseSecurityElement(input, info) != 0) return 0;

    const bool rsn = size > 0 && data[0] == ELEMENT_ID_RSN;
    TARVIK_FUZZ_CHECK(info.protocol == (rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA));
    TARVIK_FUZZ_CHECK((info.pairwiseCiphers & ~kAllCiphers) == 0);
    TARVIK_FUZZ_CHECK((info.groupCipher & ~kAllCiphers) == 0);
    TARVIK_FUZZ_CHECK((info.keyManagement & ~kAllKeyManagement) == 0);
    TARVIK_FUZZ_CHECK(info.capabilities <= 0xFFFF);
    if (info.firstPmkid != PMKID_NONE) {
        TARVIK_FUZZ_CHECK(rsn && info.pmkidCount > 0);
        TARVIK_FUZZ_CHECK(info.firstPmkid + std::size_t{info.pmkidCount} * PMKID_LENGTH <= size);
    }
    CheckRebuild(info);
    return 0;
}
