// One card at a time against tarvik-driverd: what it learns, sets and waits for.
#include <gtest/gtest.h>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "adapter/DriverAnswerBound.h"
#include "ndis/AssociationInformation.h"
#include "ndis/ByteOrder.h"
#include "ndis/Oids.h"
#include "networks/NetworkList.h"

namespace tarvik::testing {
namespace {

const std::string kStaticCard = "\\DEVICE\\{AD000021-0000-4000-8000-000000000021}";
const std::string kDhcpCard = "\\DEVICE\\{AD000022-0000-4000-8000-000000000022}";
const std::string kAutoconfigCard = "\\DEVICE\\{AD000023-0000-4000-8000-000000000023}";
const std::string kOldCard = "\\DEVICE\\{AD000024-0000-4000-8000-000000000024}";
const std::string kTwinA = "\\DEVICE\\{AD000041-0000-4000-8000-000000000041}";
const std::string kTwinB = "\\DEVICE\\{AD000042-0000-4000-8000-000000000042}";

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()); }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{ScenarioPath("associated.json")};
    QueueDispatcher dispatcher_;
};

// Open, shared key off, WEP on, then the SSID: the card joins `ssid`.
void Join(CAdapter& adapter, const std::string& ssid) {
    ASSERT_EQ(adapter.OpenChannel(), 0);
    ASSERT_EQ(adapter.SetInfrastructureMode(1), 0);
    ASSERT_EQ(adapter.SetAuthenticationMode(0), 0);
    ASSERT_EQ(adapter.SetEncryptionStatus(1), 0);
    ASSERT_EQ(adapter.SetSsid(ssid), 0);
}

TEST_F(AdapterTest, InitializeLearnsTheCardAndItsHiveNameAndClosesItsChannel) {
    CAdapter adapter(kStaticCard, log_.Settings());
    EXPECT_TRUE(adapter.IsWireless());
    EXPECT_EQ(adapter.VendorDescription(), "Static Card");
    // The driver's registry entry repeats the vendor text: no parenthesis.
    EXPECT_EQ(adapter.RegistryDescription(), "Static Card");
    EXPECT_EQ(adapter.GetDisplayName(), " Static Card - Wireless LAN");
    EXPECT_EQ(adapter.PermanentAddress(), (ndis::MacAddress{0x00, 0x13, 0xe8, 0x21, 0x00, 0x01}));
    ASSERT_TRUE(adapter.HasIpConfig());
    EXPECT_FALSE(adapter.IsDhcpEnabled());
    EXPECT_EQ(adapter.IpAddressText(), "10.9.8.7");
    EXPECT_FALSE(adapter.Channel().Handle());
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Closing driver handle on " + kStaticCard));

    CAdapter unbound("\\DEVICE\\{00000000-0000-0000-0000-000000000000}", log_.Settings());
    EXPECT_FALSE(unbound.IsWireless());
    EXPECT_EQ(unbound.GetDisplayName(), " Generic Wireless Card - Non-Wireless");
    EXPECT_FALSE(unbound.HasIpConfig());
    EXPECT_TRUE(Contains(log_.Messages(), "App: Error: Could not find adapter in IP helper data!"));

    // The registry description comes from the machine hive, first match.
    const std::string key = std::string(kNetworkCardsKey);
    auto& machine = RegistryStore::LocalMachine();
    ASSERT_TRUE(machine.WriteString(key + "\\3", "ServiceName", "{NOT-THIS-ONE}"));
    ASSERT_TRUE(
        machine.WriteString(key + "\\7", "ServiceName", "{AD000022-0000-4000-8000-000000000022}"));
    ASSERT_TRUE(machine.WriteString(key + "\\7", "Description", "Hive Card Name"));
    ASSERT_TRUE(machine.WriteString(key + "\\9", "ServiceName", "AD000022"));
    ASSERT_TRUE(machine.WriteString(key + "\\9", "Description", "Later Match"));

    CAdapter dhcp(kDhcpCard, log_.Settings());
    EXPECT_EQ(dhcp.GetDisplayName(), " Dhcp Card (Hive Card Name) - Wireless LAN");
    CAdapter other(kStaticCard, log_.Settings());
    EXPECT_EQ(other.RegistryDescription(), "");
}

