// Association, media events and addresses, run on the fake clock.
#include "SimTestWorld.h"
#include "ndis/AssociationInformation.h"
#include "ndis/ElementWalker.h"
#include "ndis/Elements.h"
#include "ndis/NdisTypes.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;

constexpr std::uint32_t kOpen = Ndis802_11AuthModeOpen;
constexpr std::uint32_t kDisabled = Ndis802_11EncryptionDisabled;

class SimAssociation : public SimWorldTest {
  protected:
    void SetUp() override { LoadWorld(); }

    MacAddress AssociatedBssid(const std::string& device) {
        std::vector<std::uint8_t> out;
        std::size_t needed = 0;
        MacAddress bssid{};
        if (Query(device, OID_802_11_BSSID, 6, out, needed) == 0 && out.size() == 6) {
            std::copy(out.begin(), out.end(), bssid.begin());
        }
        return bssid;
    }
    bool Connected(const std::string& device) {
        return U32(device, OID_GEN_MEDIA_CONNECT_STATUS) == NdisMediaStateConnected;
    }
};

TEST_F(SimAssociation, OpenNetworkConnectsAfterTheDelayThenGetsALease) {
    const std::string device = Device(kFull);
    Join(device, "Open-1", kOpen, kDisabled);
    RunTo(0.499);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(true), 0u);
    RunTo(0.5);
    EXPECT_TRUE(Connected(device));
    ASSERT_EQ(MediaEvents(true), 1u);
    EXPECT_EQ(sink_.events[0].name, "Sim Full Card");  // the instance name is the vendor text

    EXPECT_EQ(AssociatedBssid(device), kOpen1);
    EXPECT_EQ(static_cast<std::int32_t>(U32(device, OID_802_11_RSSI)), -50);
    EXPECT_EQ(U32(device, OID_GEN_LINK_SPEED), 540000u);
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    ASSERT_EQ(Query(device, OID_802_11_SSID, 36, out, needed), 0u);
    EXPECT_EQ(ParseSsid(out), (std::vector<std::uint8_t>{'O', 'p', 'e', 'n', '-', '1'}));
    ASSERT_EQ(Query(device, OID_802_11_CONFIGURATION, 32, out, needed), 0u);
    EXPECT_EQ(ParseConfiguration(out)->dsConfig, 2412000u);

    // The lease: one second after association, announced once.
    RunTo(1.4);
    EXPECT_EQ(Ip(device).addresses[0].address, "0.0.0.0");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 0u);
    RunTo(1.5);
    const IpConfig ip = Ip(device);
    EXPECT_TRUE(ip.dhcpEnabled);
    EXPECT_EQ(ip.addresses[0].address, "192.168.1.50");
    EXPECT_EQ(ip.addresses[0].mask, "255.255.255.0");
    EXPECT_EQ(ip.dhcpServer, "192.168.1.1");
    EXPECT_EQ(ip.gateways, std::vector<std::string>{"192.168.1.1"});
    EXPECT_EQ(ip.dnsServers, std::vector<std::string>{"192.168.1.1"});
    EXPECT_EQ(ip.primaryWins, "192.168.1.9");
    EXPECT_EQ(ip.leaseObtained, kWallStart + 1);
    EXPECT_EQ(ip.leaseExpires, kWallStart + 1 + 3600);
    EXPECT_FALSE(ip.autoconfigActive);
    ASSERT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 1u);

    // A renewal keeps the address and is not a change.
    RunTo(3700);
    EXPECT_EQ(Ip(device).addresses[0].address, "192.168.1.50");
    EXPECT_EQ(Ip(device).leaseExpires, kWallStart + 3601 + 3600);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 1u);
}

TEST_F(SimAssociation, RandomSsidDisconnectsAndDropsTheAddress) {
    const std::string device = Device(kFull);
    Join(device, "Open-1", kOpen, kDisabled);
    RunTo(2);
    ASSERT_TRUE(Connected(device));
    std::string random(32, '\0');
    for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>(i * 37 + 11);
    ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, 1), 0u);
    ASSERT_EQ(SetSsid(device, random), 0u);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_EQ(Ip(device).addresses[0].address, "0.0.0.0");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 2u);
    std::uint32_t value = 0;
    EXPECT_EQ(QueryU32(device, OID_802_11_RSSI, value), kErrorNotReady);
    RunTo(30);
    EXPECT_FALSE(Connected(device));  // nothing answers to that SSID
    EXPECT_EQ(MediaEvents(true), 1u);
}

