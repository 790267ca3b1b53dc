// The framed messages that carry driver-device requests between a client
// process and tarvik-driverd over a Unix stream socket.
//
// Every message is a 4-byte little-endian body length followed by the body:
// one kind byte, a 4-byte request id, then the kind's fields. Integers are
// little-endian; a string or byte field is a u32 length and that many bytes.
// Decoding is strict: every read is bounds-checked, lengths are capped, and
// trailing bytes make a message malformed. docs/driver-protocol.md has the
// full table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvik::driverio {

// Largest body accepted in either direction, 16 MiB: the one bound on what
// a request or reply carries, and so on the largest OID reply. A BSSID list
// item is about 150 to 600 bytes, so one list of tens of thousands of
// networks (a city survey) fits, while a client's memory stays bounded.
// Every OID buffer limit (driver channel, fetch, tarvik-oid) follows from it.
inline constexpr std::size_t kMaxMessageSize = std::size_t{16} << 20;
// Largest text field (device names, instance names, addresses).
inline constexpr std::size_t kMaxTextSize = 4096;
// Largest output capacity a client may ask for in one request.
inline constexpr std::uint32_t kMaxCapacity = kMaxMessageSize - 64;
// Largest OID data one query moves: the capacity less the query block's OID
// field and its slack (8 bytes).
inline constexpr std::uint32_t kMaxOidDataSize = kMaxCapacity - 8;

enum class MessageKind : std::uint8_t {
    // Client to daemon.
    Open = 1,            // target, name
    Control = 2,         // control code, output capacity, input bytes
    ReadPost = 3,        // capacity; completed later by ReadDone with the same id
    ReadCancel = 4,      // cancels every pending read of the connection
    WriteFrame = 5,      // frame bytes
    Subscribe = 6,       // media events and address changes from now on
    IpConfigGet = 7,     // device name
    AddressRelease = 8,  // device name
    ServiceQuery = 9,
    ServiceStart = 10,
    ServiceStop = 11,
    NetworkCardsGet = 12,  // the machine's NetworkCards registry entries
    // Daemon to client.
    Reply = 64,          // status, count, flag, bytes
    ReadDone = 65,       // status, frame bytes
    MediaEvent = 66,     // connected flag, instance name, device name
    AddressChange = 67,  // device name
};

// What an Open names: the protocol driver's device, an adapter's own device
// for direct queries, or a neutral handle for events, IP Helper and service
// requests.
enum class DeviceTarget : std::uint8_t { Driver = 0, Direct = 1, Control = 2 };

// One decoded message. Only the fields of its kind are meaningful.
struct Message {
    MessageKind kind = MessageKind::Reply;
    std::uint32_t id = 0;
    std::uint32_t code = 0;      // Control: I/O control code
    std::uint32_t capacity = 0;  // Control, ReadPost: output capacity
    std::uint32_t status = 0;    // Reply, ReadDone: Win32 status
    std::uint32_t count = 0;     // Reply: bytes returned or written
    std::uint8_t flag = 0;       // Open: DeviceTarget; MediaEvent: connected; Reply: boolean
    std::string text;            // names
    std::string device;          // MediaEvent: the adapter's device name
    std::vector<std::uint8_t> data;
};

bool IsRequestKind(MessageKind kind);

// Appends the framed message (length prefix included) to `out`.
void EncodeMessage(const Message& message, std::vector<std::uint8_t>& out);
std::vector<std::uint8_t> EncodeMessage(const Message& message);

enum class DecodeResult {
    Ok,
    Truncated,    // a field reaches past the end of the body
    UnknownKind,  // the kind byte names no message
    BadField,     // a field is out of its allowed range
    Trailing,     // bytes left after the last field
};

// Decodes one body (without its length prefix). On any result but Ok,
// `out.kind` and `out.id` are still set when the body had them, so that a
// server can answer the request with an error.
DecodeResult DecodeMessage(std::span<const std::uint8_t> body, Message& out);
const char* DecodeResultName(DecodeResult result);

// Splits a byte stream into message bodies.
class FrameBuffer {
  public:
    enum class Next { NeedMore, Body, Bad };

    void Append(std::span<const std::uint8_t> bytes);
    // Body: `body` holds the next message body. Bad: the length prefix is 0
    // or over kMaxMessageSize; the stream cannot be resynchronised.
    Next Take(std::vector<std::uint8_t>& body);
    std::size_t Buffered() const { return buffer_.size() - start_; }

  private:
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
};

// The fields of an IP Helper adapter record for one adapter.
struct IpConfigRecord {
    struct Address {
        std::string address;
        std::string mask;
    };
    bool dhcpEnabled = false;
    std::string dhcpServer;
    std::vector<Address> addresses;
    std::vector<std::string> gateways;
    std::vector<std::string> dnsServers;
    std::string primaryWins;
    std::string secondaryWins;
    std::int64_t leaseObtained = 0;
    std::int64_t leaseExpires = 0;
    bool autoconfigEnabled = true;
    bool autoconfigActive = false;
};

inline constexpr std::size_t kMaxIpListEntries = 64;

// One entry of the machine's NetworkCards registry list.
struct NetworkCardRecord {
    std::string serviceName;
    std::string description;
};

// The registry walk reads subkeys 0 to 127, so no more are carried.
inline constexpr std::size_t kMaxNetworkCards = 128;

std::vector<std::uint8_t> EncodeIpConfig(const IpConfigRecord& config);
DecodeResult DecodeIpConfig(std::span<const std::uint8_t> bytes, IpConfigRecord& out);

std::vector<std::uint8_t> EncodeNetworkCards(const std::vector<NetworkCardRecord>& cards);
DecodeResult DecodeNetworkCards(std::span<const std::uint8_t> bytes,
                                std::vector<NetworkCardRecord>& out);

}  // namespace tarvik::driverio