// The probe of a card without WPA ends at open and WEP. Then the joined
// network's association information, and sets that reach the card.
TEST_F(AdapterTest, ProbeAssociationInformationAndSetsReachTheCard) {
    CAdapter old(kOldCard, log_.Settings());
    ASSERT_EQ(old.OpenChannel(), 0);
    EXPECT_EQ(old.ProbeSecurityCapabilities(), 0);
    EXPECT_EQ(old.WpaCapability(), 0u);
    EXPECT_EQ(old.BestEncryption(), 0u);
    ASSERT_EQ(old.QueryAuthenticationMode(), 0);
    EXPECT_EQ(old.AuthenticationMode(), 0u);
    EXPECT_EQ(old.ProbeSecurityCapabilities(), -1);  // once only

    CAdapter adapter(kDhcpCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    ASSERT_EQ(adapter.QueryAssociationInformation(), 0);
    const auto info = ndis::ParseAssociationInformation(adapter.AssociationInformation());
    ASSERT_TRUE(info);  // the request carried the joined network's SSID element first
    const std::vector<std::uint8_t> element{0, 8, 'L', 'e', 'a', 's', 'e', 'N', 'e', 't'};
    ASSERT_GE(info->requestIes.size(), element.size());
    EXPECT_TRUE(std::equal(element.begin(), element.end(), info->requestIes.begin()));

    EXPECT_EQ(adapter.QueryCurrentSsidText(), "LeaseNet");
    // A key's own Length field (37) is what is sent; one past the bytes given is refused.
    std::vector<std::uint8_t> key(40, 0);
    ndis::StoreLe32(key.data(), 37);
    ndis::StoreLe32(key.data() + 8, 5);
    EXPECT_EQ(adapter.AddKey(key), 0);
    ndis::StoreLe32(key.data(), 41);
    EXPECT_EQ(adapter.AddKey(key), RES_FAILURE);
    EXPECT_EQ(adapter.SetBssid({0x00, 0x18, 0x39, 0x21, 0x00, 0x02}), 0);
    EXPECT_EQ(adapter.Disassociate(), RES_DISASSOCIATE_DONE);
    adapter.CloseChannel();
    EXPECT_EQ(adapter.Disassociate(), RES_DISASSOCIATE_FAILED);
    EXPECT_NE(adapter.QueryAssociationInformation(), 0);
    EXPECT_TRUE(adapter.AssociationInformation().empty());
    EXPECT_EQ(adapter.ScanAndFetchBssidList(true, [](std::span<const std::uint8_t>) {}),
              RES_SCAN_REQUEST_FAILED);
}

// Fetches the card's list into `list` and refreshes the statuses.
Result Refresh(CAdapter& adapter, CNetworkList& list, std::uint32_t scanCounter) {
    const Result fetched = adapter.ScanAndFetchBssidList(
        false, [&](std::span<const std::uint8_t> bytes) { list.MergeBssidList(bytes); });
    if (fetched != RES_BSSID_LIST_OBTAINED) return fetched;
    return adapter.UpdateConnectionStates(list.Snapshot(), scanCounter);
}

std::uint32_t StatusOf(const CNetworkList& list, std::uint8_t lastByte) {
    const auto record = list.FindByMac({0x00, 0x18, 0x39, 0x21, 0x00, lastByte});
    return record ? record->ConnectionStatus() : 0xffffffffu;
}

TEST_F(AdapterTest, ConnectionStatusesFollowTheAssociation) {
    struct Row {
        const std::string& card;
        std::uint8_t joined;
        std::uint32_t status;
    };
    for (const Row& row :
         {Row{kStaticCard, 1, STATUS_CONNECTED_MANUAL}, Row{kDhcpCard, 2, STATUS_CONNECTED},
          Row{kAutoconfigCard, 3, STATUS_CONNECTED_INVALID_IP}}) {
        SCOPED_TRACE(row.card);
        CAdapter adapter(row.card, log_.Settings());
        ASSERT_EQ(adapter.OpenChannel(), 0);
        CNetworkList list;
        // The lease may still be on its way.
        EXPECT_TRUE(Eventually([&] {
            return Refresh(adapter, list, list.ScanCounter() + 1) ==
                       RES_CONNECTION_STATES_UPDATED &&
                   StatusOf(list, row.joined) == row.status;
        }));
        EXPECT_EQ(StatusOf(list, row.joined % 3 + 1), STATUS_NOT_CONNECTED);
        EXPECT_TRUE(adapter.IsConnected());
    }
    // Seen more scans ago than HitOutOfRangeInterval (5): not detected,
    // although the card is still associated with it.
    CAdapter adapter(kStaticCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    CNetworkList list;
    ASSERT_EQ(Refresh(adapter, list, 1), RES_CONNECTION_STATES_UPDATED);
    const std::pair<std::uint32_t, std::uint32_t> ages[] = {{6, STATUS_NOT_DETECTED},
                                                            {4, STATUS_CONNECTED_MANUAL}};
    for (const auto& [age, status] : ages) {
        ASSERT_EQ(adapter.UpdateConnectionStates(list.Snapshot(), list.ScanCounter() + age),
                  RES_CONNECTION_STATES_UPDATED);
        EXPECT_EQ(StatusOf(list, 1), status);
    }
    // Without a channel the media state cannot be queried.
    adapter.CloseChannel();
    EXPECT_EQ(adapter.UpdateConnectionStates(list.Snapshot(), 0), RES_CONNECTION_QUERY_FAILED);
}

// A timeout of 0 makes no passes: the second query decides. Each pass of
// a longer wait but the last warns with the passes left.
TEST_F(AdapterTest, WaitsCountDownTheirPasses) {
    CAdapter adapter(kOldCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    EXPECT_EQ(adapter.WaitForMediaConnect(0), RES_MEDIA_WAIT_TIMEOUT);
    EXPECT_EQ(adapter.WaitForAddress(0), RES_ADDRESS_WAIT_TIMEOUT);
    CAdapter staticCard(kStaticCard, log_.Settings());
    EXPECT_EQ(staticCard.WaitForAddress(0), RES_ADDRESS_OBTAINED);
    auto lines = log_.Messages();
    EXPECT_EQ(CountOf(lines, "App: Info: Timed out wait for media status change"), 1u);
    EXPECT_TRUE(Contains(lines, "App: Info: Already have an IP! 10.9.8.7"));

    EXPECT_EQ(adapter.WaitForMediaConnect(2), RES_MEDIA_WAIT_TIMEOUT);
    CAdapter autoCard(kAutoconfigCard, log_.Settings());
    EXPECT_EQ(autoCard.WaitForAddress(1), RES_ADDRESS_WAIT_TIMEOUT);
    lines = log_.Messages();
    const std::string media = "Timed out waiting for media state change";
    const std::string address = "Timed out waiting for ip address change";
    for (const std::string& line :
         {"Warn: " + media + ", but trying 3 more times",
          "Warn: " + media + ", but trying 1 more times", "Error: " + media,
          "Warn: " + address + ", but trying 1 more times", "Error: " + address}) {
        EXPECT_EQ(CountOf(lines, "App: " + line), 1u) << line;
    }
    EXPECT_EQ(CountStarting(lines, "App: Warn: " + media), 3u);
}

// Without the driver no sink source starts. With it, a sink event ends the
// wait, then the lease arrives.
TEST_F(AdapterTest, SinkEventEndsTheWaitThenTheLeaseArrives) {
    ::setenv("TARVIK_DRIVER_SOCKET", (folder_.Path() / "absent.sock").c_str(), 1);
    EXPECT_EQ(CMediaEventSource(dispatcher_).StartWmi(), RES_FAILURE);
    ::setenv("TARVIK_DRIVER_SOCKET", daemon_.socketPath().c_str(), 1);
    CMediaEventSource source(dispatcher_);
    ASSERT_EQ(source.StartWmi(), 0);
    CAdapter adapter(kOldCard, log_.Settings(), &source);
    ASSERT_TRUE(adapter.HasMediaEventSink());
    Join(adapter, "LeaseNet");

    EXPECT_EQ(RunWhilePumping(dispatcher_, [&] { return adapter.WaitForMediaConnect(5); }),
              RES_MEDIA_CONNECTED);
    const auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Got a connect on: Old Card"));
    EXPECT_TRUE(Contains(lines, "App: Info: Received an media status change event from the sink"));
    EXPECT_TRUE(Contains(lines, "App: Info: Media is connected, we are ready to proceed"));
    EXPECT_EQ(RunWhilePumping(dispatcher_, [&] { return adapter.WaitForAddress(5); }),
              RES_ADDRESS_OBTAINED);
    EXPECT_EQ(adapter.IpAddressText(), "192.168.21.50");
    adapter.Close();
    EXPECT_FALSE(adapter.HasMediaEventSink());
}

// A driver that stops answering costs a GUI-thread stretch its bound: the
// request fails as not answered and the status line says so.
TEST_F(AdapterTest, AFrozenDriverFailsTheBoundedRequestAndSaysSo) {
    CAdapter adapter(kStaticCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    daemon_.Freeze();
    {
        const CDriverAnswerBound bound;
        EXPECT_EQ(adapter.QueryMediaStatus(), ERROR_TIMEOUT);
        EXPECT_EQ(adapter.QueryAssociatedBssid(), ERROR_TIMEOUT);
        EXPECT_TRUE(bound.ReportIfNotAnswering());
    }
    EXPECT_TRUE(Contains(log_.Messages(), std::string("App: Info: ") + kDriverNotAnsweringText));
    daemon_.Thaw();
    // Once the driver answers again, so do bounded requests.
    ASSERT_EQ(adapter.QueryMediaStatus(), 0);
    const CDriverAnswerBound bound;
    EXPECT_EQ(adapter.QueryMediaStatus(), 0);
    EXPECT_FALSE(bound.ReportIfNotAnswering());
}

TEST(MediaEventsOfOneModel, ACardsConnectNeverMarksItsTwinConnected) {
    TempFolder folder;
    LogCapture log(folder.Path());
    DaemonProcess daemon(ScenarioPath("same_model.json"));
    ASSERT_TRUE(daemon.ready());
    QueueDispatcher dispatcher;
    CMediaEventSource source(dispatcher);
    ASSERT_EQ(source.StartWmi(), 0);
    CAdapter a(kTwinA, log.Settings(), &source);
    CAdapter b(kTwinB, log.Settings(), &source);
    ASSERT_EQ(a.VendorDescription(), b.VendorDescription());
    Join(a, "TwinNet");
    EXPECT_EQ(RunWhilePumping(dispatcher, [&] { return a.WaitForMediaConnect(5); }),
              RES_MEDIA_CONNECTED);
    // The connect event has reached every sink.
    EXPECT_TRUE(dispatcher.PumpUntil(
        [&] { return Contains(log.Messages(), "App: Info: Got a connect on: Twin Card"); }));
    EXPECT_EQ(a.MediaStatus(), kMediaConnected);
    EXPECT_EQ(b.MediaStatus(), kMediaDisconnected);
    EXPECT_EQ(CountOf(log.Messages(), "App: Info: Got a connect on: Twin Card"), 1u);
}

}  // namespace
}  // namespace tarvik::testing
