#include "adapter/DeviceInfoText.h"

#include <algorithm>
#include <cstdio>

#include "ndis/ByteOrder.h"

namespace tarvik {
namespace {

constexpr std::size_t kSsidCapacity = 32;
constexpr std::uint8_t kBasicRateFlag = 0x80;

const char* const kMediaStates[] = {"Connected", "Disconnected"};
const char* const kNetworkModes[] = {"Ad Hoc", "Infrastructure", "Auto"};
const char* const kAuthenticationModes[] = {"Open",    "Shared",   "Auto Switch", "WPA",
                                            "WPA-PSK", "WPA-None", "WPA2",        "WPA2-PSK"};
const char* const kEncryptionStates[] = {"Encryption 1 Enabled",    "Encryption Disabled",
                                         "Encryption 1 Key Absent", "Encryption Not Supported",
                                         "Encryption 2 Enabled",    "Encryption 2 Key Absent",
                                         "Encryption 3 Enabled",    "Encryption 3 Key Absent"};
const char* const kNetworkTypeNames[] = {"FH", "DS", "OFDM5", "OFDM"};

template <std::size_t N>
std::optional<std::string> Pick(const char* const (&texts)[N], std::uint32_t value) {
    if (value >= N) return std::nullopt;
    return std::string(texts[value]);
}

bool IsUnsetAddress(const std::string& address) {
    return address.empty() || address == "0.0.0.0";
}

}  // namespace

std::string FormatMac(const ndis::MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::string FormatLinkSpeed(std::uint32_t hundredsOfBits) {
    return std::to_string(hundredsOfBits / 10000) + " Mbps";
}

std::string FormatSigned(std::uint32_t reply, const char* unit) {
    return std::to_string(static_cast<std::int32_t>(reply)) + " " + unit;
}

std::string FormatNetworkTypes(std::span<const std::uint8_t> reply) {
    if (reply.size() < 4) return {};
    // A count larger than the reply stops at the reply's end.
    const std::size_t count =
        std::min<std::size_t>(ndis::LoadLe32(reply.data()), reply.size() / 4 - 1);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t type = ndis::LoadLe32(reply.data() + 4 + 4 * i);
        if (type >= std::size(kNetworkTypeNames)) continue;
        if (!text.empty()) text += ", ";
        text += kNetworkTypeNames[type];
    }
    return text;
}

std::string FormatBestRate(std::span<const std::uint8_t> reply) {
    int best = 0;
    for (std::uint8_t rate : reply) {
        if (rate == 0) break;
        best = std::max(best, rate & ~kBasicRateFlag & 0xff);
    }
    return std::to_string(best / 2) + " Mbps";
}

std::string FormatSsid(std::span<const std::uint8_t> reply) {
    if (reply.size() < 4) return kErrorRetrievingText;
    const std::size_t length =
        std::min<std::size_t>({ndis::LoadLe32(reply.data()), kSsidCapacity, reply.size() - 4});
    if (length == 0) return kNotSetText;
    return std::string(reply.begin() + 4, reply.begin() + 4 + static_cast<long>(length));
}

std::string FormatLeaseTime(std::int64_t seconds) {
    if (seconds == 0) return kNeverText;
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&time, &local) || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 ||
        local.tm_mon > 11) {
        return kNotSupportedText;
    }
    // asctime's layout, written here since asctime overflows past year 9999.
    char text[64];
    std::snprintf(text, sizeof(text), "%s %s%3d %.2d:%.2d:%.2d %lld", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long long>(local.tm_year) + 1900);
    return text;
}

std::string FormatWins(const std::string& primary, const std::string& secondary) {
    std::vector<std::string> servers;
    if (!IsUnsetAddress(primary)) servers.push_back(primary);
    if (!IsUnsetAddress(secondary)) servers.push_back(secondary);
    return JoinListed(servers, kNoneText);
}

std::string JoinListed(const std::vector<std::string>& entries, const std::string& empty) {
    if (entries.empty()) return empty;
    std::string text;
    const std::size_t count = std::min(entries.size(), kMaxListedAddresses);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += ", ";
        text += entries[i];
    }
    return text;
}

std::optional<std::string> EnumeratedText(DeviceInfoField field, std::uint32_t value) {
    switch (field) {
        case DI_MEDIA_STATE:
            return Pick(kMediaStates, value);
        case DI_NETWORK_MODE:
            return Pick(kNetworkModes, value);
        case DI_AUTHENTICATION_MODE:
            return Pick(kAuthenticationModes, value);
        case DI_ENCRYPTION_STATUS:
            return Pick(kEncryptionStates, value);
        default:
            return std::nullopt;
    }
}

}  // namespace tarvik
