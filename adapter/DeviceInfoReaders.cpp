// CAdapter's Device Information readers and its packet counters: each value
// is read fresh through the driver and turned into the text the page shows.
#include <vector>

#include "adapter/Adapter.h"
#include "ndis/ByteOrder.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"

namespace tarvik {

using namespace ndis;  // the OID numbers

namespace {

constexpr std::uint32_t kStatisticOids[STAT_COUNT] = {
    OID_GEN_XMIT_OK, OID_GEN_RCV_OK, OID_GEN_XMIT_ERROR, OID_GEN_RCV_ERROR, OID_GEN_RCV_NO_BUFFER};

std::uint32_t EnumeratedOid(DeviceInfoField field) {
    switch (field) {
        case DI_MEDIA_STATE:
            return OID_GEN_MEDIA_CONNECT_STATUS;
        case DI_NETWORK_MODE:
            return OID_802_11_INFRASTRUCTURE_MODE;
        case DI_AUTHENTICATION_MODE:
            return OID_802_11_AUTHENTICATION_MODE;
        default:
            return OID_802_11_ENCRYPTION_STATUS;
    }
}

std::vector<std::string> Masks(const driverio::IpConfigRecord& config) {
    std::vector<std::string> masks;
    for (const auto& address : config.addresses) masks.push_back(address.mask);
    return masks;
}

std::vector<std::string> Addresses(const driverio::IpConfigRecord& config) {
    std::vector<std::string> addresses;
    for (const auto& address : config.addresses) addresses.push_back(address.address);
    return addresses;
}

}  // namespace

void CAdapter::ReadStatistics(bool baseline) {
    AdapterStatistics& block = baseline ? statisticsBaseline_ : statistics_;
    if (baseline) block = {};
    for (int i = 0; i < STAT_COUNT; ++i) {
        std::uint32_t value = 0;
        const bool valid = QueryU32(kStatisticOids[i], value) == 0;
        block[i] = {valid ? value : 0, valid ? 1u : 0u};
    }
}

const std::string& CAdapter::ReadDeviceInfoText(DeviceInfoField field) {
    if (field < 0 || field >= DI_FIELD_COUNT) return displayTexts_[DI_VENDOR_DESCRIPTION];
    if (auto text = ReadDeviceInfoValue(field)) displayTexts_[field] = std::move(*text);
    return displayTexts_[field];
}

std::optional<std::string> CAdapter::ReadDeviceInfoValue(DeviceInfoField field) {
    switch (field) {
        case DI_VENDOR_DESCRIPTION:
            return vendorDescription_;
        case DI_REGISTRY_DESCRIPTION:
            ReadRegistryDescription();
            return registryDescription_;
        case DI_DEVICE_ID:
            return DeviceName();
        case DI_PHYSICAL_MEDIUM:
            QueryPhysicalMedium();  // a failed query keeps the stored medium
            return adapterTypeText_;
        case DI_LINK_SPEED: {
            std::uint32_t speed = 0;
            if (QueryU32(OID_GEN_LINK_SPEED, speed) != 0) return kNotSupportedText;
            return FormatLinkSpeed(speed);
        }
        case DI_SIGNAL_STRENGTH:
            return ReadU32Text(OID_802_11_RSSI, "dBm");
        case DI_CURRENT_ADDRESS:
            return ReadMacText(OID_802_3_CURRENT_ADDRESS, currentAddress_);
        case DI_PERMANENT_ADDRESS:
            return ReadMacText(OID_802_3_PERMANENT_ADDRESS, permanentAddress_);
        case DI_NETWORK_TYPES:
            return ReadNetworkTypesText();
        case DI_TRANSMIT_POWER:
            return ReadU32Text(OID_802_11_TX_POWER_LEVEL, "mW");
        case DI_RSSI_TRIGGER:
            return ReadU32Text(OID_802_11_RSSI_TRIGGER, "dBm");
        case DI_BEST_RATE:
            return ReadBestRateText();
        case DI_MEDIA_STATE:
        case DI_NETWORK_MODE:
        case DI_AUTHENTICATION_MODE:
        case DI_ENCRYPTION_STATUS:
            return ReadEnumeratedText(field);
        case DI_SSID:
            return ReadSsidText();
        case DI_BSSID:
            return ReadBssidText();
        default:
            return ReadIpHelperText(field);
    }
}

std::optional<std::string> CAdapter::ReadIpHelperText(DeviceInfoField field) {
    ReadIpHelperData();
    const driverio::IpConfigRecord config = IpConfig().value_or(driverio::IpConfigRecord{});
    switch (field) {
        case DI_IP_ADDRESS:
            return JoinListed(Addresses(config), "");
        case DI_SUBNET_MASK:
            return JoinListed(Masks(config), "");
        case DI_DEFAULT_GATEWAY:
            return JoinListed(config.gateways, kNoneText);
        case DI_DNS_SERVERS:
            return JoinListed(config.dnsServers, kNoneText);
        case DI_DHCP_ENABLED:
            return config.dhcpEnabled ? "Yes" : "No";
        case DI_DHCP_SERVER:
            return config.dhcpServer;
        case DI_LEASE_OBTAINED:
            return FormatLeaseTime(config.leaseObtained);
        case DI_LEASE_EXPIRES:
            return FormatLeaseTime(config.leaseExpires);
        case DI_WINS_SERVERS:
            return FormatWins(config.primaryWins, config.secondaryWins);
        default:
            return std::nullopt;
    }
}

// Media state, network mode, authentication mode and encryption status: the
// adapter keeps the reply; a value outside the list keeps the text.
std::optional<std::string> CAdapter::ReadEnumeratedText(DeviceInfoField field) {
    std::uint32_t value = 0;
    if (QueryU32(EnumeratedOid(field), value) != 0) return kNotSupportedText;
    switch (field) {
        case DI_MEDIA_STATE:
            mediaStatus_ = value;
            break;
        case DI_NETWORK_MODE:
            infrastructureMode_ = value;
            break;
        case DI_AUTHENTICATION_MODE:
            authenticationMode_ = value;
            break;
        default:
            encryptionStatus_ = value;
            break;
    }
    return EnumeratedText(field, value);
}

std::string CAdapter::ReadU32Text(std::uint32_t oid, const char* unit) {
    std::uint32_t value = 0;
    if (QueryU32(oid, value) != 0) return kNotSupportedText;
    return FormatSigned(value, unit);
}

std::string CAdapter::ReadMacText(std::uint32_t oid, ndis::MacAddress& mac) {
    if (QueryMac(oid, mac) != 0) return kNotSupportedText;
    return FormatMac(mac);
}

std::string CAdapter::ReadNetworkTypesText() {
    std::vector<std::uint8_t> reply(kNetworkTypesReplySize, 0);
    std::uint32_t length = 0;
    if (QueryAdapterData(OID_802_11_NETWORK_TYPES_SUPPORTED, reply, length) != 0) {
        return kNotSupportedText;
    }
    return FormatNetworkTypes(std::span(reply).first(length));
}

std::string CAdapter::ReadBestRateText() {
    if (!IsWireless()) return kNotSupportedText;
    std::uint8_t rates[kSupportedRatesReplySize] = {};
    std::uint32_t count = 0;
    if (QueryAdapterOid(OID_802_11_SUPPORTED_RATES, rates, sizeof(rates), &count) != 0) {
        return kNotSupportedText;
    }
    return FormatBestRate(rates);
}

std::string CAdapter::ReadSsidText() {
    if (!IsWireless()) return kNotSupportedText;
    std::uint8_t reply[ssid_layout::kSize] = {};
    std::uint32_t count = 0;
    if (QueryAdapterOid(OID_802_11_SSID, reply, sizeof(reply), &count) != 0) {
        return kErrorRetrievingText;
    }
    return FormatSsid(reply);
}

std::string CAdapter::ReadBssidText() {
    if (QueryAssociatedBssid() != 0) return IsWireless() ? kNotSetText : kNotSupportedText;
    return FormatMac(associatedBssid_);
}

}  // namespace tarvik
