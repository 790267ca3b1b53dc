// NDIS_802_11_ASSOCIATION_INFORMATION, the reply to
// OID_802_11_ASSOCIATION_INFORMATION (40-byte header, little-endian):
//   0 Length (u32)
//   4 AvailableRequestFixedIEs (u16, NDIS_802_11_AI_REQFI_* flags)
//   6 RequestFixedIEs: 6 Capabilities  8 ListenInterval  10 CurrentAPAddress[6]
//  16 RequestIELength (u32)   20 OffsetRequestIEs (u32, from the start)
//  24 AvailableResponseFixedIEs (u16, NDIS_802_11_AI_RESFI_* flags)
//  26 ResponseFixedIEs: 26 Capabilities  28 StatusCode  30 AssociationId
//  32 ResponseIELength (u32)  36 OffsetResponseIEs (u32, from the start)
// The element lists (association request and response, without the fixed
// fields) lie wherever the offsets say, normally right behind the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ndis/NdisError.h"
#include "ndis/NdisTypes.h"

namespace tarvik::ndis {

namespace association_information_layout {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kAvailableRequestFixedIes = 4;
inline constexpr std::size_t kRequestCapabilities = 6;
inline constexpr std::size_t kRequestListenInterval = 8;
inline constexpr std::size_t kRequestCurrentApAddress = 10;
inline constexpr std::size_t kRequestIeLength = 16;
inline constexpr std::size_t kOffsetRequestIes = 20;
inline constexpr std::size_t kAvailableResponseFixedIes = 24;
inline constexpr std::size_t kResponseCapabilities = 26;
inline constexpr std::size_t kResponseStatusCode = 28;
inline constexpr std::size_t kResponseAssociationId = 30;
inline constexpr std::size_t kResponseIeLength = 32;
inline constexpr std::size_t kOffsetResponseIes = 36;
inline constexpr std::size_t kSize = 40;
}  // namespace association_information_layout

inline constexpr std::uint16_t NDIS_802_11_AI_REQFI_CAPABILITIES = 1;
inline constexpr std::uint16_t NDIS_802_11_AI_REQFI_LISTENINTERVAL = 2;
inline constexpr std::uint16_t NDIS_802_11_AI_REQFI_CURRENTAPADDRESS = 4;
inline constexpr std::uint16_t NDIS_802_11_AI_RESFI_CAPABILITIES = 1;
inline constexpr std::uint16_t NDIS_802_11_AI_RESFI_STATUSCODE = 2;
inline constexpr std::uint16_t NDIS_802_11_AI_RESFI_ASSOCIATIONID = 4;

struct AssociationInformation {
    std::uint16_t availableRequestFixedIes = 0;
    std::uint16_t requestCapabilities = 0;
    std::uint16_t listenInterval = 0;
    MacAddress currentApAddress{};
    std::uint16_t availableResponseFixedIes = 0;
    std::uint16_t responseCapabilities = 0;
    std::uint16_t statusCode = 0;
    std::uint16_t associationId = 0;
    std::vector<std::uint8_t> requestIes;
    std::vector<std::uint8_t> responseIes;
    bool operator==(const AssociationInformation&) const = default;
};

// Header (Length = 40), then the request elements, then the response elements.
std::vector<std::uint8_t> BuildAssociationInformation(const AssociationInformation& info);

// Fewer than 40 bytes: TruncatedHeader. An element list whose offset and
// length reach past the bytes: RegionPastBuffer (sums in 64 bits). The Length
// field is not checked; drivers fill it with the header size or the total.
std::optional<AssociationInformation> ParseAssociationInformation(
    std::span<const std::uint8_t> bytes, NdisError* error = nullptr);

}  // namespace tarvik::ndis
