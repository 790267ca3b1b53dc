#include "ndis/BssidEntry.h"

#include <algorithm>
#include <cstddef>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace layout = bssid_ex_layout;

namespace {

// The published declaration, transcribed field by field. Every member is
// naturally aligned, so the compiler's layout is the wire layout; the
// asserts tie the offsets above to it.
struct PublishedFhConfig {
    std::uint32_t Length, HopPattern, HopSet, DwellTime;
};
struct PublishedConfiguration {
    std::uint32_t Length, BeaconPeriod, ATIMWindow, DSConfig;
    PublishedFhConfig FHConfig;
};
struct PublishedSsid {
    std::uint32_t SsidLength;
    std::uint8_t Ssid[32];
};
struct PublishedWlanBssidEx {
    std::uint32_t Length;
    std::uint8_t MacAddress[6];
    std::uint8_t Reserved[2];
    PublishedSsid Ssid;
    std::uint32_t Privacy;
    std::int32_t Rssi;
    std::uint32_t NetworkTypeInUse;
    PublishedConfiguration Configuration;
    std::uint32_t InfrastructureMode;
    std::uint8_t SupportedRates[16];
    std::uint32_t IELength;
    std::uint8_t IEs[1];
};

static_assert(sizeof(PublishedConfiguration) == configuration_layout::kSize);
static_assert(offsetof(PublishedConfiguration, FHConfig) == configuration_layout::kFhLength);
static_assert(offsetof(PublishedConfiguration, DSConfig) == configuration_layout::kDsConfig);
static_assert(offsetof(PublishedWlanBssidEx, MacAddress) == layout::kMacAddress);
static_assert(offsetof(PublishedWlanBssidEx, Reserved) == layout::kReserved);
static_assert(offsetof(PublishedWlanBssidEx, Ssid) == layout::kSsidLength);
static_assert(offsetof(PublishedWlanBssidEx, Ssid.Ssid) == layout::kSsid);
static_assert(offsetof(PublishedWlanBssidEx, Privacy) == layout::kPrivacy);
static_assert(offsetof(PublishedWlanBssidEx, Rssi) == layout::kRssi);
static_assert(offsetof(PublishedWlanBssidEx, NetworkTypeInUse) == layout::kNetworkTypeInUse);
static_assert(offsetof(PublishedWlanBssidEx, Configuration) == layout::kConfiguration);
static_assert(offsetof(PublishedWlanBssidEx, InfrastructureMode) == layout::kInfrastructureMode);
static_assert(offsetof(PublishedWlanBssidEx, SupportedRates) == layout::kSupportedRates);
static_assert(offsetof(PublishedWlanBssidEx, IELength) == layout::kIeLength);
static_assert(offsetof(PublishedWlanBssidEx, IEs) == layout::kIes);
static_assert(layout::kFixedSize == layout::kIes);

}  // namespace

void BssidEntryFields::SetSsid(std::string_view text) {
    ssid.fill(0);
    ssidLength = static_cast<std::uint32_t>(std::min(text.size(), ssid.size()));
    std::copy_n(text.begin(), ssidLength, ssid.begin());
}

