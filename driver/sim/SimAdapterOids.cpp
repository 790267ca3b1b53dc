// The OID surface of a simulated card: what each query answers and what each
// set changes, with the errors a card's driver gives.
#include <algorithm>

#include "core/ResultCodes.h"
#include "driver/sim/SimAdapter.h"
#include "driver/sim/SimSecurity.h"
#include "ndis/BssidList.h"
#include "ndis/ByteOrder.h"
#include "ndis/Configuration.h"
#include "ndis/Elements.h"
#include "ndis/Keys.h"
#include "ndis/NdisTypes.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"

namespace tarvik::driver::sim {

namespace {

constexpr std::uint32_t kOid80211Prefix = 0x0D000000;
constexpr std::uint32_t kNoError = 0;
// NDIS_802_11_REMOVE_KEY: Length, KeyIndex, BSSID.
constexpr std::size_t kRemoveKeyIndexOffset = 4;
constexpr std::size_t kRemoveKeySize = 14;

bool Is80211(std::uint32_t oid) {
    return (oid & 0xFF000000) == kOid80211Prefix;
}

std::vector<std::uint8_t> U32(std::uint32_t value) {
    std::vector<std::uint8_t> data;
    ndis::AppendLe32(data, value);
    return data;
}

std::optional<std::uint32_t> ReadU32(std::span<const std::uint8_t> data) {
    if (data.size() < 4) return std::nullopt;
    return ndis::LoadLe32(data.data());
}

bool IsBroadcastOrZero(const MacAddress& mac) {
    const bool broadcast = std::all_of(mac.begin(), mac.end(), [](auto b) { return b == 0xff; });
    const bool zero = std::all_of(mac.begin(), mac.end(), [](auto b) { return b == 0; });
    return broadcast || zero;
}

// Rates in 500 kbit/s units, ascending, without the basic-rate flag.
std::vector<std::uint8_t> SortedUnits(const std::vector<Rate>& rates) {
    std::vector<std::uint8_t> units;
    for (const Rate& rate : rates) units.push_back(rate.units);
    std::sort(units.begin(), units.end());
    units.erase(std::unique(units.begin(), units.end()), units.end());
    return units;
}

}  // namespace

std::uint32_t SimAdapter::QueryOid(std::uint32_t oid, std::size_t capacity,
                                   std::vector<std::uint8_t>& out, std::size_t& needed) {
    needed = 0;
    std::vector<std::uint8_t> data;
    const std::uint32_t error = QueryData(oid, capacity, data);
    if (error != kNoError) return error;
    needed = data.size();
    if (data.size() > capacity) return ERROR_INSUFFICIENT_BUFFER;
    out = std::move(data);
    return kNoError;
}

std::uint32_t SimAdapter::QueryData(std::uint32_t oid, std::size_t capacity,
                                    std::vector<std::uint8_t>& data) {
    using namespace ndis;
    if (TakeScenarioReply(oid, data)) return kNoError;
    switch (oid) {
        case OID_GEN_LINK_SPEED:
            data = U32(LinkSpeed());
            return kNoError;
        case OID_GEN_VENDOR_DESCRIPTION:
            data.assign(config_.vendorDescription.begin(), config_.vendorDescription.end());
            data.push_back(0);
            return kNoError;
        case OID_GEN_MEDIA_CONNECT_STATUS:
            data = U32(!config_.wireless || session_ ? NdisMediaStateConnected
                                                     : NdisMediaStateDisconnected);
            return kNoError;
        case OID_GEN_PHYSICAL_MEDIUM:
            data = U32(config_.wireless ? NdisPhysicalMediumWirelessLan
                                        : NdisPhysicalMediumUnspecified);
            return kNoError;
        case OID_GEN_XMIT_OK:
            data = U32(counters_.xmitOk);
            return kNoError;
        case OID_GEN_RCV_OK:
            data = U32(counters_.rcvOk);
            return kNoError;
        case OID_GEN_XMIT_ERROR:
            data = U32(counters_.xmitError);
            return kNoError;
        case OID_GEN_RCV_ERROR:
            data = U32(counters_.rcvError);
            return kNoError;
        case OID_GEN_RCV_NO_BUFFER:
            data = U32(counters_.rcvNoBuffer);
            return kNoError;
        case OID_802_3_PERMANENT_ADDRESS:
            data.assign(config_.permanentMac.begin(), config_.permanentMac.end());
            return kNoError;
        case OID_802_3_CURRENT_ADDRESS:
            data.assign(config_.currentMac.begin(), config_.currentMac.end());
            return kNoError;
        default:
            break;
    }
    if (!Is80211(oid) || !config_.wireless) return ERROR_NOT_SUPPORTED;
    const AccessPoint* ap = session_ ? &session_->Ap().Config() : nullptr;
    switch (oid) {
        case OID_802_11_BSSID:
            if (!ap) return kErrorNotReady;
            data.assign(ap->bssid.begin(), ap->bssid.end());
            return kNoError;
        case OID_802_11_SSID:
            data = *BuildSsid(std::string_view(ap ? ap->ssid : std::string()));
            return kNoError;
        case OID_802_11_INFRASTRUCTURE_MODE:
            data = U32(infrastructureMode_);
            return kNoError;
        case OID_802_11_AUTHENTICATION_MODE:
            data = U32(authenticationMode_);
            return kNoError;
        case OID_802_11_ENCRYPTION_STATUS:
            data = U32(ReportedEncryptionStatus());
            return kNoError;
        case OID_802_11_RSSI:
            if (!ap) return kErrorNotReady;
            data = U32(static_cast<std::uint32_t>(session_->Ap().Rssi(Seconds(now_))));
            return kNoError;
        case OID_802_11_BSSID_LIST:
            data = BuildBssidList(scanList_);
            return kNoError;
        case OID_802_11_NETWORK_TYPES_SUPPORTED: {
            const auto& types = config_.capabilities.networkTypes;
            data = U32(static_cast<std::uint32_t>(types.size()));
            for (NetworkType type : types) AppendLe32(data, static_cast<std::uint32_t>(type));
            return kNoError;
        }
        case OID_802_11_NETWORK_TYPE_IN_USE: {
            const auto& types = config_.capabilities.networkTypes;
            NetworkType type = types.empty() ? NetworkType::DS : types.back();
            if (ap) type = ap->networkType;
            data = U32(static_cast<std::uint32_t>(type));
            return kNoError;
        }
        case OID_802_11_TX_POWER_LEVEL:
            data = U32(config_.capabilities.txPowerMw);
            return kNoError;
        case OID_802_11_RSSI_TRIGGER:
            data = U32(static_cast<std::uint32_t>(rssiTrigger_));
            return kNoError;
        case OID_802_11_SUPPORTED_RATES:
            data = SupportedRatesReply(capacity);
            return kNoError;
        case OID_802_11_CONFIGURATION:
            if (!ap) return kErrorNotReady;
            data = BuildConfiguration(session_->Ap().Configuration());
            return kNoError;
        case OID_802_11_ASSOCIATION_INFORMATION:
            if (associationInfo_.empty()) return kErrorNotReady;
            data = associationInfo_;
            return kNoError;
        default:
            return ERROR_NOT_SUPPORTED;
    }
}

bool SimAdapter::TakeScenarioReply(std::uint32_t oid, std::vector<std::uint8_t>& data) {
    const auto found = config_.replies.find(oid);
    if (found == config_.replies.end() || found->second.empty()) return false;
    std::size_t& given = repliesGiven_[oid];
    data = U32(found->second[std::min(given, found->second.size() - 1)]);
    ++given;
    return true;
}

std::vector<std::uint8_t> SimAdapter::SupportedRatesReply(std::size_t capacity) const {
    // NDIS_802_11_RATES_EX (16 bytes) when the caller has room for it; the
    // older 8-byte NDIS_802_11_RATES otherwise, keeping the fastest rates.
    std::vector<std::uint8_t> units = SortedUnits(config_.capabilities.rates);
    const std::size_t size = capacity >= 16 ? 16 : 8;
    if (units.size() > size) units.erase(units.begin(), units.end() - static_cast<long>(size));
    units.resize(size, 0);
    return units;
}

std::uint32_t SimAdapter::LinkSpeed() const {
    // OID_GEN_LINK_SPEED counts in 100 bit/s; one rate unit is 5000 of them.
    constexpr std::uint32_t kPerUnit = 5000;
    if (!session_) return config_.capabilities.linkSpeedMbps * 10000;
    const auto card = SortedUnits(config_.capabilities.rates);
    const auto ap = SortedUnits(session_->Ap().Config().rates);
    std::vector<std::uint8_t> common;
    std::set_intersection(card.begin(), card.end(), ap.begin(), ap.end(),
                          std::back_inserter(common));
    if (common.empty()) return 0;
    // Rate adaptation: weaker signals use slower rates.
    const int rssi = session_->Ap().Rssi(Seconds(now_));
    const std::uint8_t cap = rssi >= -70 ? 255 : rssi >= -80 ? 48 : rssi >= -86 ? 22 : 4;
    std::uint8_t rate = common.front();
    for (std::uint8_t units : common) {
        if (units <= cap) rate = units;
    }
    return rate * kPerUnit;
}

std::uint32_t SimAdapter::ReportedEncryptionStatus() const {
    // A card reports a cipher as "key absent" until it holds a key for it.
    using namespace ndis;
    switch (encryptionStatus_) {
        case Ndis802_11Encryption1Enabled:
            return HasWepKey() ? Ndis802_11Encryption1Enabled : Ndis802_11Encryption1KeyAbsent;
        case Ndis802_11Encryption2Enabled:
            return HasPairwiseKey() ? Ndis802_11Encryption2Enabled : Ndis802_11Encryption2KeyAbsent;
        case Ndis802_11Encryption3Enabled:
            return HasPairwiseKey() ? Ndis802_11Encryption3Enabled : Ndis802_11Encryption3KeyAbsent;
        default:
            return encryptionStatus_;
    }
}

std::vector<std::uint8_t> SimAdapter::BuildAssociationInfo(const SimAccessPoint& ap) const {
    ndis::AssociationInformation info;
    info.availableRequestFixedIes =
        ndis::NDIS_802_11_AI_REQFI_CAPABILITIES | ndis::NDIS_802_11_AI_REQFI_LISTENINTERVAL;
    info.requestCapabilities = ap.CapabilityInfo();
    info.listenInterval = 10;
    info.availableResponseFixedIes = ndis::NDIS_802_11_AI_RESFI_CAPABILITIES |
                                     ndis::NDIS_802_11_AI_RESFI_STATUSCODE |
                                     ndis::NDIS_802_11_AI_RESFI_ASSOCIATIONID;
    info.responseCapabilities = ap.CapabilityInfo();
    info.statusCode = 0;
    info.associationId = 0xC001;  // AID 1 with the two top bits set

    info.requestIes = RequestElements(ap);
    const auto apRates = ndis::BuildRateElements(ap.RateBytes());
    if (apRates) info.responseIes = *apRates;
    return ndis::BuildAssociationInformation(info);
}

std::vector<std::uint8_t> SimAdapter::RequestElements(const SimAccessPoint& ap) const {
    std::vector<std::uint8_t> request;
    const auto ssid = ndis::BuildSsidElement(std::string_view(ap.Config().ssid));
    if (ssid) request.insert(request.end(), ssid->begin(), ssid->end());
    std::vector<std::uint8_t> cardRates;
    for (const Rate& rate : config_.capabilities.rates) {
        cardRates.push_back(static_cast<std::uint8_t>(rate.units | (rate.basic ? 0x80 : 0)));
    }
    const auto rates = ndis::BuildRateElements(cardRates);
    if (rates) request.insert(request.end(), rates->begin(), rates->end());
    const auto own = StationElement(ap);
    request.insert(request.end(), own.begin(), own.end());
    return request;
}

// The station's own WPA or RSN element, as the driver builds it from the
// authentication mode and encryption status; empty for other networks.
std::vector<std::uint8_t> SimAdapter::StationElement(const SimAccessPoint& ap) const {
    if (!ap.IsWpaFamily()) return {};
    const bool rsn = authenticationMode_ == ndis::Ndis802_11AuthModeWPA2 ||
                     authenticationMode_ == ndis::Ndis802_11AuthModeWPA2PSK;
    const SecurityElement& element = rsn ? ap.Config().rsn : ap.Config().wpa;
    const bool psk = authenticationMode_ == ndis::Ndis802_11AuthModeWPAPSK ||
                     authenticationMode_ == ndis::Ndis802_11AuthModeWPA2PSK;
    const bool ccmp = encryptionStatus_ == ndis::Ndis802_11Encryption3Enabled &&
                      (element.pairwiseCiphers & kCipherCcmp);
    return StationSecurityElement(rsn, element.groupCipher, ccmp ? kCipherCcmp : kCipherTkip,
                                  psk ? kAkmPsk : kAkm8021X);
}

std::uint32_t SimAdapter::SetOid(std::uint32_t oid, std::span<const std::uint8_t> data) {
    if (!Is80211(oid) || !config_.wireless) return ERROR_NOT_SUPPORTED;
    return SetWireless(oid, data);
}

std::uint32_t SimAdapter::SetWireless(std::uint32_t oid, std::span<const std::uint8_t> data) {
    using namespace ndis;
    switch (oid) {
        case OID_802_11_INFRASTRUCTURE_MODE: {
            const auto mode = ReadU32(data);
            if (!mode || *mode > Ndis802_11AutoUnknown) return ERROR_INVALID_PARAMETER;
            infrastructureMode_ = *mode;
            // A new mode starts without keys, as NDIS asks of drivers.
            keys_.clear();
            return kNoError;
        }
        case OID_802_11_AUTHENTICATION_MODE: {
            const auto mode = ReadU32(data);
            if (!mode) return ERROR_INVALID_PARAMETER;
            return SetAuthenticationMode(*mode);
        }
        case OID_802_11_ENCRYPTION_STATUS: {
            const auto status = ReadU32(data);
            if (!status) return ERROR_INVALID_PARAMETER;
            return SetEncryptionStatus(*status);
        }
        case OID_802_11_SSID:
            return SetSsid(data);
        case OID_802_11_BSSID: {
            if (data.size() < 6) return ERROR_INVALID_PARAMETER;
            MacAddress bssid{};
            std::copy_n(data.begin(), 6, bssid.begin());
            // The broadcast (or zero) address lets the card choose again.
            if (IsBroadcastOrZero(bssid)) {
                desiredBssid_.reset();
            } else {
                desiredBssid_ = bssid;
            }
            return kNoError;
        }
        case OID_802_11_BSSID_LIST_SCAN:
            Scan();
            return kNoError;
        case OID_802_11_RSSI_TRIGGER: {
            const auto trigger = ReadU32(data);
            if (!trigger) return ERROR_INVALID_PARAMETER;
            rssiTrigger_ = static_cast<std::int32_t>(*trigger);
            return kNoError;
        }
        case OID_802_11_DISASSOCIATE:
            desiredSsid_.reset();
            Disassociate();
            return kNoError;
        case OID_802_11_ADD_KEY:
            return AddKey(data);
        case OID_802_11_ADD_WEP:
            return AddWep(data);
        case OID_802_11_REMOVE_KEY:
            if (data.size() < kRemoveKeySize) return ERROR_INVALID_PARAMETER;
            return RemoveKey(LoadLe32(data.data() + kRemoveKeyIndexOffset));
        case OID_802_11_REMOVE_WEP: {
            const auto index = ReadU32(data);
            if (!index) return ERROR_INVALID_PARAMETER;
            return RemoveKey(*index);
        }
        default:
            return ERROR_NOT_SUPPORTED;
    }
}

std::uint32_t SimAdapter::CheckAuthenticationMode(std::uint32_t mode) const {
    using namespace ndis;
    if (mode > Ndis802_11AuthModeWPA2PSK) return ERROR_INVALID_PARAMETER;
    const AdapterCapabilities& caps = config_.capabilities;
    if (mode >= Ndis802_11AuthModeWPA && !caps.wpa) return ERROR_NOT_SUPPORTED;
    if (mode >= Ndis802_11AuthModeWPA2 && !caps.wpa2) return ERROR_NOT_SUPPORTED;
    return kNoError;
}

std::uint32_t SimAdapter::CheckEncryptionStatus(std::uint32_t status) const {
    using namespace ndis;
    // Only the "enabled" values and "disabled" can be set.
    if (status != Ndis802_11EncryptionDisabled && status != Ndis802_11Encryption1Enabled &&
        status != Ndis802_11Encryption2Enabled && status != Ndis802_11Encryption3Enabled) {
        return ERROR_INVALID_PARAMETER;
    }
    if (status == Ndis802_11EncryptionDisabled) return kNoError;
    const auto best = static_cast<std::uint32_t>(config_.capabilities.bestEncryption);
    // Ranks: WEP (0) < TKIP (4) < AES (6); a card without ciphers has none.
    if (config_.capabilities.bestEncryption == BestEncryption::None || status > best) {
        return ERROR_NOT_SUPPORTED;
    }
    return kNoError;
}

std::uint32_t SimAdapter::SetAuthenticationMode(std::uint32_t mode) {
    const std::uint32_t error = CheckAuthenticationMode(mode);
    if (error == kNoError) authenticationMode_ = mode;
    return error;
}

std::uint32_t SimAdapter::SetEncryptionStatus(std::uint32_t status) {
    const std::uint32_t error = CheckEncryptionStatus(status);
    if (error == kNoError) encryptionStatus_ = status;
    return error;
}

std::uint32_t SimAdapter::SetSsid(std::span<const std::uint8_t> data) {
    const auto ssid = ndis::ParseSsid(data);
    if (!ssid) return ERROR_INVALID_PARAMETER;
    // A new SSID ends the current association, whatever it is.
    Disassociate();
    desiredSsid_ = *ssid;
    LookForNetwork(now_);
    return kNoError;
}

std::uint32_t SimAdapter::AddKey(std::span<const std::uint8_t> data) {
    const auto key = ndis::ParseKey(data);
    if (!key) return ERROR_INVALID_PARAMETER;
    const std::size_t length = key->keyMaterial.size();
    if (length != 5 && length != 13 && length != 16 && length != 32) return ERROR_INVALID_PARAMETER;
    if ((key->keyIndex & ndis::kKeyIndexMask) > 3) return ERROR_INVALID_PARAMETER;
    const bool pairwise = key->keyIndex & ndis::kKeyIndexPairwise;
    if (pairwise) {
        // A pairwise key names its peer; it must be the access point joined.
        if (IsBroadcastOrZero(key->bssid)) return ERROR_INVALID_PARAMETER;
        if (!session_ || session_->Ap().Config().bssid != key->bssid)
            return ERROR_INVALID_PARAMETER;
    }
    std::erase_if(keys_, [&](const Key& held) {
        return held.pairwise == pairwise && (held.index & 0xFF) == (key->keyIndex & 0xFF);
    });
    keys_.push_back({key->keyIndex, key->keyMaterial, pairwise});
    if (session_)
        session_->ReportKey(pairwise, key->keyIndex & 0xFF, key->keyRsc, key->keyMaterial);
    return kNoError;
}

std::uint32_t SimAdapter::AddWep(std::span<const std::uint8_t> data) {
    const auto wep = ndis::ParseWep(data);
    if (!wep) return ERROR_INVALID_PARAMETER;
    const std::size_t length = wep->keyMaterial.size();
    if (length != 5 && length != 13) return ERROR_INVALID_PARAMETER;
    if ((wep->keyIndex & ndis::kKeyIndexMask) > 3) return ERROR_INVALID_PARAMETER;
    std::erase_if(keys_, [&](const Key& held) {
        return !held.pairwise && (held.index & 0xFF) == (wep->keyIndex & 0xFF);
    });
    keys_.push_back({wep->keyIndex, wep->keyMaterial, false});
    return kNoError;
}

std::uint32_t SimAdapter::RemoveKey(std::uint32_t index) {
    const bool pairwise = index & ndis::kKeyIndexPairwise;
    const auto removed = std::erase_if(keys_, [&](const Key& held) {
        return held.pairwise == pairwise && (held.index & 0xFF) == (index & 0xFF);
    });
    return removed > 0 ? kNoError : ERROR_INVALID_PARAMETER;
}

}  // namespace tarvik::driver::sim
