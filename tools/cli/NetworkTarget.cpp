#include "tools/cli/NetworkTarget.h"

#include <cctype>

#include "networks/NetworkColumns.h"

namespace tarvik::cli {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Exactly six pairs of hex digits joined by ':' or '-'.
std::optional<ndis::MacAddress> ParseMac(const std::string& text) {
    constexpr std::size_t kMacTextSize = 17;
    if (text.size() != kMacTextSize) return std::nullopt;
    ndis::MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (i + 1 < mac.size() && text[at + 2] != ':' && text[at + 2] != '-') return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

}  // namespace

NetworkTarget ParseNetworkTarget(const std::string& text) {
    NetworkTarget target;
    target.mac = ParseMac(text);
    if (!target.mac) target.ssid = text;
    return target;
}

BssidRecord FindNetwork(const CNetworkList& networks, const NetworkTarget& target) {
    if (target.mac) return networks.FindByMac(*target.mac);
    BssidRecord best;
    for (const BssidRecord& record : networks.Records()) {
        if (!record || !record->Entry() || SsidText(*record) != target.ssid) continue;
        if (!best || record->Entry()->Rssi() > best->Entry()->Rssi()) best = record;
    }
    return best;
}

std::string ConnectResultText(Result result) {
    switch (result) {
        case RES_SET_INFRASTRUCTURE_FAILED:
            return "the infrastructure mode could not be set";
        case RES_SET_SSID_FAILED:
            return "the SSID could not be set";
        case RES_ADD_KEY_FAILED:
            return "the WEP key could not be added";
        case RES_SET_ENCRYPTION_FAILED:
            return "the encryption status could not be set";
        case RES_SET_AUTHENTICATION_FAILED:
            return "the authentication mode could not be set";
        case RES_MEDIA_DISCONNECTED:
            return "the adapter stayed disconnected";
        case RES_CONNECTED_NO_ADDRESS:
        case RES_ADDRESS_WAIT_TIMEOUT:
            return "associated, but no IP address came in time";
        case RES_KEY_EXCHANGE_TIMEOUT:
            return "the key exchange timed out (a wrong key?)";
        case RES_KEY_EXCHANGE_FAILED:
            return "the key exchange failed";
        default:
            return {};
    }
}

}  // namespace tarvik::cli
