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
    return {kind, 0x01020304, 0x0012C804,         2400, 995,
            17,   1,          "\\DEVICE\\{GUID}", "",   {1, 2, 3, 4, 5}};
}

TEST(DriverProtocol, EveryKindSurvivesEncodeAndDecodeAndEveryTruncationIsRefused) {
    for (int value = 1; value <= 67; value = value == 12 ? 64 : value + 1) {
        SCOPED_TRACE(value);
        const auto kind = static_cast<MessageKind>(value);
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
    Message read = Sample(MessageKind::ReadPost), media = Sample(MessageKind::MediaEvent);
    read.capacity = kMaxCapacity + 1;
    media.flag = 2;
    for (const Message& bad : {open, read, media}) {
        EXPECT_EQ(DecodeMessage(BodyOf(bad), m), DecodeResult::BadField);
    }
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
    huge.Append({reinterpret_cast<const std::uint8_t*>(&over), 4});  // little-endian host
    EXPECT_EQ(huge.Take(body), FrameBuffer::Next::Bad);
}

TEST(DriverProtocol, RecordsRoundTripAndRefuseDamage) {
    IpConfigRecord c;
    c.dhcpEnabled = c.autoconfigActive = true;
    c.dhcpServer = c.gateways.emplace_back("10.0.0.1");
    c.addresses = {{"10.0.0.5", "255.0.0.0"}, {"10.0.0.6", "255.0.0.0"}};
    c.dnsServers = {"10.0.0.2", "10.0.0.3"};
    c.primaryWins = "10.0.0.9";
    c.leaseObtained = 1700000000;
    c.leaseExpires = -1;
    const auto bytes = EncodeIpConfig(c);
    IpConfigRecord back;
    ASSERT_EQ(DecodeIpConfig(bytes, back), DecodeResult::Ok);
    EXPECT_EQ(EncodeIpConfig(back), bytes);
    EXPECT_EQ(back.addresses[1].address, "10.0.0.6");
    EXPECT_EQ(back.leaseExpires, -1);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_NE(DecodeIpConfig({bytes.data(), cut}, back), DecodeResult::Ok);
    }
    // Counts far over the limit are refused before anything is allocated.
    std::vector<std::uint8_t> many = {0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(DecodeIpConfig(many, back), DecodeResult::BadField);

    const std::vector<NetworkCardRecord> cards = {{"{GUID-1}", "Card one"}, {"{GUID-2}", ""}};
    const auto cardBytes = EncodeNetworkCards(cards);
    std::vector<NetworkCardRecord> cardsBack;
    ASSERT_EQ(DecodeNetworkCards(cardBytes, cardsBack), DecodeResult::Ok);
    ASSERT_EQ(cardsBack.size(), 2u);
    EXPECT_EQ(cardsBack[0].description, "Card one");
    for (std::size_t cut = 0; cut < cardBytes.size(); ++cut) {
        EXPECT_NE(DecodeNetworkCards({cardBytes.data(), cut}, cardsBack), DecodeResult::Ok);
        EXPECT_TRUE(cardsBack.empty());
    }
    EXPECT_EQ(DecodeNetworkCards(std::vector<std::uint8_t>{129, 0, 0, 0}, cardsBack),
              DecodeResult::BadField);
}

TEST(DriverSocketPath, WindowsNamesMapToTargetsAndPaths) {
    unsetenv(kDriverSocketEnv);
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    const struct {
        const char* name;
        DeviceTarget target;
        const char *direct, *path;  // direct: the adapter named; null: refused
    } rows[] = {
        {"\\\\.\\TarvikP", DeviceTarget::Driver, "", "/run/user/1000/tarvik/driver.sock"},
        {"\\\\.\\Globals\\tarvikp", DeviceTarget::Driver, "", "/run/tarvik/driver.sock"},
        {"\\\\.\\{ABC}", DeviceTarget::Direct, "{ABC}", "/run/user/1000/tarvik/driver.sock"},
        {"\\\\.\\Globals\\{ABC}", DeviceTarget::Direct, "{ABC}", "/run/tarvik/driver.sock"},
        {"TarvikP", {}, nullptr, ""},
        {"\\\\.\\Globals\\", {}, nullptr, ""},
    };
    for (const auto& row : rows) {
        DeviceAddress a;
        ASSERT_EQ(ResolveDeviceName(row.name, a), row.direct != nullptr) << row.name;
        if (row.direct == nullptr) continue;
        EXPECT_EQ(a.target, row.target) << row.name;
        EXPECT_EQ(row.target == DeviceTarget::Direct ? a.name : "", row.direct) << row.name;
        EXPECT_EQ(a.socketPath, row.path) << row.name;
    }
    setenv(kDriverSocketEnv, "/tmp/x.sock", 1);
    DeviceAddress a;
    ASSERT_TRUE(ResolveDeviceName("\\\\.\\Globals\\TarvikP", a));
    EXPECT_EQ(a.socketPath, "/tmp/x.sock");
    EXPECT_EQ(UserSocketPath(), "/tmp/x.sock");
    unsetenv(kDriverSocketEnv);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(UserSocketPath(), "/tmp/tarvik-" + std::to_string(getuid()) + "/driver.sock");
}

}  // namespace
}  // namespace tarvik::driverio