std::vector<std::uint8_t> BuildBssidEntry(const BssidEntryFields& fields) {
    const std::size_t ieLength = layout::kIeFixedFieldsSize + fields.elements.size();
    const std::size_t length = (layout::kFixedSize + ieLength + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> out(length, 0);
    std::uint8_t* p = out.data();
    StoreLe32(p + layout::kLength, static_cast<std::uint32_t>(length));
    std::copy(fields.macAddress.begin(), fields.macAddress.end(), p + layout::kMacAddress);
    StoreLe32(p + layout::kSsidLength, fields.ssidLength);
    std::copy(fields.ssid.begin(), fields.ssid.end(), p + layout::kSsid);
    StoreLe32(p + layout::kPrivacy, fields.privacy);
    StoreLe32(p + layout::kRssi, static_cast<std::uint32_t>(fields.rssi));
    StoreLe32(p + layout::kNetworkTypeInUse, fields.networkTypeInUse);
    StoreConfiguration(p + layout::kConfiguration, fields.configuration);
    StoreLe32(p + layout::kInfrastructureMode, fields.infrastructureMode);
    std::copy(fields.supportedRates.begin(), fields.supportedRates.end(),
              p + layout::kSupportedRates);
    StoreLe32(p + layout::kIeLength, static_cast<std::uint32_t>(ieLength));
    std::uint8_t* ies = p + layout::kIes;
    StoreLe64(ies + layout::kIeTimestamp, fields.timestamp);
    StoreLe16(ies + layout::kIeBeaconInterval, fields.beaconInterval);
    StoreLe16(ies + layout::kIeCapabilityInfo, fields.capabilityInfo);
    std::copy(fields.elements.begin(), fields.elements.end(), ies + layout::kIeFixedFieldsSize);
    return out;
}

NdisError CheckBssidItem(std::span<const std::uint8_t> bytes, std::uint32_t& length) {
    if (bytes.size() < sizeof(std::uint32_t)) return NdisError::TruncatedHeader;
    length = LoadLe32(bytes.data() + layout::kLength);
    if (length < layout::kFixedSize) return NdisError::ItemLengthBelowFixedPart;
    if (length > bytes.size()) return NdisError::ItemLengthPastBuffer;
    return NdisError::None;
}

std::optional<BssidEntry> BssidEntry::FromBytes(std::span<const std::uint8_t> bytes,
                                                NdisError* error) {
    std::uint32_t length = 0;
    NdisError result = CheckBssidItem(bytes, length);
    if (result == NdisError::None && length != bytes.size()) {
        result = NdisError::LengthFieldMismatch;
    }
    if (error) *error = result;
    if (result != NdisError::None) return std::nullopt;
    return BssidEntry(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

BssidEntry BssidEntry::FromFields(const BssidEntryFields& fields) {
    return BssidEntry(BuildBssidEntry(fields));
}

std::uint32_t BssidEntry::U32(std::size_t offset) const {
    return LoadLe32(bytes_.data() + offset);
}

std::uint32_t BssidEntry::Length() const {
    return U32(layout::kLength);
}

MacAddress BssidEntry::GetMacAddress() const {
    MacAddress mac;
    std::copy_n(bytes_.begin() + layout::kMacAddress, mac.size(), mac.begin());
    return mac;
}

std::uint32_t BssidEntry::SsidLength() const {
    return U32(layout::kSsidLength);
}

std::span<const std::uint8_t> BssidEntry::Ssid() const {
    const std::size_t n = std::min<std::size_t>(SsidLength(), layout::kSsidCapacity);
    return std::span(bytes_).subspan(layout::kSsid, n);
}

std::uint32_t BssidEntry::Privacy() const {
    return U32(layout::kPrivacy);
}

std::int32_t BssidEntry::Rssi() const {
    return static_cast<std::int32_t>(U32(layout::kRssi));
}

std::uint32_t BssidEntry::NetworkTypeInUse() const {
    return U32(layout::kNetworkTypeInUse);
}

Configuration80211 BssidEntry::GetConfiguration() const {
    return LoadConfiguration(bytes_.data() + layout::kConfiguration);
}

std::uint32_t BssidEntry::InfrastructureMode() const {
    return U32(layout::kInfrastructureMode);
}

std::array<std::uint8_t, 16> BssidEntry::SupportedRates() const {
    std::array<std::uint8_t, 16> rates;
    std::copy_n(bytes_.begin() + layout::kSupportedRates, rates.size(), rates.begin());
    return rates;
}

std::uint32_t BssidEntry::IeLength() const {
    return U32(layout::kIeLength);
}

std::span<const std::uint8_t> BssidEntry::Ies() const {
    const std::size_t inside = bytes_.size() - layout::kIes;
    return std::span(bytes_).subspan(layout::kIes, std::min<std::size_t>(IeLength(), inside));
}

bool BssidEntry::IesCut() const {
    return IeLength() > bytes_.size() - layout::kIes;
}

bool BssidEntry::HasFixedFields() const {
    return Ies().size() >= layout::kIeFixedFieldsSize;
}

std::uint64_t BssidEntry::Timestamp() const {
    return HasFixedFields() ? LoadLe64(Ies().data() + layout::kIeTimestamp) : 0;
}

std::uint16_t BssidEntry::BeaconInterval() const {
    return HasFixedFields() ? LoadLe16(Ies().data() + layout::kIeBeaconInterval) : 0;
}

std::uint16_t BssidEntry::CapabilityInfo() const {
    return HasFixedFields() ? LoadLe16(Ies().data() + layout::kIeCapabilityInfo) : 0;
}

std::span<const std::uint8_t> BssidEntry::TaggedElements() const {
    if (!HasFixedFields()) return {};
    return Ies().subspan(layout::kIeFixedFieldsSize);
}

BssidEntryFields BssidEntry::ToFields() const {
    BssidEntryFields fields;
    fields.macAddress = GetMacAddress();
    fields.ssidLength = SsidLength();
    std::copy_n(bytes_.begin() + layout::kSsid, fields.ssid.size(), fields.ssid.begin());
    fields.privacy = Privacy();
    fields.rssi = Rssi();
    fields.networkTypeInUse = NetworkTypeInUse();
    fields.configuration = GetConfiguration();
    fields.infrastructureMode = InfrastructureMode();
    fields.supportedRates = SupportedRates();
    fields.timestamp = Timestamp();
    fields.beaconInterval = BeaconInterval();
    fields.capabilityInfo = CapabilityInfo();
    const auto tagged = TaggedElements();
    fields.elements.assign(tagged.begin(), tagged.end());
    return fields;
}

}  // namespace tarvik::ndis
