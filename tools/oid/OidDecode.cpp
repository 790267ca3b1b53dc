#include "tools/oid/OidDecode.h"

#include <cctype>
#include <cstdio>

#include "ndis/BssidList.h"
#include "ndis/Configuration.h"
#include "ndis/NdisTypes.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"

namespace tarvik::oidtool {
namespace {

std::string Format(const char* format, auto... args) {
    char text[256];
    std::snprintf(text, sizeof(text), format, args...);
    return text;
}

std::uint32_t U32(std::span<const std::uint8_t> d) {
    return std::uint32_t{d[0]} | std::uint32_t{d[1]} << 8 | std::uint32_t{d[2]} << 16 |
           std::uint32_t{d[3]} << 24;
}

std::string MacText(std::span<const std::uint8_t> d) {
    return Format("%02x:%02x:%02x:%02x:%02x:%02x", d[0], d[1], d[2], d[3], d[4], d[5]);
}

// Printable SSID text: other bytes as \xNN.
std::string SsidText(std::span<const std::uint8_t> ssid) {
    std::string text;
    for (std::uint8_t c : ssid) {
        if (std::isprint(c) != 0 && c != '\\') {
            text.push_back(static_cast<char>(c));
        } else {
            text += Format("\\x%02x", c);
        }
    }
    return text;
}

const char* EnumName(std::uint32_t oid, std::uint32_t value) {
    using namespace ndis;
    static const char* const kInfrastructure[] = {"IBSS (ad hoc)", "infrastructure", "automatic"};
    static const char* const kAuthentication[] = {"open",    "shared",   "auto switch", "WPA",
                                                  "WPA-PSK", "WPA-None", "WPA2",        "WPA2-PSK"};
    static const char* const kEncryption[] = {"WEP enabled",   "disabled",      "WEP key absent",
                                              "not supported", "TKIP enabled",  "TKIP key absent",
                                              "AES enabled",   "AES key absent"};
    static const char* const kNetworkType[] = {"FH", "DS", "OFDM 5 GHz", "OFDM 2.4 GHz",
                                               "automatic"};
    switch (oid) {
        case OID_802_11_INFRASTRUCTURE_MODE:
            return value < 3 ? kInfrastructure[value] : nullptr;
        case OID_802_11_AUTHENTICATION_MODE:
            return value < 8 ? kAuthentication[value] : nullptr;
        case OID_802_11_ENCRYPTION_STATUS:
            return value < 8 ? kEncryption[value] : nullptr;
        case OID_802_11_NETWORK_TYPE_IN_USE:
            return value < 5 ? kNetworkType[value] : nullptr;
        case OID_GEN_MEDIA_CONNECT_STATUS:
            return value == 0 ? "connected" : value == 1 ? "disconnected" : nullptr;
        case OID_GEN_PHYSICAL_MEDIUM:
            return value == NdisPhysicalMediumWirelessLan ? "wireless LAN"
                   : value == NdisPhysicalMedium802_3     ? "802.3"
                                                          : nullptr;
        default:
            return nullptr;
    }
}

std::string RatesText(std::span<const std::uint8_t> rates) {
    std::string text;
    for (std::uint8_t rate : rates) {
        if (rate == 0) continue;
        const unsigned halfMbits = rate & 0x7F;
        if (!text.empty()) text += ' ';
        text += Format("%u%s%s", halfMbits / 2, halfMbits % 2 != 0 ? ".5" : "",
                       (rate & 0x80) != 0 ? "*" : "");
    }
    return text + " Mbit/s";
}

int ChannelOf(std::uint32_t kHz) {
    if (kHz == 2484000) return 14;
    if (kHz >= 2412000 && kHz <= 2472000) return static_cast<int>((kHz - 2407000) / 5000);
    if (kHz >= 5000000 && kHz <= 5900000) return static_cast<int>((kHz - 5000000) / 5000);
    return 0;
}

}  // namespace

std::string HexLine(std::span<const std::uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 15]);
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> ParseHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    if (text == "-") return bytes;
    int high = -1;
    for (char c : text) {
        if (c == ':' || c == ' ') {
            if (high >= 0) return std::nullopt;  // separators only between bytes
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

std::string DecodeBssidList(std::span<const std::uint8_t> data) {
    const ndis::BssidList list = ndis::ParseBssidList(data);
    std::string text = Format("%-17s  %-32s  %5s  %4s  %-7s  %-14s  %s\n", "BSSID", "SSID", "RSSI",
                              "Chan", "Privacy", "Mode", "Rates");
    for (const ndis::BssidEntry& entry : list.entries) {
        const auto mac = entry.GetMacAddress();
        const char* mode =
            EnumName(ndis::OID_802_11_INFRASTRUCTURE_MODE, entry.InfrastructureMode());
        const auto rates = entry.SupportedRates();
        text += Format("%-17s  %-32s  %5d  %4d  %-7s  %-14s  ", MacText(mac).c_str(),
                       SsidText(entry.Ssid()).c_str(), entry.Rssi(),
                       ChannelOf(entry.GetConfiguration().dsConfig),
                       entry.Privacy() != 0 ? "yes" : "no", mode != nullptr ? mode : "?");
        text += RatesText(rates) + "\n";
    }
    text += Format("%zu network(s)\n", list.entries.size());
    for (const auto& issue : list.issues) text += ndis::DescribeBssidListIssue(issue) + "\n";
    return text;
}

std::string DecodeReply(std::uint32_t oid, std::span<const std::uint8_t> data) {
    using namespace ndis;
    switch (oid) {
        case OID_802_11_BSSID_LIST:
            return DecodeBssidList(data);
        case OID_802_11_SSID: {
            NdisError error = NdisError::None;
            auto ssid = ParseSsid(data, &error);
            if (!ssid) return std::string("malformed SSID: ") + DescribeNdisError(error) + "\n";
            return "SSID \"" + SsidText(*ssid) + "\"\n";
        }
        case OID_802_11_BSSID:
        case OID_802_3_PERMANENT_ADDRESS:
        case OID_802_3_CURRENT_ADDRESS:
            if (data.size() < 6) break;
            return MacText(data) + "\n";
        case OID_GEN_VENDOR_DESCRIPTION: {
            std::string text(data.begin(), data.end());
            return text.substr(0, text.find('\0')) + "\n";
        }
        case OID_802_11_RSSI:
            if (data.size() < 4) break;
            return Format("%d dBm\n", static_cast<std::int32_t>(U32(data)));
        case OID_802_11_SUPPORTED_RATES:
            return RatesText(data) + "\n";
        case OID_802_11_CONFIGURATION: {
            auto config = ParseConfiguration(data);
            if (!config) break;
            return Format("beacon period %u TU, ATIM window %u TU, %u kHz (channel %d)\n",
                          config->beaconPeriod, config->atimWindow, config->dsConfig,
                          ChannelOf(config->dsConfig));
        }
        default:
            if (data.size() != 4) break;
            const std::uint32_t value = U32(data);
            const char* name = EnumName(oid, value);
            return name != nullptr ? Format("%u (%s)\n", value, name) : Format("%u\n", value);
    }
    return HexLine(data) + "\n";
}

const char* Win32ErrorName(std::uint32_t error) {
    switch (error) {
        case 0:
            return "ERROR_SUCCESS";
        case 1:
            return "ERROR_INVALID_FUNCTION";
        case 2:
            return "ERROR_FILE_NOT_FOUND";
        case 3:
            return "ERROR_PATH_NOT_FOUND";
        case 5:
            return "ERROR_ACCESS_DENIED";
        case 6:
            return "ERROR_INVALID_HANDLE";
        case 8:
            return "ERROR_NOT_ENOUGH_MEMORY";
        case 31:
            return "ERROR_GEN_FAILURE";
        case 50:
            return "ERROR_NOT_SUPPORTED";
        case 87:
            return "ERROR_INVALID_PARAMETER";
        case 122:
            return "ERROR_INSUFFICIENT_BUFFER";
        case 234:
            return "ERROR_MORE_DATA";
        case 259:
            return "ERROR_NO_MORE_ITEMS";
        case 995:
            return "ERROR_OPERATION_ABORTED";
        case 997:
            return "ERROR_IO_PENDING";
        case 1167:
            return "ERROR_DEVICE_NOT_CONNECTED";
        case 1168:
            return "ERROR_NOT_FOUND";
        case 1450:
            return "ERROR_NO_SYSTEM_RESOURCES";
        case 1460:
            return "ERROR_TIMEOUT";
        case 1784:
            return "ERROR_INVALID_USER_BUFFER";
        case 0xFFFFFFFF:
            return "generic failure";
        default:
            return "";
    }
}

}  // namespace tarvik::oidtool
