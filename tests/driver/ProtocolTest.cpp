#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/driverio/DriverProtocol.h"
#include "platform/driverio/DriverSocketPath.h"

namespace tarvik::driverio {
namespace {

std::vector<std::uint8_t> BodyOf(const Message& m) {
    auto framed = EncodeMessage(m);
    return {framed.begin() + 4, framed.end()};
}

Message Sample(MessageKind kind) {
    Message m;
    m.kind = kind;
    m.id = 0x01020304;
    m.code = 0x0012C804;
    m.capacity = 2400;
    m.status = 995;
    m.count = 17;
    m.flag = 1;
    m.text = "\\DEVICE\\{GUID}";
    m.data = {1, 2, 3, 4, 5};
    return m;
}

const MessageKind kAllKinds[] = {
    MessageKind::Open,          MessageKind::Control,        MessageKind::ReadPost,
    MessageKind::ReadCancel,    MessageKind::WriteFrame,     MessageKind::Subscribe,
    MessageKind::IpConfigGet,   MessageKind::AddressRelease, MessageKind::ServiceQuery,
    MessageKind::ServiceStart,  MessageKind::ServiceStop,    MessageKind::NetworkCardsGet,
    MessageKind::Reply,         MessageKind::ReadDone,       MessageKind::MediaEvent,
    MessageKind::AddressChange,
};

TEST(DriverProtocol, EveryKindSurvivesEncodeAndDecodeAndEveryTruncationIsRefused) {
    for (MessageKind kind : kAllKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        const auto body = BodyOf(Sample(kind));
        Message back;
        ASSERT_EQ(DecodeMessage(body, back), DecodeResult::Ok);
        EXPECT_EQ(back.kind, kind);
        EXPECT_EQ(back.id, 0x01020304u);
        EXPECT_EQ(BodyOf(back), body);  // nothing the kind carries was lost
        for (std::size_t cut = 0; cut < body.size(); ++cut) {
            Message partial;
            const std::vector<std::uint8_t> prefix(body.begin(), body.begin() + cut);
            EXPECT_NE(DecodeMessage(prefix, partial), DecodeResult::Ok) << "cut at " << cut;
        }
        auto longer = body;
        longer.push_back(0);
        EXPECT_EQ(DecodeMessage(longer, back), DecodeResult::Trailing);
    }
}

TEST(DriverProtocol, HostileFieldsAreRefusedWithTheRequestIdKept) {
    // Unknown kind: the id is still reported so that the server can answer.
    std::vector<std::uint8_t> unknown = {0x20, 7, 0, 0, 0};
    Message m;
    EXPECT_EQ(DecodeMessage(unknown, m), DecodeResult::UnknownKind);
    EXPECT_EQ(m.id, 7u);

    // A byte field that claims far more than the body holds.
    std::vector<std::uint8_t> lying = {5, 9, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2};
    EXPECT_EQ(DecodeMessage(lying, m), DecodeResult::BadField);
    EXPECT_EQ(m.id, 9u);

    // A text field over the text limit.
    Message open = Sample(MessageKind::Open);
    open.text.assign(kMaxTextSize + 1, 'x');
    EXPECT_EQ(DecodeMessage(BodyOf(open), m), DecodeResult::BadField);

    // Out-of-range target, capacity and boolean.
    open.text = "x";
    open.flag = 3;
    EXPECT_EQ(DecodeMessage(BodyOf(open), m), DecodeResult::BadField);
    Message read = Sample(MessageKind::ReadPost);
    read.capacity = kMaxCapacity + 1;
    EXPECT_EQ(DecodeMessage(BodyOf(read), m), DecodeResult::BadField);
    Message media = Sample(MessageKind::MediaEvent);
    media.flag = 2;
    EXPECT_EQ(DecodeMessage(BodyOf(media), m), DecodeResult::BadField);

    EXPECT_EQ(DecodeMessage({}, m), DecodeResult::Truncated);
}

TEST(DriverProtocol, FrameBufferSplitsAStreamAndRefusesImpossibleLengths) {
    std::vector<std::uint8_t> stream;
    EncodeMessage(Sample(MessageKind::Control), stream);
    EncodeMessage(Sample(MessageKind::ReadDone), stream);
    FrameBuffer frames;
    std::vector<std::uint8_t> body;
    int bodies = 0;
    for (std::uint8_t byte : stream) {  // one byte at a time
        frames.Append({&byte, 1});
        while (frames.Take(body) == FrameBuffer::Next::Body) ++bodies;
    }
    EXPECT_EQ(bodies, 2);
    EXPECT_EQ(frames.Buffered(), 0u);

    FrameBuffer zero;
    const std::uint8_t empty[] = {0, 0, 0, 0};
    zero.Append(empty);
    EXPECT_EQ(zero.Take(body), FrameBuffer::Next::Bad);

    FrameBuffer huge;
    const auto over = static_cast<std::uint32_t>(kMaxMessageSize + 1);
    const std::uint8_t tooLong[] = {
        static_cast<std::uint8_t>(over), static_cast<std::uint8_t>(over >> 8),
        static_cast<std::uint8_t>(over >> 16), static_cast<std::uint8_t>(over >> 24)};
    huge.Append(tooLong);
    EXPECT_EQ(huge.Take(body), FrameBuffer::Next::Bad);
}

TEST(DriverProtocol, IpConfigRoundTripsAndRefusesDamage) {
    IpConfigRecord c;
    c.dhcpEnabled = true;
    c.dhcpServer = "10.0.0.1";
    c.addresses = {{"10.0.0.5", "255.0.0.0"}, {"10.0.0.6", "255.0.0.0"}};
    c.gateways = {"10.0.0.1"};
    c.dnsServers = {"10.0.0.2", "10.0.0.3"};
    c.primaryWins = "10.0.0.9";
    c.leaseObtained = 1700000000;
    c.leaseExpires = -1;
    c.autoconfigActive = true;
    const auto bytes = EncodeIpConfig(c);
    IpConfigRecord back;
    ASSERT_EQ(DecodeIpConfig(bytes, back), DecodeResult::Ok);
    EXPECT_EQ(EncodeIpConfig(back), bytes);
    EXPECT_EQ(back.addresses[1].address, "10.0.0.6");
    EXPECT_EQ(back.leaseExpires, -1);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_NE(DecodeIpConfig({bytes.data(), cut}, back), DecodeResult::Ok);
    }
    // An address count far over the limit is refused before anything is allocated.
    std::vector<std::uint8_t> many = {0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(DecodeIpConfig(many, back), DecodeResult::BadField);
}

TEST(DriverProtocol, NetworkCardsRoundTripAndRefuseDamage) {
    const std::vector<NetworkCardRecord> cards = {{"{GUID-1}", "Card one"}, {"{GUID-2}", ""}};
    const auto bytes = EncodeNetworkCards(cards);
    std::vector<NetworkCardRecord> back;
    ASSERT_EQ(DecodeNetworkCards(bytes, back), DecodeResult::Ok);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].description, "Card one");
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_NE(DecodeNetworkCards({bytes.data(), cut}, back), DecodeResult::Ok);
        EXPECT_TRUE(back.empty());
    }
    const std::vector<std::uint8_t> tooMany = {129, 0, 0, 0};
    EXPECT_EQ(DecodeNetworkCards(tooMany, back), DecodeResult::BadField);
}

