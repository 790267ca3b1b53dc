// The simulated radio world as a scenario file describes it: adapters, access
// points with their signal timelines, DHCP, traffic and card options. Plain
// data; ScenarioLoader fills it and validates every value.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::driver::sim {

using MacAddress = std::array<std::uint8_t, 6>;

// NDIS_802_11_NETWORK_TYPE numbering.
enum class NetworkType : std::uint32_t { FH = 0, DS = 1, OFDM5 = 2, OFDM24 = 3 };

// NDIS_802_11_ENCRYPTION_STATUS values a card can be best at.
enum class BestEncryption : std::uint32_t { WEP = 0, None = 3, TKIP = 4, AES = 6 };

// Cipher and key-management flags as the application decodes elements.
inline constexpr std::uint32_t kCipherNone = 1;
inline constexpr std::uint32_t kCipherWep40 = 2;
inline constexpr std::uint32_t kCipherWep104 = 4;
inline constexpr std::uint32_t kCipherTkip = 8;
inline constexpr std::uint32_t kCipherCcmp = 16;
inline constexpr std::uint32_t kAkm8021X = 1;
inline constexpr std::uint32_t kAkmPsk = 2;

// One supported rate in 500 kbit/s units, with the basic-rate flag.
struct Rate {
    std::uint8_t units = 0;
    bool basic = false;
};

// A WPA (vendor element) or RSN element, given as raw bytes or as the
// ciphers and key management to build it from.
struct SecurityElement {
    bool present = false;
    std::vector<std::uint8_t> raw;  // whole element, header included, when given as hex
    std::uint32_t groupCipher = kCipherTkip;
    std::uint32_t pairwiseCiphers = kCipherTkip;  // cipher flags
    std::uint32_t keyManagement = kAkmPsk;        // key-management flags
    std::uint16_t capabilities = 0;
};

// RSSI over scenario time: keyframes interpolated linearly, an optional
// sinusoidal drift on top, visibility windows, and an optional loop period.
struct SignalKeyframe {
    double time = 0;  // seconds since the world started
    double rssi = -60;
};

struct VisibleWindow {
    double from = 0;
    std::optional<double> to;  // none: visible from `from` on
};

struct SignalTimeline {
    std::vector<SignalKeyframe> keyframes;  // sorted by time, at least one
    double driftAmplitude = 0;              // dB
    double driftPeriod = 60;                // seconds
    double driftPhase = 0;                  // seconds
    std::vector<VisibleWindow> visible;     // empty: always visible
    double repeat = 0;                      // seconds; 0: no loop
};

struct DhcpConfig {
    bool enabled = true;  // false: no DHCP server behind this access point
    std::string address = "192.168.1.100";
    std::string mask = "255.255.255.0";
    std::string gateway = "192.168.1.1";
    std::string server;  // default: the gateway
    std::vector<std::string> dns{"192.168.1.1"};
    std::string primaryWins;
    std::string secondaryWins;
    std::uint32_t leaseSeconds = 86400;
    std::uint32_t delayMs = 1500;
    bool fail = false;  // the server never answers: autoconfiguration address
};

struct TrafficConfig {
    double framesPerSecond = 0;  // 0: none
    double arpShare = 0.3;       // fraction of frames that are ARP requests
    double receiveErrorShare = 0;
};

// What the access point's key handshakes use; empty values are drawn at
// random for each handshake.
struct AuthenticatorConfig {
    std::vector<std::uint8_t> anonce;     // 32 bytes: the ANonce of every 4-way handshake
    std::vector<std::uint8_t> gtk;        // the first group key: 32 bytes for TKIP, 16 for CCMP
    std::uint64_t replayCounter = 1;      // of the first frame sent
    std::uint32_t groupRekeySeconds = 0;  // 0: the group key never changes
    // The socket another program plays the access point's side on; when
    // set, the values above and the passphrase are not used.
    std::string external;
};

struct AccessPoint {
    MacAddress bssid{};
    std::string ssid;  // bytes, at most 32
    bool hiddenSsid = false;
    std::uint32_t channel = 6;
    std::uint32_t frequencyKhz = 2437000;
    NetworkType networkType = NetworkType::OFDM24;
    bool adHoc = false;
    bool privacy = false;
    SecurityElement wpa;
    SecurityElement rsn;
    std::uint32_t beaconPeriod = 100;  // TU
    std::uint32_t atimWindow = 0;
    std::uint32_t hopPattern = 0;
    std::uint32_t hopSet = 0;
    std::uint32_t dwellTime = 0;
    std::vector<Rate> rates;
    std::string passphrase;  // 8 to 63 characters, or the PSK as 64 hex digits
    AuthenticatorConfig authenticator;
    std::vector<std::vector<std::uint8_t>> wepKeys;  // 5 or 13 bytes each
    SignalTimeline signal;
    DhcpConfig dhcp;
    TrafficConfig traffic;
};

struct AdapterCapabilities {
    bool wpa = true;
    bool wpa2 = true;
    BestEncryption bestEncryption = BestEncryption::AES;
    std::vector<Rate> rates;
    std::vector<NetworkType> networkTypes;
    std::uint32_t txPowerMw = 30;
    std::uint32_t linkSpeedMbps = 54;  // wired speed, or what an idle card reports
};

struct StaticIpConfig {
    std::string address;
    std::string mask = "255.255.255.0";
    std::string gateway;
    std::vector<std::string> dns;
};

// The association an adapter already has when the daemon starts.
struct InitialAssociation {
    MacAddress bssid{};
};

struct CardOptions {
    std::uint32_t associationDelayMs = 800;
    std::uint32_t autoRescanSeconds = 0;  // 0: the card scans only when asked
    std::int32_t sensitivityDbm = -92;    // weaker signals are out of range
};

struct StatisticsStart {
    std::uint32_t xmitOk = 0;
    std::uint32_t rcvOk = 0;
    std::uint32_t xmitError = 0;
    std::uint32_t rcvError = 0;
    std::uint32_t rcvNoBuffer = 0;
};

struct Adapter {
    std::string guid;        // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string deviceName;  // "\\DEVICE\\" + guid
    MacAddress permanentMac{};
    MacAddress currentMac{};
    std::string vendorDescription;
    bool wireless = true;
    AdapterCapabilities capabilities;
    std::optional<InitialAssociation> association;
    std::string registryServiceName;  // NetworkCards "ServiceName"
    std::string registryDescription;  // NetworkCards "Description"
    std::optional<StaticIpConfig> staticIp;
    DhcpConfig wiredDhcp;  // the wired LAN's server (wired adapters only)
    CardOptions options;
    StatisticsStart counters;
    // 4-byte replies the card's driver gives to these OIDs whatever its
    // state, in turn, the last one repeating: a driver that reports values
    // outside the published lists.
    std::map<std::uint32_t, std::vector<std::uint32_t>> replies;
};

struct Scenario {
    std::vector<Adapter> adapters;
    std::vector<AccessPoint> accessPoints;
    bool competingServiceRunning = true;
};

}  // namespace tarvik::driver::sim
