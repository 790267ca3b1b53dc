// One network card the driver is bound to: its identity (vendor text,
// registry description, addresses, wired or wireless, IP configuration), its
// channel to the driver, its security capabilities and the 802.11 sets the
// connection procedure uses. As the chosen adapter it is the scan cycle's
// source of BSSID lists and connection states.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "adapter/AdapterChannel.h"
#include "adapter/DeviceInfoText.h"
#include "adapter/ManualResetEvent.h"
#include "adapter/MediaEvents.h"
#include "adapter/ReceiveThread.h"
#include "core/ResultCodes.h"
#include "ndis/NdisTypes.h"
#include "networks/ScanSource.h"
#include "platform/driverio/DriverProtocol.h"

namespace tarvik {

class CApplicationOptions;

inline constexpr const char* kGenericVendorDescription = "Generic Wireless Card";
inline constexpr const char* kNetworkCardsKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
inline constexpr int kMaxNetworkCardEntries = 128;
inline constexpr std::uint32_t kVendorDescriptionBufferSize = 2048;
inline constexpr std::uint32_t kAssociationInformationSize = 4000;
inline constexpr std::uint32_t kPhysicalMediumWirelessLan = 1;
inline constexpr std::uint32_t kMediaConnected = 0;
inline constexpr std::uint32_t kMediaDisconnected = 1;

// The driver's packet counters, in the order ReadStatistics queries them.
enum AdapterStatisticIndex : int {
    STAT_XMIT_OK,
    STAT_RCV_OK,
    STAT_XMIT_ERROR,
    STAT_RCV_ERROR,
    STAT_RCV_NO_BUFFER,
    STAT_COUNT
};

struct AdapterStatistic {
    std::uint32_t value = 0;
    std::uint32_t valid = 0;  // 1 when the query succeeded
};
using AdapterStatistics = std::array<AdapterStatistic, STAT_COUNT>;

class CAdapter : public IScanSource {
  public:
    // Stores the device name and runs Initialize. `mediaSource` (may be null)
    // delivers media events to a wireless adapter's sink.
    CAdapter(std::string deviceName, const CApplicationOptions& settings,
             CMediaEventSource* mediaSource = nullptr);
    ~CAdapter() override;
    CAdapter(const CAdapter&) = delete;
    CAdapter& operator=(const CAdapter&) = delete;

    void Initialize();
    Result OpenChannel() { return channel_.Open(); }
    void CloseChannel() { channel_.CloseHandle(); }
    // Stops the receive thread (waiting), closes the channel, cancels the sink.
    void Close();
    // The receive thread of the chosen adapter (0); Start stops a running one first.
    int StartReceive(EapolHandler handler) { return receive_->Start(std::move(handler)); }
    int StopReceive(bool wait) { return receive_->Stop(wait); }
    bool HasReceiveThread() const { return receive_->Exists(); }

    bool IsWireless() const { return physicalMedium_ == kPhysicalMediumWirelessLan; }
    bool IsConnected() const;
    std::string GetDisplayName() const;
    Result ReadIpHelperData();
    Result ProbeSecurityCapabilities();

    // Query wrappers: each fills its field; 0 or the query's error.
    Result QueryCurrentAddress();
    Result QueryPermanentAddress();
    Result QueryEncryptionStatus();
    Result QueryPhysicalMedium();
    Result QueryMediaStatus();
    Result QueryAssociatedBssid();
    Result QueryAuthenticationMode();
    Result QueryInfrastructureMode();
    // OID_802_11_ASSOCIATION_INFORMATION into the adapter's 4000-byte buffer.
    Result QueryAssociationInformation();
    std::span<const std::uint8_t> AssociationInformation() const {
        return {associationInformation_.data(), associationInformationLength_};
    }
    // The SSID the card is set to, as text; empty when the query fails.
    std::string QueryCurrentSsidText();

    Result Disassociate();
    Result SetBssid(const ndis::MacAddress& bssid);
    Result SetInfrastructureMode(std::uint32_t mode);
    Result SetAuthenticationMode(std::uint32_t mode);
    Result SetSsid(const std::string& ssid);
    // `key` is an NDIS_802_11_KEY; its own Length field is the length sent.
    Result AddKey(std::span<const std::uint8_t> key);
    Result SetEncryptionStatus(std::uint32_t status);
    Result SetRandomSsid();
    // Leaves the network: releases a DHCP address, then disassociates
    // (UseDisassociateWhenDisconnecting) or sets infrastructure mode and a
    // random SSID. The scanning switch is off meanwhile. 0.
    Result DisconnectCard();

    Result QueryAdapterOid(std::uint32_t oid, void* buffer, std::uint32_t length,
                           std::uint32_t* bytesReturned) const;
    Result SetOid(std::uint32_t oid, const void* data, std::uint32_t length) const;

    // RES_MEDIA_CONNECTED or RES_MEDIA_WAIT_TIMEOUT; two passes of 500 ms a
    // second. Not on the main thread, which delivers the media events.
    Result WaitForMediaConnect(std::uint32_t seconds);
    // RES_ADDRESS_OBTAINED, RES_ADDRESS_WAIT_TIMEOUT, or -1 when address
    // changes cannot be watched.
    Result WaitForAddress(std::uint32_t seconds);
    bool HasMediaEventSink() const { return sink_ != nullptr; }
    // Installs the media-event sink again after Close cancelled it (a
    // wireless adapter chosen anew must not lose its events).
    void EnsureMediaEventSink();
    // Queries the media status and the associated BSSID that IsConnected
    // reads; 0 or the first failed query's error.
    Result RefreshLinkState();