TEST(DriverSocketPath, WindowsNamesMapToTargetsAndPaths) {
    unsetenv(kDriverSocketEnv);
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    DeviceAddress a;
    ASSERT_TRUE(ResolveDeviceName("\\\\.\\TarvikP", a));
    EXPECT_EQ(a.target, DeviceTarget::Driver);
    EXPECT_EQ(a.socketPath, "/run/user/1000/tarvik/driver.sock");
    ASSERT_TRUE(ResolveDeviceName("\\\\.\\Globals\\tarvikp", a));
    EXPECT_EQ(a.target, DeviceTarget::Driver);
    EXPECT_EQ(a.socketPath, "/run/tarvik/driver.sock");
    ASSERT_TRUE(ResolveDeviceName("\\\\.\\{ABC}", a));
    EXPECT_EQ(a.target, DeviceTarget::Direct);
    EXPECT_EQ(a.name, "{ABC}");
    ASSERT_TRUE(ResolveDeviceName("\\\\.\\Globals\\{ABC}", a));
    EXPECT_EQ(a.target, DeviceTarget::Direct);
    EXPECT_EQ(a.socketPath, "/run/tarvik/driver.sock");

    EXPECT_FALSE(ResolveDeviceName("TarvikP", a));
    EXPECT_FALSE(ResolveDeviceName("\\\\.\\", a));
    EXPECT_FALSE(ResolveDeviceName("\\\\.\\Globals\\", a));
    EXPECT_FALSE(ResolveDeviceName("\\\\.\\a\\b", a));

    setenv(kDriverSocketEnv, "/tmp/x.sock", 1);
    ASSERT_TRUE(ResolveDeviceName("\\\\.\\Globals\\TarvikP", a));
    EXPECT_EQ(a.socketPath, "/tmp/x.sock");
    EXPECT_EQ(UserSocketPath(), "/tmp/x.sock");
    unsetenv(kDriverSocketEnv);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(UserSocketPath(), "/tmp/tarvik-" + std::to_string(getuid()) + "/driver.sock");
}

}  // namespace
}  // namespace tarvik::driverio