TEST_F(SimAssociation, DisassociateStaysDisconnected) {
    const std::string device = Device(kFull);
    Join(device, "Open-1", kOpen, kDisabled);
    RunTo(1);
    ASSERT_TRUE(Connected(device));
    ASSERT_EQ(SetNoValue(device, OID_802_11_DISASSOCIATE), 0u);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(false), 1u);
    RunTo(60);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(true), 1u);
    // Disassociating again changes nothing and says nothing.
    ASSERT_EQ(SetNoValue(device, OID_802_11_DISASSOCIATE), 0u);
    EXPECT_EQ(MediaEvents(false), 1u);
}

TEST_F(SimAssociation, LeavingRangeDisconnectsAndReturningReconnects) {
    const std::string device = Device(kFull);
    RunTo(31);
    Join(device, "Late", kOpen, kDisabled);
    RunTo(32);
    ASSERT_TRUE(Connected(device));
    RunTo(89.5);
    EXPECT_TRUE(Connected(device));
    RunTo(91);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(false), 1u);

    // Fading below the card's sensitivity counts as leaving too.
    Join(device, "Fader", kOpen, kDisabled);
    RunTo(95);
    EXPECT_FALSE(Connected(device));  // -96 dBm by now: never joins
}

TEST_F(SimAssociation, FadingAccessPointIsLostAtTheSensitivity) {
    const std::string device = Device(kFull);
    Join(device, "Fader", kOpen, kDisabled);
    RunTo(1);
    ASSERT_TRUE(Connected(device));
    RunTo(74);  // -89.6 dBm, rounds to -90
    EXPECT_TRUE(Connected(device));
    RunTo(78);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(false), 1u);
}

