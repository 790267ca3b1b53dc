// Frames in both directions and the counters that follow them.
#include "SimTestWorld.h"
#include "driver/sim/SimFrames.h"
#include "ndis/NdisTypes.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;

class SimTraffic : public SimWorldTest {
  protected:
    void SetUp() override { LoadWorld(); }

    void JoinOpen1() {
        Join(Device(kFull), "Open-1", Ndis802_11AuthModeOpen, Ndis802_11EncryptionDisabled);
        RunTo(1.5);  // associated at 0.5, leased at 1.5
        ASSERT_EQ(Ip(Device(kFull)).addresses[0].address, "192.168.1.50");
    }
    std::vector<SinkEvent> Frames() const {
        std::vector<SinkEvent> frames;
        for (const SinkEvent& event : sink_.events) {
            if (event.kind == SinkEvent::Kind::Frame) frames.push_back(event);
        }
        return frames;
    }
};

TEST_F(SimTraffic, NetworkTrafficArrivesAtItsRateWithValidHeaders) {
    JoinOpen1();
    const std::size_t before = Frames().size();
    const std::uint32_t rcvBefore = U32(Device(kFull), OID_GEN_RCV_OK);
    RunTo(11.5);
    const std::vector<SinkEvent> frames = Frames();
    EXPECT_EQ(frames.size() - before, 100u);  // 10 frames a second
    EXPECT_EQ(U32(Device(kFull), OID_GEN_RCV_OK) - rcvBefore, 100u);
    std::size_t arp = 0, ip = 0;
    for (const SinkEvent& frame : frames) {
        EXPECT_EQ(frame.name, Device(kFull));
        EXPECT_GE(frame.frame.size(), 60u);
        const auto type = EtherTypeOf(frame.frame);
        ASSERT_TRUE(type);
        arp += *type == kEtherTypeArp;
        if (*type != kEtherTypeIpv4) continue;
        ++ip;
        const std::uint8_t* header = frame.frame.data() + kEthernetHeaderSize;
        EXPECT_EQ(header[0], 0x45);
        std::uint32_t sum = 0;
        for (int i = 0; i < 20; i += 2) sum += (header[i] << 8) | header[i + 1];
        while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
        EXPECT_EQ(sum, 0xffffu);   // the header checksum verifies
        EXPECT_EQ(header[9], 17);  // UDP
        // From the network 192.168.1.0/24 to its broadcast address.
        EXPECT_EQ(header[12] + header[14] + header[19], 192 + 1 + 255);
    }
    EXPECT_EQ(arp + ip, frames.size());
    EXPECT_GT(arp, 20u);  // about half of each
    EXPECT_GT(ip, 20u);
}

TEST_F(SimTraffic, StationFramesCountAndTheGatewayAnswersArp) {
    JoinOpen1();
    const std::string device = Device(kFull);
    const std::uint32_t xmitBefore = U32(device, OID_GEN_XMIT_OK);
    const MacAddress station{0x00, 0x13, 0xe8, 0x00, 0x00, 0x01};
    const auto request = BuildArpRequest(station, 0xC0A80132, 0xC0A80101);  // who has .1?
    sink_.events.clear();
    ASSERT_EQ(backend_->WriteFrame(device, request), 0u);
    EXPECT_EQ(U32(device, OID_GEN_XMIT_OK), xmitBefore + 1);
    // The reply comes at once, through the access point.
    ASSERT_EQ(sink_.events.size(), 1u);
    const std::vector<std::uint8_t>& reply = sink_.events[0].frame;
    ASSERT_EQ(EtherTypeOf(reply), kEtherTypeArp);
    EXPECT_TRUE(std::equal(station.begin(), station.end(), reply.begin()));
    EXPECT_EQ(reply[21], 2);  // ARP reply
    EXPECT_TRUE(std::equal(kOpen1.begin(), kOpen1.end(), reply.begin() + 22));

    // Anyone else's address: no answer. EAPOL: the access point has no
    // authenticator for an open network's frames either.
    ASSERT_EQ(backend_->WriteFrame(device, BuildArpRequest(station, 0xC0A80132, 0xC0A80177)), 0u);
    std::vector<std::uint8_t> eapol(60, 0);
    eapol[12] = 0x88;
    eapol[13] = 0x8e;
    ASSERT_EQ(backend_->WriteFrame(device, eapol), 0u);
    EXPECT_EQ(sink_.events.size(), 1u);
    EXPECT_EQ(U32(device, OID_GEN_XMIT_OK), xmitBefore + 3);
}

TEST_F(SimTraffic, WritesWithoutAnAssociationAreErrorsAndCountersWrap) {
    const std::string device = Device(kFull);
    const std::vector<std::uint8_t> frame(60, 0);
    EXPECT_EQ(backend_->WriteFrame(device, frame), ERROR_GEN_FAILURE + 0u);
    EXPECT_EQ(U32(device, OID_GEN_XMIT_ERROR), 1u);
    EXPECT_EQ(U32(device, OID_GEN_XMIT_OK), 0u);
    // Frames without a whole Ethernet header, or longer than any read, are refused.
    for (const std::size_t size : {13, 2401}) {
        EXPECT_EQ(backend_->WriteFrame(device, std::vector<std::uint8_t>(size, 0)),
                  ERROR_INVALID_PARAMETER + 0u);
    }
    EXPECT_EQ(U32(device, OID_GEN_XMIT_ERROR), 1u);

    const std::string wired = Device(kWiredStatic);  // starts at 4294967290
    for (int i = 0; i < 10; ++i) ASSERT_EQ(backend_->WriteFrame(wired, frame), 0u);
    EXPECT_EQ(U32(wired, OID_GEN_XMIT_OK), 4u);
}

TEST_F(SimTraffic, FramesWithoutASinkCountAsNoBufferAndDisconnectStopsThem) {
    JoinOpen1();
    backend_->SetSink(nullptr);
    const std::string device = Device(kFull);
    const std::uint32_t okBefore = U32(device, OID_GEN_RCV_OK);
    RunTo(2.5);
    EXPECT_EQ(U32(device, OID_GEN_RCV_OK), okBefore);
    EXPECT_EQ(U32(device, OID_GEN_RCV_NO_BUFFER), 10u);
    backend_->SetSink(&sink_);
    ASSERT_EQ(SetNoValue(device, OID_802_11_DISASSOCIATE), 0u);
    const std::size_t before = Frames().size();
    RunTo(20);
    EXPECT_EQ(Frames().size(), before);
}

}  // namespace
}  // namespace tarvik::driver::sim
