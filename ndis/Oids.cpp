#include "ndis/Oids.h"

#include <array>
#include <charconv>

namespace tarvik::ndis {

namespace {

#define TARVIK_OID_ENTRY(oid) \
    OidInfo {                 \
#oid, oid             \
    }

constexpr std::array kOidTable{
    TARVIK_OID_ENTRY(OID_GEN_LINK_SPEED),
    TARVIK_OID_ENTRY(OID_GEN_VENDOR_DESCRIPTION),
    TARVIK_OID_ENTRY(OID_GEN_MEDIA_CONNECT_STATUS),
    TARVIK_OID_ENTRY(OID_GEN_PHYSICAL_MEDIUM),
    TARVIK_OID_ENTRY(OID_GEN_XMIT_OK),
    TARVIK_OID_ENTRY(OID_GEN_RCV_OK),
    TARVIK_OID_ENTRY(OID_GEN_XMIT_ERROR),
    TARVIK_OID_ENTRY(OID_GEN_RCV_ERROR),
    TARVIK_OID_ENTRY(OID_GEN_RCV_NO_BUFFER),
    TARVIK_OID_ENTRY(OID_802_3_PERMANENT_ADDRESS),
    TARVIK_OID_ENTRY(OID_802_3_CURRENT_ADDRESS),
    TARVIK_OID_ENTRY(OID_802_11_BSSID),
    TARVIK_OID_ENTRY(OID_802_11_SSID),
    TARVIK_OID_ENTRY(OID_802_11_INFRASTRUCTURE_MODE),
    TARVIK_OID_ENTRY(OID_802_11_ADD_WEP),
    TARVIK_OID_ENTRY(OID_802_11_REMOVE_WEP),
    TARVIK_OID_ENTRY(OID_802_11_DISASSOCIATE),
    TARVIK_OID_ENTRY(OID_802_11_AUTHENTICATION_MODE),
    TARVIK_OID_ENTRY(OID_802_11_BSSID_LIST_SCAN),
    TARVIK_OID_ENTRY(OID_802_11_ENCRYPTION_STATUS),
    TARVIK_OID_ENTRY(OID_802_11_WEP_STATUS),
    TARVIK_OID_ENTRY(OID_802_11_ADD_KEY),
    TARVIK_OID_ENTRY(OID_802_11_REMOVE_KEY),
    TARVIK_OID_ENTRY(OID_802_11_ASSOCIATION_INFORMATION),
    TARVIK_OID_ENTRY(OID_802_11_NETWORK_TYPES_SUPPORTED),
    TARVIK_OID_ENTRY(OID_802_11_NETWORK_TYPE_IN_USE),
    TARVIK_OID_ENTRY(OID_802_11_TX_POWER_LEVEL),
    TARVIK_OID_ENTRY(OID_802_11_RSSI),
    TARVIK_OID_ENTRY(OID_802_11_RSSI_TRIGGER),
    TARVIK_OID_ENTRY(OID_802_11_SUPPORTED_RATES),
    TARVIK_OID_ENTRY(OID_802_11_CONFIGURATION),
    TARVIK_OID_ENTRY(OID_802_11_BSSID_LIST),
};

#undef TARVIK_OID_ENTRY

}  // namespace

std::span<const OidInfo> KnownOids() {
    return kOidTable;
}

std::string_view OidName(std::uint32_t number) {
    for (const OidInfo& info : kOidTable) {
        if (info.number == number) return info.name;
    }
    return {};
}

std::optional<std::uint32_t> OidFromName(std::string_view name) {
    for (const OidInfo& info : kOidTable) {
        if (info.name == name) return info.number;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseOidText(std::string_view text) {
    if (auto known = OidFromName(text)) return known;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

}  // namespace tarvik::ndis
