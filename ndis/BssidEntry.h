// NDIS_WLAN_BSSID_EX: one item of an OID_802_11_BSSID_LIST reply.
//
// Layout (little-endian, 32-bit fields unless noted):
//    0 Length        total item size, elements and padding included
//    4 MacAddress[6]                 10 Reserved[2]
//   12 Ssid: SsidLength, 16 Ssid[32]
//   48 Privacy       52 Rssi (signed dBm)       56 NetworkTypeInUse
//   60 Configuration (32 bytes, see Configuration.h)
//   92 InfrastructureMode            96 SupportedRates[16]
//  112 IELength     116 IEs[IELength]
// The fixed part is 116 bytes. The IEs begin with 12 fixed bytes (timestamp 8,
// beacon interval 2, capability information 2), then the tagged elements.
//
// A BssidEntry owns an exact copy of one item's bytes (Length bytes), the form
// the network record keeps and the scan file stores; the accessors read the
// copy. It can only be made from bytes that passed the checks below, so every
// accessor stays inside the copy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "ndis/Configuration.h"
#include "ndis/NdisError.h"
#include "ndis/NdisTypes.h"

namespace tarvik::ndis {

namespace bssid_ex_layout {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kMacAddress = 4;
inline constexpr std::size_t kReserved = 10;
inline constexpr std::size_t kSsidLength = 12;
inline constexpr std::size_t kSsid = 16;
inline constexpr std::size_t kSsidCapacity = 32;
inline constexpr std::size_t kPrivacy = 48;
inline constexpr std::size_t kRssi = 52;
inline constexpr std::size_t kNetworkTypeInUse = 56;
inline constexpr std::size_t kConfiguration = 60;
inline constexpr std::size_t kInfrastructureMode = 92;
inline constexpr std::size_t kSupportedRates = 96;
inline constexpr std::size_t kSupportedRatesSize = 16;
inline constexpr std::size_t kIeLength = 112;
inline constexpr std::size_t kIes = 116;
inline constexpr std::size_t kFixedSize = 116;
// Inside the IEs.
inline constexpr std::size_t kIeTimestamp = 0;
inline constexpr std::size_t kIeBeaconInterval = 8;
inline constexpr std::size_t kIeCapabilityInfo = 10;
inline constexpr std::size_t kIeFixedFieldsSize = 12;
}  // namespace bssid_ex_layout

// The fields of one item as plain values, for building items and for reading
// them back whole.
struct BssidEntryFields {
    MacAddress macAddress{};
    std::uint32_t ssidLength = 0;  // written as given, even above 32
    std::array<std::uint8_t, 32> ssid{};
    std::uint32_t privacy = 0;
    std::int32_t rssi = 0;
    std::uint32_t networkTypeInUse = Ndis802_11DS;
    Configuration80211 configuration;
    std::uint32_t infrastructureMode = Ndis802_11Infrastructure;
    std::array<std::uint8_t, 16> supportedRates{};  // 500 kbit/s units, 0x80 = basic
    std::uint64_t timestamp = 0;
    std::uint16_t beaconInterval = 100;
    std::uint16_t capabilityInfo = 0;
    std::vector<std::uint8_t> elements;  // tagged elements after the 12 fixed bytes

    // Sets ssid and ssidLength from text; text past 32 bytes is cut.
    void SetSsid(std::string_view text);
    bool operator==(const BssidEntryFields&) const = default;
};

// One item's bytes: IELength = 12 + elements, Length = 116 + IELength rounded
// up to a multiple of 4 (zero padding), as drivers align consecutive items.
std::vector<std::uint8_t> BuildBssidEntry(const BssidEntryFields& fields);

// Checks an item that starts at bytes[0] and may have more bytes after it:
// its Length is readable, at least the fixed part, and within `bytes`. On
// success `length` is the item's Length. An IELength that runs past the item
// does not fail the item: its readers see only the element bytes inside it.
NdisError CheckBssidItem(std::span<const std::uint8_t> bytes, std::uint32_t& length);

class BssidEntry {
  public:
    // Takes a copy of exactly one item: the checks of CheckBssidItem, and the
    // Length field must equal bytes.size() (LengthFieldMismatch otherwise).
    // The copy keeps the IELength field as given, even when it overruns.
    static std::optional<BssidEntry> FromBytes(std::span<const std::uint8_t> bytes,
                                               NdisError* error = nullptr);
    static BssidEntry FromFields(const BssidEntryFields& fields);

    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    std::uint32_t Length() const;
    MacAddress GetMacAddress() const;
    std::uint32_t SsidLength() const;            // as stored, may exceed 32
    std::span<const std::uint8_t> Ssid() const;  // at most 32 bytes
    std::uint32_t Privacy() const;
    std::int32_t Rssi() const;
    std::uint32_t NetworkTypeInUse() const;
    Configuration80211 GetConfiguration() const;
    std::uint32_t InfrastructureMode() const;
    std::array<std::uint8_t, 16> SupportedRates() const;
    std::uint32_t IeLength() const;  // as stored, may run past the item
    // IELength bytes, fixed fields first; cut at the item's end when IELength
    // runs past it (see IesCut).
    std::span<const std::uint8_t> Ies() const;
    bool IesCut() const;

    // The 12 fixed bytes exist only when Ies() holds them; otherwise these are 0.
    bool HasFixedFields() const;
    std::uint64_t Timestamp() const;
    std::uint16_t BeaconInterval() const;
    std::uint16_t CapabilityInfo() const;
    // The tagged elements after the fixed bytes; empty when Ies() has no more.
    std::span<const std::uint8_t> TaggedElements() const;

    // All fields; with fewer than 12 element bytes the fixed fields read as 0
    // and the partial bytes are dropped.
    BssidEntryFields ToFields() const;

    bool operator==(const BssidEntry&) const = default;

  private:
    explicit BssidEntry(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint32_t U32(std::size_t offset) const;

    std::vector<std::uint8_t> bytes_;
};

}  // namespace tarvik::ndis
