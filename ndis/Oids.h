// Published NDIS object identifiers, the protocol driver's control codes, and
// a name <-> number table for diagnostics.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarvik::ndis {

// General objects.
inline constexpr std::uint32_t OID_GEN_LINK_SPEED = 0x00010107;
inline constexpr std::uint32_t OID_GEN_VENDOR_DESCRIPTION = 0x0001010D;
inline constexpr std::uint32_t OID_GEN_MEDIA_CONNECT_STATUS = 0x00010114;
inline constexpr std::uint32_t OID_GEN_PHYSICAL_MEDIUM = 0x00010202;
inline constexpr std::uint32_t OID_GEN_XMIT_OK = 0x00020101;
inline constexpr std::uint32_t OID_GEN_RCV_OK = 0x00020102;
inline constexpr std::uint32_t OID_GEN_XMIT_ERROR = 0x00020103;
inline constexpr std::uint32_t OID_GEN_RCV_ERROR = 0x00020104;
inline constexpr std::uint32_t OID_GEN_RCV_NO_BUFFER = 0x00020105;

// Ethernet objects.
inline constexpr std::uint32_t OID_802_3_PERMANENT_ADDRESS = 0x01010101;
inline constexpr std::uint32_t OID_802_3_CURRENT_ADDRESS = 0x01010102;

// 802.11 objects.
inline constexpr std::uint32_t OID_802_11_BSSID = 0x0D010101;
inline constexpr std::uint32_t OID_802_11_SSID = 0x0D010102;
inline constexpr std::uint32_t OID_802_11_INFRASTRUCTURE_MODE = 0x0D010108;
inline constexpr std::uint32_t OID_802_11_ADD_WEP = 0x0D010113;
inline constexpr std::uint32_t OID_802_11_REMOVE_WEP = 0x0D010114;
inline constexpr std::uint32_t OID_802_11_DISASSOCIATE = 0x0D010115;
inline constexpr std::uint32_t OID_802_11_AUTHENTICATION_MODE = 0x0D010118;
inline constexpr std::uint32_t OID_802_11_BSSID_LIST_SCAN = 0x0D01011A;
inline constexpr std::uint32_t OID_802_11_WEP_STATUS = 0x0D01011B;
inline constexpr std::uint32_t OID_802_11_ENCRYPTION_STATUS = OID_802_11_WEP_STATUS;
inline constexpr std::uint32_t OID_802_11_ADD_KEY = 0x0D01011D;
inline constexpr std::uint32_t OID_802_11_REMOVE_KEY = 0x0D01011E;
inline constexpr std::uint32_t OID_802_11_ASSOCIATION_INFORMATION = 0x0D01011F;
inline constexpr std::uint32_t OID_802_11_NETWORK_TYPES_SUPPORTED = 0x0D010203;
inline constexpr std::uint32_t OID_802_11_NETWORK_TYPE_IN_USE = 0x0D010204;
inline constexpr std::uint32_t OID_802_11_TX_POWER_LEVEL = 0x0D010205;
inline constexpr std::uint32_t OID_802_11_RSSI = 0x0D010206;
inline constexpr std::uint32_t OID_802_11_RSSI_TRIGGER = 0x0D010207;
inline constexpr std::uint32_t OID_802_11_SUPPORTED_RATES = 0x0D01020E;
inline constexpr std::uint32_t OID_802_11_CONFIGURATION = 0x0D010211;
inline constexpr std::uint32_t OID_802_11_BSSID_LIST = 0x0D010217;

// Control codes: CTL_CODE(device type, function, method, access).
constexpr std::uint32_t MakeControlCode(std::uint32_t deviceType, std::uint32_t function,
                                        std::uint32_t method, std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

inline constexpr std::uint32_t FILE_DEVICE_NETWORK = 0x12;
inline constexpr std::uint32_t FILE_DEVICE_PHYSICAL_NETCARD = 0x17;
inline constexpr std::uint32_t METHOD_BUFFERED = 0;
inline constexpr std::uint32_t METHOD_OUT_DIRECT = 2;
inline constexpr std::uint32_t FILE_ANY_ACCESS = 0;
inline constexpr std::uint32_t FILE_READ_WRITE_ACCESS = 3;

// The protocol driver's codes (buffered, network device, read and write access).
inline constexpr std::uint32_t IOCTL_TARVIK_OPEN_DEVICE = 0x0012C800;
inline constexpr std::uint32_t IOCTL_TARVIK_QUERY_OID = 0x0012C804;
inline constexpr std::uint32_t IOCTL_TARVIK_QUERY_BINDING = 0x0012C80C;
inline constexpr std::uint32_t IOCTL_TARVIK_BIND_WAIT = 0x0012C810;
inline constexpr std::uint32_t IOCTL_TARVIK_SET_OID = 0x0012C814;
// The operating system's direct query on an adapter's own device.
inline constexpr std::uint32_t IOCTL_NDIS_QUERY_GLOBAL_STATS = 0x00170002;

static_assert(IOCTL_TARVIK_OPEN_DEVICE ==
              MakeControlCode(FILE_DEVICE_NETWORK, 0x200, METHOD_BUFFERED, FILE_READ_WRITE_ACCESS));
static_assert(IOCTL_TARVIK_QUERY_OID ==
              MakeControlCode(FILE_DEVICE_NETWORK, 0x201, METHOD_BUFFERED, FILE_READ_WRITE_ACCESS));
static_assert(IOCTL_TARVIK_QUERY_BINDING ==
              MakeControlCode(FILE_DEVICE_NETWORK, 0x203, METHOD_BUFFERED, FILE_READ_WRITE_ACCESS));
static_assert(IOCTL_TARVIK_BIND_WAIT ==
              MakeControlCode(FILE_DEVICE_NETWORK, 0x204, METHOD_BUFFERED, FILE_READ_WRITE_ACCESS));
static_assert(IOCTL_TARVIK_SET_OID ==
              MakeControlCode(FILE_DEVICE_NETWORK, 0x205, METHOD_BUFFERED, FILE_READ_WRITE_ACCESS));
static_assert(IOCTL_NDIS_QUERY_GLOBAL_STATS ==
              MakeControlCode(FILE_DEVICE_PHYSICAL_NETCARD, 0, METHOD_OUT_DIRECT, FILE_ANY_ACCESS));

struct OidInfo {
    std::string_view name;  // "OID_802_11_BSSID_LIST"
    std::uint32_t number;
};

// Every OID above, once each; OID_802_11_ENCRYPTION_STATUS is listed before
// its older alias OID_802_11_WEP_STATUS.
std::span<const OidInfo> KnownOids();

// The published name of a number, or "" when it is not in the table.
std::string_view OidName(std::uint32_t number);

// The number of a published name (exact, case-sensitive), or nothing.
std::optional<std::uint32_t> OidFromName(std::string_view name);

// A name from the table or a number in C notation ("0x0D010217", "218169879").
std::optional<std::uint32_t> ParseOidText(std::string_view text);

}  // namespace tarvik::ndis
