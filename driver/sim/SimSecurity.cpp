#include "driver/sim/SimSecurity.h"

#include "ndis/Elements.h"

namespace tarvik::driver::sim {

namespace {

ndis::CipherSuite SuiteOf(std::uint32_t flag) {
    switch (flag) {
        case kCipherWep40:
            return ndis::CipherSuite::Wep40;
        case kCipherWep104:
            return ndis::CipherSuite::Wep104;
        case kCipherTkip:
            return ndis::CipherSuite::Tkip;
        case kCipherCcmp:
            return ndis::CipherSuite::Ccmp;
        default:
            return ndis::CipherSuite::None;
    }
}

std::uint32_t FlagOf(const std::uint8_t* selector, const std::uint8_t* oui) {
    if (selector[0] != oui[0] || selector[1] != oui[1] || selector[2] != oui[2]) return 0;
    switch (selector[3]) {
        case 0:
            return kCipherNone;
        case 1:
            return kCipherWep40;
        case 2:
            return kCipherTkip;
        case 4:
            return kCipherCcmp;
        case 5:
            return kCipherWep104;
        default:
            return 0;
    }
}

std::uint32_t AkmOf(const std::uint8_t* selector, const std::uint8_t* oui) {
    if (selector[0] != oui[0] || selector[1] != oui[1] || selector[2] != oui[2]) return 0;
    if (selector[3] == 1) return kAkm8021X;
    if (selector[3] == 2) return kAkmPsk;
    return 0;
}

ndis::SecurityElementSuites SuitesOf(std::uint32_t group, std::uint32_t pairwise,
                                     std::uint32_t keyManagement,
                                     std::optional<std::uint16_t> capabilities) {
    ndis::SecurityElementSuites suites;
    suites.group = SuiteOf(group);
    for (std::uint32_t flag : {kCipherCcmp, kCipherTkip, kCipherNone}) {
        if (pairwise & flag) suites.pairwise.push_back(SuiteOf(flag));
    }
    if (keyManagement & kAkm8021X) suites.akm.push_back(ndis::AkmSuite::Ieee8021X);
    if (keyManagement & kAkmPsk) suites.akm.push_back(ndis::AkmSuite::Psk);
    suites.capabilities = capabilities;
    return suites;
}

}  // namespace

std::vector<std::uint8_t> SecurityElementBytes(const SecurityElement& element, bool rsn) {
    if (!element.present) return {};
    if (!element.raw.empty()) return element.raw;
    const auto suites = SuitesOf(element.groupCipher, element.pairwiseCiphers,
                                 element.keyManagement, element.capabilities);
    auto bytes = rsn ? ndis::BuildRsnElement(suites) : ndis::BuildWpaElement(suites);
    return bytes.value_or(std::vector<std::uint8_t>{});
}

bool DecodeSecurityElement(std::span<const std::uint8_t> bytes, bool rsn,
                           SecurityElement& element) {
    const std::size_t header = rsn ? 4 : 8;
    if (bytes.size() < header || bytes[1] != bytes.size() - 2) return false;
    const std::uint8_t* oui = rsn ? ndis::kRsnOui : ndis::kWpaOui;
    const std::uint32_t fallback = rsn ? kCipherCcmp : kCipherTkip;
    element.groupCipher = fallback;
    element.pairwiseCiphers = fallback;
    element.keyManagement = kAkm8021X;
    std::size_t pos = header;
    const std::size_t end = bytes.size();
    if (end - pos >= 4) {
        element.groupCipher = FlagOf(&bytes[pos], oui);
        pos += 4;
    }
    for (int list = 0; list < 2 && end - pos >= 2; ++list) {
        const std::size_t count = bytes[pos] | (bytes[pos + 1] << 8);
        pos += 2;
        if (count == 0 || (end - pos) / 4 < count) return false;
        std::uint32_t flags = 0;
        for (std::size_t i = 0; i < count; ++i, pos += 4) {
            flags |= list == 0 ? FlagOf(&bytes[pos], oui) : AkmOf(&bytes[pos], oui);
        }
        (list == 0 ? element.pairwiseCiphers : element.keyManagement) = flags;
    }
    if (end - pos >= 2)
        element.capabilities = static_cast<std::uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
    return true;
}

std::vector<std::uint8_t> StationSecurityElement(bool rsn, std::uint32_t groupCipher,
                                                 std::uint32_t pairwiseCipher,
                                                 std::uint32_t keyManagement) {
    const auto suites = SuitesOf(groupCipher, pairwiseCipher, keyManagement,
                                 rsn ? std::optional<std::uint16_t>(0) : std::nullopt);
    auto bytes = rsn ? ndis::BuildRsnElement(suites) : ndis::BuildWpaElement(suites);
    return bytes.value_or(std::vector<std::uint8_t>{});
}

}  // namespace tarvik::driver::sim
