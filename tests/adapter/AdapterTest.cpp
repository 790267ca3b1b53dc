#include <gtest/gtest.h>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "ndis/AssociationInformation.h"
#include "ndis/ByteOrder.h"
#include "networks/NetworkList.h"

namespace tarvik::testing {
namespace {

const std::string kStaticCard = "\\DEVICE\\{AD000021-0000-4000-8000-000000000021}";
const std::string kDhcpCard = "\\DEVICE\\{AD000022-0000-4000-8000-000000000022}";
const std::string kAutoconfigCard = "\\DEVICE\\{AD000023-0000-4000-8000-000000000023}";
const std::string kOldCard = "\\DEVICE\\{AD000024-0000-4000-8000-000000000024}";

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()); }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{ScenarioPath("associated.json")};
};

TEST_F(AdapterTest, InitializeLearnsTheCardAndClosesItsChannel) {
    CAdapter adapter(kStaticCard, log_.Settings());
    EXPECT_TRUE(adapter.IsWireless());
    EXPECT_EQ(adapter.AdapterTypeText(), "Wireless LAN");
    EXPECT_EQ(adapter.VendorDescription(), "Static Card");
    // The driver's registry entry repeats the vendor text: no parenthesis.
    EXPECT_EQ(adapter.RegistryDescription(), "Static Card");
    EXPECT_EQ(adapter.GetDisplayName(), " Static Card - Wireless LAN");
    EXPECT_EQ(adapter.PermanentAddress(), (ndis::MacAddress{0x00, 0x13, 0xe8, 0x21, 0x00, 0x01}));
    EXPECT_EQ(adapter.CurrentAddress(), adapter.PermanentAddress());
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
}

TEST_F(AdapterTest, RegistryDescriptionComesFromTheMachineHive) {
    const std::string key = std::string(kNetworkCardsKey);
    auto& machine = RegistryStore::LocalMachine();
    ASSERT_TRUE(machine.WriteString(key + "\\3", "ServiceName", "{NOT-THIS-ONE}"));
    ASSERT_TRUE(
        machine.WriteString(key + "\\7", "ServiceName", "{AD000022-0000-4000-8000-000000000022}"));
    ASSERT_TRUE(machine.WriteString(key + "\\7", "Description", "Hive Card Name"));
    ASSERT_TRUE(machine.WriteString(key + "\\9", "ServiceName", "AD000022"));
    ASSERT_TRUE(machine.WriteString(key + "\\9", "Description", "Later Match"));

    CAdapter adapter(kDhcpCard, log_.Settings());
    EXPECT_EQ(adapter.GetDisplayName(), " Dhcp Card (Hive Card Name) - Wireless LAN");
    CAdapter other(kStaticCard, log_.Settings());
    EXPECT_EQ(other.RegistryDescription(), "");
}

TEST_F(AdapterTest, ProbeOfACardWithoutWpaEndsAtOpenAndWep) {
    CAdapter adapter(kOldCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    EXPECT_EQ(adapter.ProbeSecurityCapabilities(), 0);
    EXPECT_EQ(adapter.WpaCapability(), 0u);
    EXPECT_EQ(adapter.BestEncryption(), 0u);
    ASSERT_EQ(adapter.QueryAuthenticationMode(), 0);
    EXPECT_EQ(adapter.AuthenticationMode(), 0u);
    EXPECT_EQ(adapter.ProbeSecurityCapabilities(), -1);  // once only
}

TEST_F(AdapterTest, AssociationInformationOfTheJoinedNetwork) {
    CAdapter adapter(kDhcpCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    ASSERT_EQ(adapter.QueryAssociationInformation(), 0);
    const auto info = ndis::ParseAssociationInformation(adapter.AssociationInformation());
    ASSERT_TRUE(info);
    // The request carried the joined network's SSID element first.
    const std::string ssid = "LeaseNet";
    ASSERT_GE(info->requestIes.size(), ssid.size() + 2);
    EXPECT_EQ(info->requestIes[0], 0);
    EXPECT_EQ(info->requestIes[1], ssid.size());
    EXPECT_EQ(std::string(info->requestIes.begin() + 2, info->requestIes.begin() + 2 + 8), ssid);

    adapter.CloseChannel();
    EXPECT_NE(adapter.QueryAssociationInformation(), 0);
    EXPECT_TRUE(adapter.AssociationInformation().empty());
}

TEST_F(AdapterTest, SetsReachTheCard) {
    CAdapter adapter(kDhcpCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    EXPECT_EQ(adapter.QueryCurrentSsidText(), "LeaseNet");
    EXPECT_EQ(adapter.SetSsid("StaticNet"), 0);
    EXPECT_TRUE(Eventually([&] { return adapter.QueryCurrentSsidText() == "StaticNet"; }));
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

// The list needs 2404 bytes: queries with 2000, 2100, 2200, 2300 and 2400
// bytes are refused, the sixth with 2500 fits (a list over 2400 bytes can
// only come from that one).
TEST(AdapterFetchTest, CrowdedListIsFetchedAfterTheBufferGrew) {
    TempFolder folder;
    LogCapture log(folder.Path());
    DaemonProcess daemon(ScenarioPath("crowded.json"));
    ASSERT_TRUE(daemon.ready());
    CAdapter adapter("\\DEVICE\\{AD000031-0000-4000-8000-000000000031}", log.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    std::size_t size = 0;
    CNetworkList list;
    EXPECT_EQ(adapter.ScanAndFetchBssidList(true,
                                            [&](std::span<const std::uint8_t> bytes) {
                                                size = bytes.size();
                                                list.MergeBssidList(bytes);
                                            }),
              RES_BSSID_LIST_OBTAINED);
    EXPECT_EQ(size, 2404u);
    EXPECT_EQ(list.Size(), 15u);
    adapter.CloseChannel();
    EXPECT_EQ(adapter.ScanAndFetchBssidList(true, [](std::span<const std::uint8_t>) {}),
              RES_SCAN_REQUEST_FAILED);
}

}  // namespace
}  // namespace tarvik::testing