    // True when the adapter's IP configuration holds a usable address.
    bool HasAddress();
    // The adapter's addresses joined by ", " (SplitAddressText takes them apart).
    std::string IpAddressText() const;
    bool IsDhcpEnabled() const;

    // The packet counters: into the baseline (zeroed first) or the current
    // block. Initialize takes the baseline once.
    void ReadStatistics(bool baseline);
    const AdapterStatistics& Statistics() const { return statistics_; }
    const AdapterStatistics& StatisticsBaseline() const { return statisticsBaseline_; }

    // Reads one Device Information value fresh and returns its text, which
    // the adapter keeps: a value the reader does not recognise leaves the
    // previous text (DeviceInfoReaders.cpp).
    const std::string& ReadDeviceInfoText(DeviceInfoField field);
    const std::string& DeviceInfoText(DeviceInfoField field) const { return displayTexts_[field]; }

    // IScanSource
    bool IsScanning() const override { return scanning_; }
    void SetScanning(bool on) override { scanning_ = on; }
    Result ScanAndFetchBssidList(bool scanFirst, const BssidListMerge& merge) override;
    Result UpdateConnectionStates(const NetworkSnapshot& snapshot,
                                  std::uint32_t scanCounter) override;

    const std::string& DeviceName() const { return channel_.DeviceName(); }
    const std::string& VendorDescription() const { return vendorDescription_; }
    const std::string& RegistryDescription() const { return registryDescription_; }
    const std::string& AdapterTypeText() const { return adapterTypeText_; }
    const ndis::MacAddress& PermanentAddress() const { return permanentAddress_; }
    const ndis::MacAddress& CurrentAddress() const { return currentAddress_; }
    const ndis::MacAddress& AssociatedBssid() const { return associatedBssid_; }
    std::uint32_t PhysicalMedium() const { return physicalMedium_; }
    std::uint32_t MediaStatus() const { return mediaStatus_; }
    void SetMediaStatus(std::uint32_t status) { mediaStatus_ = status; }
    std::uint32_t AuthenticationMode() const { return authenticationMode_; }
    std::uint32_t InfrastructureMode() const { return infrastructureMode_; }
    std::uint32_t EncryptionStatus() const { return encryptionStatus_; }
    std::uint32_t WpaCapability() const { return wpaCapability_; }
    std::uint32_t BestEncryption() const { return bestEncryption_; }
    bool CapabilitiesProbed() const { return capabilitiesProbed_; }
    bool HasIpConfig() const;
    // A copy of the last IP configuration read, if any.
    std::optional<driverio::IpConfigRecord> IpConfig() const;
    CAdapterChannel& Channel() { return channel_; }

  private:
    // A query whose reply must fit `buffer`; `dataLength` gets the reply's
    // size without the driver's block header.
    Result QueryAdapterData(std::uint32_t oid, std::span<std::uint8_t> buffer,
                            std::uint32_t& dataLength) const;
    Result QueryU32(std::uint32_t oid, std::uint32_t& value);
    Result SetU32(std::uint32_t oid, std::uint32_t value) const;
    Result QueryMac(std::uint32_t oid, ndis::MacAddress& mac);
    void ReadVendorDescription();
    void ReadRegistryDescription();
    void InstallMediaEventSink();
    // Device Information readers (DeviceInfoReaders.cpp); each returns the
    // new text, or nothing to keep the previous one.
    std::optional<std::string> ReadDeviceInfoValue(DeviceInfoField field);
    std::optional<std::string> ReadIpHelperText(DeviceInfoField field);
    std::optional<std::string> ReadEnumeratedText(DeviceInfoField field);
    std::string ReadU32Text(std::uint32_t oid, const char* unit);
    std::string ReadMacText(std::uint32_t oid, ndis::MacAddress& mac);
    std::string ReadNetworkTypesText();
    std::string ReadBestRateText();
    std::string ReadSsidText();
    std::string ReadBssidText();

    const CApplicationOptions& settings_;
    CMediaEventSource* mediaSource_;
    CAdapterChannel channel_;
    CManualResetEvent mediaEvent_;
    std::shared_ptr<CMediaEventSink> sink_;
    bool scanning_ = false;
    std::string vendorDescription_;
    std::string registryDescription_;
    std::string adapterTypeText_;
    std::uint32_t physicalMedium_ = 0;
    ndis::MacAddress currentAddress_{};
    ndis::MacAddress permanentAddress_{};
    ndis::MacAddress associatedBssid_{};
    // The waits refresh the IP configuration on the connection thread while
    // the main thread reads it.
    mutable std::mutex ipMutex_;
    bool hasIpConfig_ = false;
    driverio::IpConfigRecord ipConfig_;
    std::atomic<std::uint32_t> mediaStatus_ = kMediaDisconnected;
    std::uint32_t authenticationMode_ = 0;
    std::vector<std::uint8_t> associationInformation_ =
        std::vector<std::uint8_t>(kAssociationInformationSize, 0);
    std::uint32_t associationInformationLength_ = 0;
    std::uint32_t infrastructureMode_ = 0;
    std::uint32_t encryptionStatus_ = 0;
    std::uint32_t wpaCapability_ = 0;
    std::uint32_t bestEncryption_ = 0;
    bool capabilitiesProbed_ = false;
    AdapterStatistics statistics_{};
    AdapterStatistics statisticsBaseline_{};
    std::array<std::string, DI_FIELD_COUNT> displayTexts_;
    // Last member: its thread reads the fields above until it is stopped.
    std::unique_ptr<CReceiveThread> receive_ = std::make_unique<CReceiveThread>(*this);
};

// "a, b" (an adapter's addresses joined by ", ") as its parts; empty parts
// are dropped.
std::vector<std::string> SplitAddressText(const std::string& joined);

}  // namespace tarvik