// Whether and where a card joins, for each kind of network and settings.
TEST_F(SimAssociation, SettingsDecideWhetherAndWhereTheCardJoins) {
    constexpr std::uint32_t kWpa2Psk = Ndis802_11AuthModeWPA2PSK,
                            kCcmpOn = Ndis802_11Encryption3Enabled,
                            kTkipOn = Ndis802_11Encryption2Enabled, kAdHoc = Ndis802_11IBSS;
    const struct Row {
        const char* name;
        int adapter;
        const char* ssid;
        std::uint32_t auth, encryption, mode;
        MacAddress bssid;         // all zero: never associates
        std::uint32_t linkSpeed;  // 0: not checked
    } rows[] = {
        {"open network", kFull, "Open-1", kOpen, kDisabled, 1, kOpen1, 540000},
        {"open network, WEP on", kFull, "Open-1", kOpen, Ndis802_11Encryption1Enabled, 1, {}, 0},
        {"WPA2 network, open settings", kFull, "Wpa2-1", kOpen, kDisabled, 1, {}, 0},
        {"WPA network, WPA2 settings", kFull, "Wpa-1", kWpa2Psk, kCcmpOn, 1, {}, 0},
        {"CCMP-only network, TKIP", kFull, "Wpa2-1", kWpa2Psk, kTkipOn, 1, {}, 0},
        {"infrastructure network, ad hoc", kFull, "Open-1", kOpen, kDisabled, kAdHoc, {}, 0},
        {"hidden network", kFull, "Secret", kOpen, kDisabled, 1, kSecret, 0},
        {"ad hoc network", kFull, "Peer", kOpen, kDisabled, kAdHoc, kPeer, 0},
        {"weak signal: 24 Mbit/s", kFull, "Raw", kWpa2Psk, kCcmpOn, 1, kRaw, 240000},
        {"WPA on an 11 Mbit/s card", kTkip, "Mixed", Ndis802_11AuthModeWPAPSK, kTkipOn, 1, kMixed,
         110000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LoadWorld();
        const std::string device = Device(row.adapter);
        Join(device, row.ssid, row.auth, row.encryption, row.mode);
        RunTo(6);
        if (row.bssid == MacAddress{}) {
            EXPECT_FALSE(Connected(device));
            EXPECT_EQ(MediaEvents(true), 0u);
            continue;
        }
        EXPECT_EQ(AssociatedBssid(device), row.bssid);
        if (row.linkSpeed != 0) {
            EXPECT_EQ(U32(device, OID_GEN_LINK_SPEED), row.linkSpeed);
        }
        if (row.mode == kAdHoc) {
            EXPECT_TRUE(Ip(device).autoconfigActive);  // no DHCP server
        }
        if (row.adapter != kTkip) continue;
        // The WPA card offers the WPA element, not RSN.
        std::vector<std::uint8_t> out;
        std::size_t needed = 0;
        ASSERT_EQ(Query(device, OID_802_11_ASSOCIATION_INFORMATION, 4000, out, needed), 0u);
        const auto info = ParseAssociationInformation(out);
        ASSERT_TRUE(info);
        EXPECT_TRUE(FindVendorElement(info->requestIes, kWpaOui, kWpaVendorType));
        EXPECT_FALSE(FindElement(info->requestIes, kElementRsn));
    }
}

TEST_F(SimAssociation, WepNeedsAKeyAndAWrongKeyGetsNoLease) {
    const std::string device = Device(kWep);
    Join(device, "Wep-1", kOpen, Ndis802_11Encryption1Enabled);
    RunTo(5);
    EXPECT_FALSE(Connected(device));  // no key added

    // Open authentication with a wrong key associates; nothing decrypts.
    ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, 1), 0u);
    ASSERT_EQ(AddWepKey(device, {9, 9, 9, 9, 9}), 0u);
    ASSERT_EQ(SetU32(device, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption1Enabled), 0u);
    ASSERT_EQ(SetSsid(device, "Wep-1"), 0u);
    RunTo(6);
    ASSERT_TRUE(Connected(device));
    RunTo(12);
    IpConfig ip = Ip(device);
    EXPECT_TRUE(ip.autoconfigActive);
    EXPECT_EQ(ip.addresses[0].address.rfind("169.254.", 0), 0u);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Frame), 0u);
    EXPECT_GT(U32(device, OID_GEN_RCV_ERROR), 20u);  // 5 frames/s, none readable

    // Shared-key authentication proves the key: a wrong one never associates.
    ASSERT_EQ(SetU32(device, OID_802_11_AUTHENTICATION_MODE, Ndis802_11AuthModeShared), 0u);
    ASSERT_EQ(SetSsid(device, "Wep-1"), 0u);
    RunTo(20);
    EXPECT_FALSE(Connected(device));

    // The right key: associated, the lease arrives.
    ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, 1), 0u);
    ASSERT_EQ(AddWepKey(device, {1, 2, 3, 4, 5}), 0u);
    ASSERT_EQ(SetU32(device, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption1Enabled), 0u);
    ASSERT_EQ(SetSsid(device, "Wep-1"), 0u);
    RunTo(22);
    ASSERT_TRUE(Connected(device));
    ip = Ip(device);
    EXPECT_EQ(ip.addresses[0].address, "192.168.0.60");
    EXPECT_FALSE(ip.autoconfigActive);
    EXPECT_GT(sink_.Count(SinkEvent::Kind::Frame), 0u);
    EXPECT_EQ(U32(device, OID_GEN_LINK_SPEED), 110000u);  // an 802.11b network
}

TEST_F(SimAssociation, WpaAssociatesWithThePortClosed) {
    const std::string device = Device(kFull);
    Join(device, "Wpa2-1", Ndis802_11AuthModeWPA2PSK, Ndis802_11Encryption3Enabled);
    RunTo(1);
    ASSERT_TRUE(Connected(device));
    EXPECT_EQ(AssociatedBssid(device), kWpa2);
    // No keys yet; no address however long it waits; no traffic.
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption3KeyAbsent));
    RunTo(60);
    EXPECT_EQ(Ip(device).addresses[0].address, "0.0.0.0");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 0u);

    // The association information carries the station's RSN element.
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    ASSERT_EQ(Query(device, OID_802_11_ASSOCIATION_INFORMATION, 4000, out, needed), 0u);
    const auto info = ParseAssociationInformation(out);
    ASSERT_TRUE(info);
    const auto own = FindElement(info->requestIes, kElementRsn);
    ASSERT_TRUE(own);
    SecurityElementSuites expected;
    expected.group = CipherSuite::Ccmp;
    expected.pairwise = {CipherSuite::Ccmp};
    expected.akm = {AkmSuite::Psk};
    expected.capabilities = 0;
    EXPECT_EQ(std::vector<std::uint8_t>(own->whole.begin(), own->whole.end()),
              *BuildRsnElement(expected));
    EXPECT_EQ(info->statusCode, 0);
    EXPECT_TRUE(FindElement(info->requestIes, kElementSsid));

    // A pairwise key for the access point, then the authenticator's go.
    Key80211 key;
    key.keyIndex = kKeyIndexTransmit | kKeyIndexPairwise;
    key.bssid = kWpa2;
    key.keyMaterial.assign(16, 0x42);
    ASSERT_EQ(backend_->SetOid(device, OID_802_11_ADD_KEY, BuildKey(key)), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption3Enabled));
    backend_->FindAdapter(device)->AuthorizePort();
    RunTo(60.5);
    EXPECT_EQ(Ip(device).addresses[0].address, "192.168.4.4");
}

