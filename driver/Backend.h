// The seam between the driver daemon's socket server and the world that owns
// the adapters (the simulated radio world, later real hardware).
//
// The server is single-threaded: it calls every backend operation, and Tick(),
// from its one loop thread, so a backend needs no locks of its own. Whatever a
// backend has to tell clients unasked (received frames, media events, address
// changes) it hands to the sink, synchronously, from inside those calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvik::driver {

using Clock = std::chrono::steady_clock;

// IP configuration of one adapter, the fields an IP Helper adapter record has.
struct IpAddressEntry {
    std::string address;  // dotted quad
    std::string mask;
};

struct IpConfig {
    bool dhcpEnabled = false;
    std::string dhcpServer;
    std::vector<IpAddressEntry> addresses;  // empty or "0.0.0.0" when none
    std::vector<std::string> gateways;
    std::vector<std::string> dnsServers;
    std::string primaryWins;
    std::string secondaryWins;
    std::int64_t leaseObtained = 0;  // seconds since the Unix epoch, 0 when none
    std::int64_t leaseExpires = 0;
    bool autoconfigEnabled = true;
    bool autoconfigActive = false;
};

// One binding as the driver's binding list reports it.
struct Binding {
    std::string deviceName;   // "\\DEVICE\\{GUID}"
    std::string description;  // vendor description
};

// One entry of the machine's NetworkCards registry list, which the
// application reads for adapter descriptions.
struct NetworkCard {
    std::string serviceName;  // a substring of the adapter's device name
    std::string description;
};

class IBackendSink {
  public:
    virtual ~IBackendSink() = default;
    // A frame the adapter received, for the station's pending reads.
    virtual void OnFrameReceived(const std::string& deviceName,
                                 std::span<const std::uint8_t> frame) = 0;
    // Media connect (true) or disconnect (false) of the adapter `deviceName`;
    // instanceName is its vendor description, as the management layer names
    // instances (two cards of one model share it).
    virtual void OnMediaEvent(const std::string& deviceName, const std::string& instanceName,
                              bool connected) = 0;
    virtual void OnAddressChanged(const std::string& deviceName) = 0;
};

class IBackend {
  public:
    virtual ~IBackend() = default;

    virtual void SetSink(IBackendSink* sink) = 0;

    // Advances the world to `now` (timelines, association delays, DHCP, traffic).
    virtual void Tick(Clock::time_point now) = 0;
    // When the world next wants a Tick, so the server can sleep until then.
    virtual Clock::time_point NextDeadline() const = 0;

    virtual std::vector<Binding> Bindings() const = 0;
    virtual bool IsBound(const std::string& deviceName) const = 0;
    // The NetworkCards entries for the backend's adapters, in binding order.
    virtual std::vector<NetworkCard> NetworkCards() const { return {}; }

    // NDIS query: on success (0) `out` holds the OID's data, at most
    // `capacity` bytes. When the data does not fit, the result is
    // ERROR_INSUFFICIENT_BUFFER (122) and `needed` is the size required.
    // Other failures return the Win32 error the adapter gives.
    virtual std::uint32_t QueryOid(const std::string& deviceName, std::uint32_t oid,
                                   std::size_t capacity, std::vector<std::uint8_t>& out,
                                   std::size_t& needed) = 0;
    // NDIS set with the data behind the OID field; 0 or the Win32 error.
    virtual std::uint32_t SetOid(const std::string& deviceName, std::uint32_t oid,
                                 std::span<const std::uint8_t> data) = 0;

    // One complete Ethernet frame from the station; 0 or the Win32 error.
    virtual std::uint32_t WriteFrame(const std::string& deviceName,
                                     std::span<const std::uint8_t> frame) = 0;

    // IP Helper stand-ins. Return false when the device is unknown.
    virtual bool GetIpConfig(const std::string& deviceName, IpConfig& config) const = 0;
    virtual std::uint32_t ReleaseAddress(const std::string& deviceName) = 0;

    // The competing wireless service.
    virtual bool IsServiceRunning() const = 0;
    virtual std::uint32_t StartService() = 0;
    virtual std::uint32_t StopService() = 0;
};

}  // namespace tarvik::driver
