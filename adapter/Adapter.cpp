#include "adapter/Adapter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "ndis/ByteOrder.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"
#include "networks/BssidListFetch.h"
#include "platform/RegistryStore.h"
#include "platform/driverio/DeviceFile.h"

namespace tarvik {

using namespace ndis;  // the OID numbers

namespace {

constexpr unsigned kWaitPassMilliseconds = 500;
constexpr std::uint32_t kOidFieldSize = 4;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kStatusUnknownDevice = 1168;  // ERROR_NOT_FOUND
constexpr std::uint32_t kAuthModeOpen = 0;
constexpr std::uint32_t kAuthModeWpa = 3;
constexpr std::uint32_t kEncryption3Enabled = 6;  // AES
constexpr std::uint32_t kEncryption2Enabled = 4;  // TKIP
constexpr std::uint32_t kEncryption1Enabled = 0;  // WEP
constexpr std::uint32_t kEncryptionNone = 3;

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool IsUnusableAddressText(const std::string& text) {
    const std::string trimmed = Trim(text);
    return trimmed.empty() || trimmed == "255.255.255.255" || trimmed == "0.0.0.0";
}

std::string JoinAddresses(const driverio::IpConfigRecord& config) {
    std::string text;
    for (const auto& address : config.addresses) {
        if (!text.empty()) text += ", ";
        text += address.address;
    }
    return text;
}

bool IsZeroOrBroadcast(const ndis::MacAddress& mac) {
    bool zero = true;
    bool broadcast = true;
    for (std::uint8_t b : mac) {
        zero = zero && b == 0x00;
        broadcast = broadcast && b == 0xff;
    }
    return zero || broadcast;
}

// The machine's NetworkCards entries: the machine hive's, or, when the hive
// has none, the driver's own list of its cards.
std::vector<driverio::NetworkCardRecord> ReadNetworkCards() {
    std::vector<driverio::NetworkCardRecord> cards;
    RegistryStore& machine = RegistryStore::LocalMachine();
    if (machine.KeyExists(kNetworkCardsKey)) {
        for (int n = 0; n < kMaxNetworkCardEntries; ++n) {
            const std::string key = std::string(kNetworkCardsKey) + "\\" + std::to_string(n);
            cards.push_back({machine.ReadString(key, "ServiceName", ""),
                             machine.ReadString(key, "Description", "")});
        }
        return cards;
    }
    std::uint32_t error = 0;
    auto control = driverio::CDeviceFile::OpenControl(error);
    if (control && control->GetNetworkCards(cards) != 0) cards.clear();
    return cards;
}

}  // namespace

CAdapter::CAdapter(std::string deviceName, const CApplicationOptions& settings,
                   CMediaEventSource* mediaSource)
    : settings_(settings), mediaSource_(mediaSource), channel_(std::move(deviceName)) {
    Initialize();
}

CAdapter::~CAdapter() {
    Close();
}

void CAdapter::Initialize() {
    channel_.Open();
    if (!channel_.Handle()) return;  // stays in the list as a non-wireless entry
    capabilitiesProbed_ = false;
    QueryPermanentAddress();
    QueryPhysicalMedium();
    ReadVendorDescription();
    ReadRegistryDescription();
    QueryPermanentAddress();
    QueryCurrentAddress();
    ReadStatistics(true);
    ReadIpHelperData();
    InstallMediaEventSink();
    channel_.CloseHandle();
}

void CAdapter::InstallMediaEventSink() {
    sink_.reset();
    if (!IsWireless()) return;
    mediaEvent_.Reset();
    if (!mediaSource_ || !mediaSource_->IsConnected()) {
        LogWarn("WMI service is NULL, skipping installation of media state notification handlers");
        return;
    }
    sink_ = std::make_shared<CMediaEventSink>(mediaEvent_, mediaStatus_, DeviceName());
    mediaSource_->Install(sink_);
}

void CAdapter::EnsureMediaEventSink() {
    if (!sink_) InstallMediaEventSink();
}

Result CAdapter::RefreshLinkState() {
    const Result media = QueryMediaStatus();
    const Result bssid = QueryAssociatedBssid();
    return media != 0 ? media : bssid;
}

void CAdapter::Close() {
    if (receive_->Exists()) receive_->Stop(true);
    channel_.CloseHandle();
    if (sink_ && mediaSource_) mediaSource_->Cancel(sink_);
    sink_.reset();
}

Result CAdapter::WaitForMediaConnect(std::uint32_t seconds) {
    const std::uint32_t passes = 2 * seconds;
    QueryMediaStatus();
    if (mediaStatus_ == kMediaConnected) return RES_MEDIA_CONNECTED;
    for (std::uint32_t i = 0; i < passes; ++i) {
        if (mediaEvent_.WaitFor(kWaitPassMilliseconds)) {
            LogInfo("Received an media status change event from the sink");
            mediaEvent_.Reset();
        } else if (i + 1 == passes) {
            LogError("Timed out waiting for media state change");
        } else {
            LogWarn("Timed out waiting for media state change, but trying %u more times",
                    passes - 1 - i);
        }
        if (mediaStatus_ == kMediaConnected) {
            LogInfo("Media is connected, we are ready to proceed");
            return RES_MEDIA_CONNECTED;
        }
    }
    QueryMediaStatus();
    if (mediaStatus_ == kMediaConnected) return RES_MEDIA_CONNECTED;
    LogInfo("Timed out wait for media status change");
    return RES_MEDIA_WAIT_TIMEOUT;
}

Result CAdapter::WaitForAddress(std::uint32_t seconds) {
    const std::uint32_t passes = 2 * seconds;
    if (HasAddress()) {
        LogInfo("Already have an IP! %s", IpAddressText().c_str());
        return RES_ADDRESS_OBTAINED;
    }
    LogInfo("Waiting for an IP from the DHCP server...");
    // Address changes of this adapter, watched from the first pass on; the
    // watch is closed (its thread joined) before `changed` goes away.
    CManualResetEvent changed;
    std::shared_ptr<driverio::CDeviceFile> watch;
    const auto finish = [&watch](Result result) {
        if (watch) watch->Close();
        return result;
    };
    const std::string device = DeviceName();
    for (std::uint32_t i = 0; i < passes; ++i) {
        if (!watch) {
            std::uint32_t error = 0;
            watch = driverio::CDeviceFile::OpenControl(error);
            const auto onEvent = [&changed, device](const driverio::DriverEvent& event) {
                if (event.kind == driverio::DriverEvent::Kind::AddressChange &&
                    event.name == device) {
                    changed.Set();
                }
            };
            if (!watch || watch->Subscribe(onEvent) != 0) {
                LogInfo("Error creating notifyaddrchange event!");
                return finish(RES_FAILURE);
            }
        }
        if (changed.WaitFor(kWaitPassMilliseconds)) {
            changed.Reset();
            ReadIpHelperData();
            LogInfo("Change in IP address table! %s", IpAddressText().c_str());
        } else if (i + 1 == passes) {
            LogError("Timed out waiting for ip address change");
        } else {
            LogWarn("Timed out waiting for ip address change, but trying %u more times",
                    passes - 1 - i);
        }
        if (HasAddress()) {
            LogInfo("Got an IP: %s", IpAddressText().c_str());
            return finish(RES_ADDRESS_OBTAINED);
        }
    }
    return finish(RES_ADDRESS_WAIT_TIMEOUT);
}

bool CAdapter::IsConnected() const {
    return mediaStatus_ == kMediaConnected && !IsZeroOrBroadcast(associatedBssid_);
}

std::string CAdapter::GetDisplayName() const {
    const std::string vendor = Trim(vendorDescription_);
    std::string name = " " + vendor;
    if (!registryDescription_.empty() && vendor.find(registryDescription_) == std::string::npos) {
        name += " (" + registryDescription_ + ")";
    }
    name += IsWireless() ? " - Wireless LAN" : " - Non-Wireless";
    return name;
}

void CAdapter::ReadVendorDescription() {
    std::vector<char> buffer(kVendorDescriptionBufferSize, '\0');
    std::uint32_t bytes = 0;
    if (QueryAdapterOid(OID_GEN_VENDOR_DESCRIPTION, buffer.data(), kVendorDescriptionBufferSize,
                        &bytes) == 0) {
        buffer.back() = '\0';  // a reply that fills the buffer still ends here
        vendorDescription_ = buffer.data();
    } else {
        vendorDescription_ = kGenericVendorDescription;
    }
}

void CAdapter::ReadRegistryDescription() {
    registryDescription_.clear();
    for (const auto& card : ReadNetworkCards()) {
        if (card.serviceName.empty()) continue;
        if (DeviceName().find(card.serviceName) != std::string::npos) {
            registryDescription_ = card.description;
            return;
        }
    }
}

Result CAdapter::ReadIpHelperData() {
    {
        std::lock_guard lock(ipMutex_);
        hasIpConfig_ = false;
        ipConfig_ = {};
    }
    std::uint32_t error = 0;
    auto control = driverio::CDeviceFile::OpenControl(error);
    driverio::IpConfigRecord config;
    if (control) error = control->GetIpConfig(DeviceName(), config);
    if (error == kStatusUnknownDevice) {
        LogError("Could not find adapter in IP helper data!");
        return RES_FAILURE;
    }
    if (error != 0) {
        LogError("IP Helper GetAdaptersInfo failed with: %u", error);
        return RES_FAILURE;
    }
    std::lock_guard lock(ipMutex_);
    ipConfig_ = std::move(config);
    hasIpConfig_ = true;
    return RES_SUCCESS;
}

std::optional<driverio::IpConfigRecord> CAdapter::IpConfig() const {
    std::lock_guard lock(ipMutex_);
    if (!hasIpConfig_) return std::nullopt;
    return ipConfig_;
}

bool CAdapter::HasIpConfig() const {
    std::lock_guard lock(ipMutex_);
    return hasIpConfig_;
}

bool CAdapter::IsDhcpEnabled() const {
    std::lock_guard lock(ipMutex_);
    return ipConfig_.dhcpEnabled;
}

std::vector<std::string> SplitAddressText(const std::string& joined) {
    std::vector<std::string> addresses;
    std::size_t start = 0;
    while (start < joined.size()) {
        const std::size_t comma = joined.find(", ", start);
        const std::size_t end = comma == std::string::npos ? joined.size() : comma;
        if (end > start) addresses.push_back(joined.substr(start, end - start));
        start = comma == std::string::npos ? joined.size() : comma + 2;
    }
    return addresses;
}

std::string CAdapter::IpAddressText() const {
    std::lock_guard lock(ipMutex_);
    return JoinAddresses(ipConfig_);
}

bool CAdapter::HasAddress() {
    // Without the adapter's IP configuration nothing says it has an address.
    if (ReadIpHelperData() != RES_SUCCESS) return false;
    const auto config = IpConfig();
    if (!config) return false;
    if (!config->dhcpEnabled) return true;
    if (IsUnusableAddressText(config->dhcpServer)) return false;
    if (IsUnusableAddressText(JoinAddresses(*config))) return false;
    if (!config->autoconfigEnabled) return true;
    return !config->autoconfigActive;
}

Result CAdapter::ProbeSecurityCapabilities() {
    if (capabilitiesProbed_) return RES_FAILURE;
    SetAuthenticationMode(kAuthModeWpa);
    QueryAuthenticationMode();
    if (authenticationMode_ == kAuthModeWpa) {
        wpaCapability_ = kAuthModeWpa;
    } else {
        wpaCapability_ = 0;
        SetAuthenticationMode(kAuthModeOpen);
    }
    struct Step {
        std::uint32_t set, accepted1, accepted2;
    };
    const Step steps[] = {
        {kEncryption3Enabled, 6, 7}, {kEncryption2Enabled, 4, 5}, {kEncryption1Enabled, 0, 2}};
    bestEncryption_ = kEncryptionNone;
    for (const Step& step : steps) {
        SetEncryptionStatus(step.set);
        // A failed query leaves no reply to accept.
        if (QueryEncryptionStatus() != 0) continue;
        if (encryptionStatus_ == step.accepted1 || encryptionStatus_ == step.accepted2) {
            bestEncryption_ = step.set;
            break;
        }
    }
    capabilitiesProbed_ = true;
    return RES_SUCCESS;
}

Result CAdapter::QueryAdapterOid(std::uint32_t oid, void* buffer, std::uint32_t length,
                                 std::uint32_t* bytesReturned) const {
    return channel_.QueryAdapterOid(settings_, oid, buffer, length, bytesReturned);
}

Result CAdapter::SetOid(std::uint32_t oid, const void* data, std::uint32_t length) const {
    std::uint32_t bytes = 0;
    return channel_.SetAdapterOid(oid, data, length, &bytes);
}

Result CAdapter::QueryU32(std::uint32_t oid, std::uint32_t& value) {
    std::uint8_t bytes[4] = {};
    std::uint32_t count = 0;
    const Result result = QueryAdapterOid(oid, bytes, sizeof(bytes), &count);
    if (result == 0) value = ndis::LoadLe32(bytes);
    return result;
}

Result CAdapter::SetU32(std::uint32_t oid, std::uint32_t value) const {
    std::uint8_t bytes[4];
    ndis::StoreLe32(bytes, value);
    return SetOid(oid, bytes, sizeof(bytes));
}

Result CAdapter::QueryMac(std::uint32_t oid, ndis::MacAddress& mac) {
    ndis::MacAddress reply{};
    std::uint32_t count = 0;
    const Result result = QueryAdapterOid(oid, reply.data(), reply.size(), &count);
    if (result == 0) mac = reply;
    return result;
}

Result CAdapter::QueryCurrentAddress() {
    return QueryMac(OID_802_3_CURRENT_ADDRESS, currentAddress_);
}
Result CAdapter::QueryPermanentAddress() {
    return QueryMac(OID_802_3_PERMANENT_ADDRESS, permanentAddress_);
}
Result CAdapter::QueryAssociatedBssid() {
    return QueryMac(OID_802_11_BSSID, associatedBssid_);
}
Result CAdapter::QueryEncryptionStatus() {
    return QueryU32(OID_802_11_ENCRYPTION_STATUS, encryptionStatus_);
}
Result CAdapter::QueryAuthenticationMode() {
    return QueryU32(OID_802_11_AUTHENTICATION_MODE, authenticationMode_);
}

Result CAdapter::QueryAdapterData(std::uint32_t oid, std::span<std::uint8_t> buffer,
                                  std::uint32_t& dataLength) const {
    std::uint32_t returned = 0;
    const Result result =
        QueryAdapterOid(oid, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &returned);
    // The driver path counts the block's OID field too, in replies and in the
    // size a too-small block needs.
    const bool direct = settings_.UseGlobalStatsForQueries != 0;
    const std::uint32_t data = direct ? returned : returned - std::min(returned, kOidFieldSize);
    if (result == static_cast<Result>(kErrorInsufficientBuffer)) dataLength = data;
    if (result != 0) return result;
    // The block has room for a few bytes more than the buffer, so a reply
    // that filled them was cut: report it as too large, with the size it
    // needs, so callers ask again with more room.
    dataLength = data;
    if (data > buffer.size()) return static_cast<Result>(kErrorInsufficientBuffer);
    return RES_SUCCESS;
}

Result CAdapter::QueryAssociationInformation() {
    std::fill(associationInformation_.begin(), associationInformation_.end(), 0);
    associationInformationLength_ = 0;
    return QueryAdapterData(OID_802_11_ASSOCIATION_INFORMATION, associationInformation_,
                            associationInformationLength_);
}

Result CAdapter::QueryPhysicalMedium() {
    const Result result = QueryU32(OID_GEN_PHYSICAL_MEDIUM, physicalMedium_);
    adapterTypeText_ = IsWireless() ? "Wireless LAN" : "Non-WLAN";
    return result;
}

Result CAdapter::QueryMediaStatus() {
    std::uint32_t status = 0;
    const Result result = QueryU32(OID_GEN_MEDIA_CONNECT_STATUS, status);
    if (result == 0) mediaStatus_ = status;
    return result;
}

std::string CAdapter::QueryCurrentSsidText() {
    std::uint8_t bytes[ndis::ssid_layout::kSize] = {};
    std::uint32_t count = 0;
    if (QueryAdapterOid(OID_802_11_SSID, bytes, sizeof(bytes), &count) != 0) return {};
    auto ssid = ndis::ParseSsid(bytes);
    if (!ssid) return {};
    return std::string(ssid->begin(), ssid->end());
}

Result CAdapter::Disassociate() {
    return SetOid(OID_802_11_DISASSOCIATE, nullptr, 0) == 0 ? RES_DISASSOCIATE_DONE
                                                            : RES_DISASSOCIATE_FAILED;
}

Result CAdapter::SetBssid(const ndis::MacAddress& bssid) {
    return SetOid(OID_802_11_BSSID, bssid.data(), bssid.size());
}
Result CAdapter::SetInfrastructureMode(std::uint32_t mode) {
    infrastructureMode_ = mode;
    return SetU32(OID_802_11_INFRASTRUCTURE_MODE, mode);
}
Result CAdapter::SetAuthenticationMode(std::uint32_t mode) {
    return SetU32(OID_802_11_AUTHENTICATION_MODE, mode);
}
Result CAdapter::SetEncryptionStatus(std::uint32_t status) {
    return SetU32(OID_802_11_ENCRYPTION_STATUS, status);
}

Result CAdapter::SetSsid(const std::string& ssid) {
    auto block = ndis::BuildSsid(std::string_view(ssid));
    if (!block) return RES_FAILURE;
    return SetOid(OID_802_11_SSID, block->data(), static_cast<std::uint32_t>(block->size()));
}

Result CAdapter::AddKey(std::span<const std::uint8_t> key) {
    // The structure's own Length field is the length sent; it must not reach
    // past the bytes given.
    if (key.size() < 4) return RES_FAILURE;
    const std::uint32_t length = ndis::LoadLe32(key.data());
    if (length > key.size()) return RES_FAILURE;
    return SetOid(OID_802_11_ADD_KEY, key.data(), length);
}

Result CAdapter::SetRandomSsid() {
    std::uint8_t block[ndis::ssid_layout::kSize];
    ndis::StoreLe32(block, ndis::ssid_layout::kCapacity);
    for (std::size_t i = 0; i < ndis::ssid_layout::kCapacity; ++i) {
        block[ndis::ssid_layout::kSsid + i] = static_cast<std::uint8_t>(std::rand() & 0xff);
    }
    return SetOid(OID_802_11_SSID, block, sizeof(block));
}

Result CAdapter::ScanAndFetchBssidList(bool scanFirst, const BssidListMerge& merge) {
    const OidQuery query = [this](std::uint32_t oid, std::span<std::uint8_t> buffer,
                                  std::uint32_t& bytesReturned) {
        return QueryAdapterData(oid, buffer, bytesReturned);
    };
    const OidSet set = [this](std::uint32_t oid, std::span<const std::uint8_t> data) {
        return SetOid(oid, data.empty() ? nullptr : data.data(),
                      static_cast<std::uint32_t>(data.size()));
    };
    return FetchBssidList(scanFirst, query, set, merge, driverio::kMaxOidDataSize);
}

Result CAdapter::UpdateConnectionStates(const NetworkSnapshot& snapshot,
                                        std::uint32_t scanCounter) {
    if (QueryMediaStatus() != 0) return RES_CONNECTION_QUERY_FAILED;
    QueryAssociatedBssid();
    const std::string currentSsid = QueryCurrentSsidText();
    const auto outOfRange = static_cast<std::uint32_t>(settings_.HitOutOfRangeInterval.Get());
    // Asked at most once per refresh, and only when a record needs it.
    int hasAddress = -1;
    for (const BssidRecord& record : snapshot) {
        if (!record) continue;
        if (scanCounter - record->LastSeenScan() > outOfRange) {
            record->SetConnectionStatus(STATUS_NOT_DETECTED);
            continue;
        }
        record->SetConnectionStatus(STATUS_NOT_CONNECTED);
        const ndis::BssidEntry* entry = record->Entry();
        if (mediaStatus_ != kMediaConnected || !entry) continue;
        const auto ssid = entry->Ssid();
        if (std::string(ssid.begin(), ssid.end()) != currentSsid) continue;
        if (entry->GetMacAddress() != associatedBssid_) continue;
        if (hasAddress < 0) hasAddress = HasAddress() ? 1 : 0;
        if (HasIpConfig() && !IsDhcpEnabled()) {
            record->SetConnectionStatus(STATUS_CONNECTED_MANUAL);
        } else {
            record->SetConnectionStatus(hasAddress ? STATUS_CONNECTED
                                                   : STATUS_CONNECTED_INVALID_IP);
        }
    }
    return RES_CONNECTION_STATES_UPDATED;
}

}  // namespace tarvik