TEST_F(SimAssociation, PairwiseKeyMustNameTheAccessPoint) {
    const std::string device = Device(kFull);
    Key80211 key;
    key.keyIndex = kKeyIndexTransmit | kKeyIndexPairwise;
    key.bssid = kWpa2;
    key.keyMaterial.assign(16, 1);
    EXPECT_EQ(backend_->SetOid(device, OID_802_11_ADD_KEY, BuildKey(key)),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));  // not associated
    Join(device, "Wpa2-1", Ndis802_11AuthModeWPA2PSK, Ndis802_11Encryption3Enabled);
    RunTo(1);
    key.bssid = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(backend_->SetOid(device, OID_802_11_ADD_KEY, BuildKey(key)),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    key.bssid = kWpa2;
    EXPECT_EQ(backend_->SetOid(device, OID_802_11_ADD_KEY, BuildKey(key)), 0u);
    // Pairwise keys go with the association.
    ASSERT_EQ(SetNoValue(device, OID_802_11_DISASSOCIATE), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption3KeyAbsent));
}

TEST_F(SimAssociation, SetBssidPicksAmongAccessPointsOfOneSsid) {
    const std::string device = Device(kFull);
    Join(device, "Twin", kOpen, kDisabled);
    RunTo(1);
    EXPECT_EQ(AssociatedBssid(device), kTwinNear);  // the stronger one

    ASSERT_EQ(backend_->SetOid(device, OID_802_11_BSSID, kTwinFar), 0u);
    ASSERT_EQ(SetSsid(device, "Twin"), 0u);
    RunTo(2);
    EXPECT_EQ(AssociatedBssid(device), kTwinFar);
    EXPECT_EQ(static_cast<std::int32_t>(U32(device, OID_802_11_RSSI)), -70);

    // A BSSID of another SSID never matches; broadcast clears the choice.
    ASSERT_EQ(backend_->SetOid(device, OID_802_11_BSSID, kOpen1), 0u);
    ASSERT_EQ(SetSsid(device, "Twin"), 0u);
    RunTo(4);
    EXPECT_FALSE(Connected(device));
    const MacAddress broadcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    ASSERT_EQ(backend_->SetOid(device, OID_802_11_BSSID, broadcast), 0u);
    RunTo(6);
    EXPECT_EQ(AssociatedBssid(device), kTwinNear);
}

TEST_F(SimAssociation, DhcpFailureGivesAnAutomaticAddress) {
    const std::string device = Device(kFull);
    Join(device, "Fails", kOpen, kDisabled);
    RunTo(2.4);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 0u);
    RunTo(2.5);
    const IpConfig ip = Ip(device);
    EXPECT_TRUE(ip.dhcpEnabled);
    EXPECT_TRUE(ip.autoconfigEnabled);
    EXPECT_TRUE(ip.autoconfigActive);
    EXPECT_EQ(ip.addresses[0].address, "169.254.1.1");  // from the MAC address 00:13:e8:00:00:01
    EXPECT_EQ(ip.addresses[0].mask, "255.255.0.0");
    EXPECT_EQ(ip.dhcpServer, "255.255.255.255");
    EXPECT_EQ(ip.leaseObtained, 0);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 1u);
}

TEST_F(SimAssociation, ReleaseAddressGivesTheLeaseBack) {
    const std::string device = Device(kFull);
    Join(device, "Open-1", kOpen, kDisabled);
    RunTo(2);
    ASSERT_EQ(Ip(device).addresses[0].address, "192.168.1.50");
    EXPECT_EQ(backend_->ReleaseAddress(device), 0u);
    EXPECT_EQ(Ip(device).addresses[0].address, "0.0.0.0");
    EXPECT_EQ(Ip(device).dhcpServer, "");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 2u);
    RunTo(30);
    EXPECT_EQ(Ip(device).addresses[0].address, "0.0.0.0");  // until the next association
    EXPECT_TRUE(Connected(device));
}

