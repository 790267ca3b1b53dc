// The Device Information texts: which values the page shows, and how a reply
// or a record value becomes its text. Pure functions; CAdapter's readers do
// the queries.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ndis/NdisTypes.h"

namespace tarvik {

// The page's fields, in the order a refresh reads them.
enum DeviceInfoField : int {
    DI_VENDOR_DESCRIPTION,
    DI_REGISTRY_DESCRIPTION,
    DI_DEVICE_ID,
    DI_PHYSICAL_MEDIUM,
    DI_LINK_SPEED,
    DI_SIGNAL_STRENGTH,
    DI_CURRENT_ADDRESS,
    DI_PERMANENT_ADDRESS,
    DI_NETWORK_TYPES,
    DI_IP_ADDRESS,
    DI_SUBNET_MASK,
    DI_DEFAULT_GATEWAY,
    DI_DNS_SERVERS,
    DI_TRANSMIT_POWER,
    DI_RSSI_TRIGGER,
    DI_BEST_RATE,
    DI_DHCP_ENABLED,
    DI_DHCP_SERVER,
    DI_LEASE_OBTAINED,
    DI_LEASE_EXPIRES,
    DI_WINS_SERVERS,
    DI_MEDIA_STATE,
    DI_NETWORK_MODE,
    DI_AUTHENTICATION_MODE,
    DI_ENCRYPTION_STATUS,
    DI_SSID,
    DI_BSSID,
    DI_FIELD_COUNT
};

inline constexpr const char* kNotSupportedText = "Not Supported";
inline constexpr const char* kNotSetText = "Not Set";
inline constexpr const char* kErrorRetrievingText = "Error Retrieving Value";
inline constexpr const char* kNoneText = "None";
inline constexpr const char* kNeverText = "Never";
// Lists show their first entries only.
inline constexpr std::size_t kMaxListedAddresses = 10;
// OID_802_11_NETWORK_TYPES_SUPPORTED and OID_802_11_SUPPORTED_RATES replies.
inline constexpr std::uint32_t kNetworkTypesReplySize = 2000;
inline constexpr std::uint32_t kSupportedRatesReplySize = 8;

std::string FormatMac(const ndis::MacAddress& mac);
// OID_GEN_LINK_SPEED counts in 100 bit/s: "54 Mbps".
std::string FormatLinkSpeed(std::uint32_t hundredsOfBits);
std::string FormatSigned(std::uint32_t reply, const char* unit);
// A u32 count and u32 types, read only as far as `reply` reaches.
std::string FormatNetworkTypes(std::span<const std::uint8_t> reply);
// The fastest rate up to the first zero byte, without the basic-rate flag.
std::string FormatBestRate(std::span<const std::uint8_t> reply);
// An NDIS_802_11_SSID reply; its length is taken at most as 32.
std::string FormatSsid(std::span<const std::uint8_t> reply);
// "Never" for 0; otherwise the local time as asctime writes it, without
// the newline, for any year; "Not Supported" for a time it cannot convert.
std::string FormatLeaseTime(std::int64_t seconds);
std::string FormatWins(const std::string& primary, const std::string& secondary);
// Entries joined by ", ", at most kMaxListedAddresses; `empty` when none.
std::string JoinListed(const std::vector<std::string>& entries, const std::string& empty);
// The texts of the four enumerations; nothing for a value outside the list.
std::optional<std::string> EnumeratedText(DeviceInfoField field, std::uint32_t value);

}  // namespace tarvik
