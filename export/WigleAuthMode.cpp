#include "export/WigleAuthMode.h"

#include <array>
#include <span>

#include "connect/SecurityElement.h"

namespace tarvik {
namespace {

std::string CipherList(std::uint32_t ciphers) {
    std::string text;
    const auto add = [&](std::uint32_t flag, const char* name) {
        if ((ciphers & flag) == 0) return;
        if (!text.empty()) text += '+';
        text += name;
    };
    add(CIPHER_CCMP, "CCMP");
    add(CIPHER_TKIP, "TKIP");
    add(CIPHER_WEP104, "WEP104");
    add(CIPHER_WEP40, "WEP40");
    return text;
}

std::string SecurityBracket(const SecurityElementInfo& info) {
    std::string text = info.protocol == SECURITY_PROTOCOL_RSN ? "[WPA2" : "[WPA";
    if (info.keyManagement & KEY_MGMT_IEEE8021X) text += "-EAP";
    if (info.keyManagement & KEY_MGMT_PSK) text += "-PSK";
    const std::string ciphers = CipherList(info.pairwiseCiphers);
    if (!ciphers.empty()) text += "-" + ciphers;
    return text + "]";
}

bool Has(std::string_view bracket, std::string_view word) {
    return bracket.find(word) != std::string_view::npos;
}

// Fills `security` from one bracket's contents (without the brackets).
void ReadBracket(std::string_view bracket, WigleSecurity& security) {
    if (bracket == "IBSS") security.adHoc = true;
    if (bracket == "WEP") security.privacy = true;
    const bool rsn = bracket.starts_with("WPA2") || bracket.starts_with("RSN") ||
                     bracket.starts_with("WPA3") || bracket.starts_with("OWE");
    const bool wpa = !rsn && bracket.starts_with("WPA");
    if (!rsn && !wpa) return;
    // A WPA2 bracket wins over a WPA one, as the RSN element does on the air.
    if (wpa && !security.element.empty()) return;
    security.privacy = true;
    const std::uint32_t keyManagement = Has(bracket, "EAP") ? KEY_MGMT_IEEE8021X : KEY_MGMT_PSK;
    const std::uint32_t pairwise =
        Has(bracket, "CCMP") || !Has(bracket, "TKIP") ? CIPHER_CCMP : CIPHER_TKIP;
    const std::uint32_t group = Has(bracket, "TKIP") ? CIPHER_TKIP : CIPHER_CCMP;
    std::array<std::uint8_t, 32> buffer{};
    const int length = rsn ? BuildRsnElement(group, pairwise, keyManagement, buffer)
                           : BuildWpaElement(group, pairwise, keyManagement, buffer);
    if (length > 0) security.element.assign(buffer.begin(), buffer.begin() + length);
}

}  // namespace

std::string WigleAuthMode(const CBssid& record) {
    std::string text;
    if (record.HasSecurityElement() && (record.IsWpa() || record.IsWpa2())) {
        text = SecurityBracket(record.Security());
    } else if (record.IsWep()) {
        text = "[WEP]";
    }
    const ndis::BssidEntry* entry = record.Entry();
    const bool adHoc = entry != nullptr && entry->InfrastructureMode() == ndis::Ndis802_11IBSS;
    return text + (adHoc ? "[IBSS]" : "[ESS]");
}

WigleSecurity ParseWigleAuthMode(std::string_view text) {
    WigleSecurity security;
    std::size_t at = 0;
    while ((at = text.find('[', at)) != std::string_view::npos) {
        const std::size_t end = text.find(']', at + 1);
        if (end == std::string_view::npos) break;
        ReadBracket(text.substr(at + 1, end - at - 1), security);
        at = end + 1;
    }
    return security;
}

}  // namespace tarvik