TEST_F(SimAssociation, StaticAndWiredConfigurations) {
    const IpConfig fixed = Ip(Device(kWiredStatic));
    EXPECT_FALSE(fixed.dhcpEnabled);
    ASSERT_EQ(fixed.addresses.size(), 1u);
    EXPECT_EQ(fixed.addresses[0].address, "10.9.8.7");
    EXPECT_EQ(fixed.gateways, std::vector<std::string>{"10.9.8.1"});
    EXPECT_EQ(fixed.dnsServers, std::vector<std::string>{"10.9.8.2"});
    EXPECT_EQ(backend_->ReleaseAddress(Device(kWiredStatic)),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));

    const std::string wired = Device(kWiredDhcp);
    EXPECT_EQ(Ip(wired).addresses[0].address, "0.0.0.0");
    RunTo(2);
    EXPECT_EQ(Ip(wired).addresses[0].address, "10.0.0.99");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, wired), 1u);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address), 1u);
}

TEST_F(SimAssociation, ClockJumpsKeepTheOrderOfEvents) {
    const std::string device = Device(kFull);
    Join(device, "Late", kOpen, kDisabled);
    // One tick far ahead: the card joined when Late came on the air (30 s),
    // got its lease, and lost it again at 90 s.
    RunTo(500);
    std::vector<SinkEvent::Kind> kinds;
    for (const SinkEvent& event : sink_.events) {
        if (event.name == device || event.name == "Sim Full Card") kinds.push_back(event.kind);
    }
    using Kind = SinkEvent::Kind;
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Media, Kind::Address, Kind::Media, Kind::Address}));
    EXPECT_EQ(MediaEvents(true), 1u);
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_LE(backend_->NextDeadline(), At(501));
}

TEST_F(SimAssociation, RequestsHappenAtTheirOwnTimeBetweenTicks) {
    // The server ticks only when the world asked for it; a request in
    // between still sees the present.
    const std::string device = Device(kFull);
    SetClock(40);
    ASSERT_EQ(SetNoValue(device, OID_802_11_BSSID_LIST_SCAN), 0u);
    EXPECT_TRUE(Lists(FetchList(device), kLate));

    SetClock(100);
    Join(device, "Open-1", kOpen, kDisabled);
    EXPECT_EQ(backend_->NextDeadline(), At(100.5));
    SetClock(100.4);
    EXPECT_FALSE(Connected(device));
    SetClock(100.5);
    EXPECT_TRUE(Connected(device));  // the query itself brought the world up to date
    EXPECT_EQ(MediaEvents(true), 1u);
}

class SimDocumentedExample : public SimWorldTest {};

TEST_F(SimDocumentedExample, BehavesAsTheScenarioGuideSays) {
    LoadWorld("home.json");
    const std::string device = Device(0);
    EXPECT_EQ(FetchList(device).entries.size(), 2u);
    RunTo(40);
    ASSERT_EQ(SetNoValue(device, OID_802_11_BSSID_LIST_SCAN), 0u);
    EXPECT_EQ(FetchList(device).entries.size(), 3u);

    Join(device, "Kowalski", Ndis802_11AuthModeWPA2PSK, Ndis802_11Encryption3Enabled);
    RunTo(40.7);
    ASSERT_EQ(MediaEvents(true), 1u);
    EXPECT_EQ(sink_.events[0].name, "Wireless 802.11b/g Mini PCI Adapter");

    ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, 1), 0u);
    ASSERT_EQ(SetU32(device, OID_802_11_AUTHENTICATION_MODE, kOpen), 0u);
    ASSERT_EQ(AddWepKey(device, {0xa1, 0xb2, 0xc3, 0xd4, 0xe5}), 0u);
    ASSERT_EQ(SetU32(device, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption1Enabled), 0u);
    ASSERT_EQ(SetSsid(device, "NETGEAR"), 0u);
    RunTo(41.4);
    ASSERT_EQ(MediaEvents(true), 2u);
    RunTo(42.899);
    EXPECT_EQ(Ip(device).addresses[0].address, "0.0.0.0");
    RunTo(42.9);
    EXPECT_EQ(Ip(device).addresses[0].address, "192.168.1.100");
}

