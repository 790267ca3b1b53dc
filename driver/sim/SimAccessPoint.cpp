#include "driver/sim/SimAccessPoint.h"

#include "driver/sim/SignalTimeline.h"
#include "driver/sim/SimSecurity.h"
#include "ndis/Elements.h"
#include "ndis/NdisTypes.h"

namespace tarvik::driver::sim {

namespace {

constexpr std::uint16_t kCapabilityEss = 0x0001;
constexpr std::uint16_t kCapabilityIbss = 0x0002;
constexpr std::uint16_t kCapabilityPrivacy = 0x0010;
constexpr std::uint16_t kCapabilityShortPreamble = 0x0020;
constexpr std::uint16_t kCapabilityShortSlot = 0x0400;
constexpr std::uint8_t kElementFhParameterSet = 2;
constexpr std::uint8_t kElementIbssParameterSet = 6;
constexpr std::uint8_t kElementErp = 42;

void Append(std::vector<std::uint8_t>& out, const std::optional<std::vector<std::uint8_t>>& in) {
    if (in) out.insert(out.end(), in->begin(), in->end());
}

}  // namespace

SimAccessPoint::SimAccessPoint(const AccessPoint& config) : config_(config) {
    for (const Rate& rate : config_.rates) {
        rates_.push_back(static_cast<std::uint8_t>(rate.units | (rate.basic ? 0x80 : 0)));
    }
    wpaElement_ = SecurityElementBytes(config_.wpa, false);
    rsnElement_ = SecurityElementBytes(config_.rsn, true);
    BuildElements();
}

void SimAccessPoint::BuildElements() {
    // Element order of a beacon: SSID, rates, FH/DS, IBSS, ERP, RSN, vendor.
    if (config_.hiddenSsid) {
        Append(elements_, ndis::BuildSsidElement(std::string_view()));
    } else {
        Append(elements_, ndis::BuildSsidElement(std::string_view(config_.ssid)));
    }
    Append(elements_, ndis::BuildRateElements(rates_));
    if (config_.networkType == NetworkType::FH) {
        const std::uint8_t body[] = {static_cast<std::uint8_t>(config_.dwellTime),
                                     static_cast<std::uint8_t>(config_.dwellTime >> 8),
                                     static_cast<std::uint8_t>(config_.hopSet),
                                     static_cast<std::uint8_t>(config_.hopPattern), 1};
        Append(elements_, ndis::BuildElement(kElementFhParameterSet, body));
    } else if (config_.networkType != NetworkType::OFDM5) {
        const auto ds =
            ndis::BuildDsParameterSetElement(static_cast<std::uint8_t>(config_.channel));
        elements_.insert(elements_.end(), ds.begin(), ds.end());
    }
    if (config_.adHoc) {
        const std::uint8_t body[] = {static_cast<std::uint8_t>(config_.atimWindow),
                                     static_cast<std::uint8_t>(config_.atimWindow >> 8)};
        Append(elements_, ndis::BuildElement(kElementIbssParameterSet, body));
    }
    if (config_.networkType == NetworkType::OFDM24) {
        const std::uint8_t body[] = {0};
        Append(elements_, ndis::BuildElement(kElementErp, body));
    }
    elements_.insert(elements_.end(), rsnElement_.begin(), rsnElement_.end());
    elements_.insert(elements_.end(), wpaElement_.begin(), wpaElement_.end());
}

bool SimAccessPoint::IsOnAir(double seconds) const {
    return sim::IsOnAir(config_.signal, seconds);
}

int SimAccessPoint::Rssi(double seconds) const {
    return RssiAt(config_.signal, seconds);
}

std::uint16_t SimAccessPoint::CapabilityInfo() const {
    std::uint16_t capability = config_.adHoc ? kCapabilityIbss : kCapabilityEss;
    if (config_.privacy) capability |= kCapabilityPrivacy;
    if (config_.networkType == NetworkType::DS || config_.networkType == NetworkType::OFDM24) {
        capability |= kCapabilityShortPreamble;
    }
    if (config_.networkType == NetworkType::OFDM24) capability |= kCapabilityShortSlot;
    return capability;
}

ndis::Configuration80211 SimAccessPoint::Configuration() const {
    ndis::Configuration80211 configuration;
    configuration.beaconPeriod = config_.beaconPeriod;
    configuration.atimWindow = config_.atimWindow;
    configuration.dsConfig = config_.frequencyKhz;
    configuration.fh = {config_.hopPattern, config_.hopSet, config_.dwellTime};
    return configuration;
}

ndis::BssidEntryFields SimAccessPoint::ScanEntry(double seconds, int rssi) const {
    ndis::BssidEntryFields fields;
    fields.macAddress = config_.bssid;
    if (!config_.hiddenSsid) fields.SetSsid(config_.ssid);
    fields.privacy = config_.privacy ? 1 : 0;
    fields.rssi = rssi;
    fields.networkTypeInUse = static_cast<std::uint32_t>(config_.networkType);
    fields.configuration = Configuration();
    fields.infrastructureMode =
        config_.adHoc ? ndis::Ndis802_11IBSS : ndis::Ndis802_11Infrastructure;
    for (std::size_t i = 0; i < rates_.size() && i < fields.supportedRates.size(); ++i) {
        fields.supportedRates[i] = rates_[i];
    }
    // The timer of a BSS counts microseconds since it came up; each one
    // starts at its own offset.
    const std::uint64_t offset = (static_cast<std::uint64_t>(config_.bssid[4]) << 32) |
                                 (static_cast<std::uint64_t>(config_.bssid[5]) << 24);
    fields.timestamp = offset + static_cast<std::uint64_t>(seconds * 1e6);
    fields.beaconInterval = static_cast<std::uint16_t>(config_.beaconPeriod);
    fields.capabilityInfo = CapabilityInfo();
    fields.elements = elements_;
    return fields;
}

}  // namespace tarvik::driver::sim