class SimDefaultScenario : public SimWorldTest {};

TEST_F(SimDefaultScenario, TheBundledNeighbourhoodWorks) {
    LoadWorld(TARVIK_SOURCE_DIR "/share/scenarios/default.json");
    const std::string wireless = Device(0);
    const std::string wired = Device(1);
    const ndis::BssidList list = FetchList(wireless);
    EXPECT_TRUE(list.Clean());
    EXPECT_GE(list.entries.size(), 15u);
    bool open = false, wep = false, wpa = false, rsn = false, hidden = false, adHoc = false,
         fiveGhz = false;
    for (const auto& entry : list.entries) {
        const bool hasWpa =
            FindVendorElement(entry.TaggedElements(), kWpaOui, kWpaVendorType).has_value();
        const bool hasRsn = FindElement(entry.TaggedElements(), kElementRsn).has_value();
        open |= entry.Privacy() == 0;
        wep |= entry.Privacy() != 0 && !hasWpa && !hasRsn;
        wpa |= hasWpa;
        rsn |= hasRsn;
        hidden |= entry.SsidLength() == 0;
        adHoc |= entry.InfrastructureMode() == Ndis802_11IBSS;
        fiveGhz |= entry.NetworkTypeInUse() == Ndis802_11OFDM5;
    }
    EXPECT_TRUE(open && wep && wpa && rsn && hidden && adHoc && fiveGhz);
    EXPECT_TRUE(backend_->IsServiceRunning());
    EXPECT_EQ(Ip(wired).addresses[0].address, "192.168.10.34");  // leased at start

    Join(wireless, "linksys", kOpen, kDisabled);
    RunTo(3);
    EXPECT_EQ(U32(wireless, OID_GEN_MEDIA_CONNECT_STATUS),
              static_cast<std::uint32_t>(NdisMediaStateConnected));
    EXPECT_EQ(Ip(wireless).addresses[0].address, "192.168.1.101");
    EXPECT_GT(sink_.Count(SinkEvent::Kind::Frame), 0u);

    // Over an hour the phone hotspot comes and goes; the list follows scans.
    std::size_t smallest = 1000, largest = 0;
    for (int minute = 1; minute <= 60; ++minute) {
        RunTo(minute * 60.0);
        ASSERT_EQ(SetNoValue(wireless, OID_802_11_BSSID_LIST_SCAN), 0u);
        const std::size_t count = FetchList(wireless).entries.size();
        smallest = std::min(smallest, count);
        largest = std::max(largest, count);
    }
    EXPECT_LT(smallest, largest);
    EXPECT_EQ(U32(wireless, OID_GEN_MEDIA_CONNECT_STATUS),
              static_cast<std::uint32_t>(NdisMediaStateConnected));
}

class SimInitialAssociation : public SimWorldTest {};

TEST_F(SimInitialAssociation, AlreadyConnectedAtStart) {
    LoadWorld("associated.json");
    const std::string device = Device(0);
    EXPECT_EQ(U32(device, OID_GEN_MEDIA_CONNECT_STATUS),
              static_cast<std::uint32_t>(NdisMediaStateConnected));
    EXPECT_EQ(U32(device, OID_802_11_AUTHENTICATION_MODE),
              static_cast<std::uint32_t>(Ndis802_11AuthModeWPA2PSK));
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption3Enabled));
    const IpConfig ip = Ip(device);
    EXPECT_EQ(ip.addresses[0].address, "192.168.77.5");
    EXPECT_EQ(ip.leaseObtained, kWallStart);
    RunTo(10);
    EXPECT_TRUE(sink_.events.empty());  // nothing changed, nothing announced
}

TEST_F(SimInitialAssociation, RefusedWhenTheCardCannotJoin) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"({"adapters":[{"capabilities":{"wpa":false,"bestEncryption":"WEP"},
        "association":{"bssid":"00:1e:2a:10:00:01"}}],
        "accessPoints":[{"bssid":"00:1e:2a:10:00:01","security":"wpa2-psk"}]})",
                              scenario, error))
        << error;
    EXPECT_EQ(SimBackend::Create(std::move(scenario), start_, kWallStart, error), nullptr);
    EXPECT_EQ(error, "adapters[0].association.bssid: the adapter cannot join this access point");
}

}  // namespace
}  // namespace tarvik::driver::sim
