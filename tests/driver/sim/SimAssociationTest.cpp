// Association, media events and addresses, run on the fake clock.
#include <functional>
#include <optional>

#include "SimTestWorld.h"
#include "ndis/AssociationInformation.h"
#include "ndis/ElementWalker.h"
#include "ndis/Elements.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;

constexpr std::uint32_t kOpen = Ndis802_11AuthModeOpen;
constexpr std::uint32_t kDisabled = Ndis802_11EncryptionDisabled;
constexpr std::uint32_t kInvalid = ERROR_INVALID_PARAMETER;
const MacAddress kBroadcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

class SimAssociation : public SimWorldTest {
  protected:
    void SetUp() override { LoadWorld(); }

    MacAddress AssociatedBssid(const std::string& device) {
        MacAddress bssid{};
        if (Query(device, OID_802_11_BSSID, 6) == 0 && out_.size() == 6) {
            std::copy(out_.begin(), out_.end(), bssid.begin());
        }
        return bssid;
    }
    std::optional<AssociationInformation> AssociationInfo(const std::string& device) {
        EXPECT_EQ(Query(device, OID_802_11_ASSOCIATION_INFORMATION), 0u);
        return ParseAssociationInformation(out_);
    }
    std::uint32_t AddPairwiseKey(const std::string& device, const MacAddress& bssid) {
        Key80211 key;
        key.keyIndex = kKeyIndexTransmit | kKeyIndexPairwise;
        key.bssid = bssid;
        key.keyMaterial.assign(16, 0x42);
        return backend_->SetOid(device, OID_802_11_ADD_KEY, BuildKey(key));
    }
};

TEST_F(SimAssociation, OpenNetworkConnectsAfterTheDelayThenGetsALease) {
    const std::string device = Device(kFull);
    Join(device, "Open-1", kOpen, kDisabled);
    RunTo(0.499);
    EXPECT_FALSE(Connected(device));
    RunTo(0.5);
    EXPECT_TRUE(Connected(device));
    ASSERT_EQ(MediaEvents(true), 1u);
    EXPECT_EQ(sink_.events[0].name, "Sim Full Card");  // the instance name is the vendor text
    EXPECT_EQ(AssociatedBssid(device), kOpen1);
    EXPECT_EQ(static_cast<std::int32_t>(U32(device, OID_802_11_RSSI)), -50);
    EXPECT_EQ(U32(device, OID_GEN_LINK_SPEED), 540000u);
    ASSERT_EQ(Query(device, OID_802_11_SSID, 36), 0u);
    EXPECT_EQ(ParseSsid(out_), (std::vector<std::uint8_t>{'O', 'p', 'e', 'n', '-', '1'}));
    ASSERT_EQ(Query(device, OID_802_11_CONFIGURATION, 32), 0u);
    EXPECT_EQ(ParseConfiguration(out_)->dsConfig, 2412000u);

    // The lease: one second after association, announced once.
    RunTo(1.4);
    EXPECT_EQ(Address(device), "0.0.0.0");
    RunTo(1.5);
    const IpConfig ip = Ip(device);
    EXPECT_TRUE(ip.dhcpEnabled && !ip.autoconfigActive);
    EXPECT_EQ(ip.addresses[0].address + "/" + ip.addresses[0].mask, "192.168.1.50/255.255.255.0");
    EXPECT_EQ(ip.dhcpServer, "192.168.1.1");
    EXPECT_EQ(ip.gateways, std::vector<std::string>{"192.168.1.1"});
    EXPECT_EQ(ip.dnsServers, std::vector<std::string>{"192.168.1.1"});
    EXPECT_EQ(ip.primaryWins, "192.168.1.9");
    EXPECT_EQ(ip.leaseObtained, kWallStart + 1);
    EXPECT_EQ(ip.leaseExpires, kWallStart + 1 + 3600);
    ASSERT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 1u);

    // A renewal keeps the address and is not a change.
    RunTo(3700);
    EXPECT_EQ(Address(device), "192.168.1.50");
    EXPECT_EQ(Ip(device).leaseExpires, kWallStart + 3601 + 3600);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 1u);
}

// Each way of leaving a network disconnects at once, drops the address and
// stays disconnected.
TEST_F(SimAssociation, LeavingDisconnectsAndDropsTheAddress) {
    std::string random(32, '\0');
    for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>(i * 37 + 11);
    const struct Row {
        const char* name;
        std::function<std::uint32_t(const std::string&)> leave;
    } rows[] = {
        {"an SSID nothing answers to",
         [&](const std::string& device) {
             const std::uint32_t mode = SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, 1);
             return mode != 0 ? mode : SetSsid(device, random);
         }},
        {"disassociate",
         [&](const std::string& device) { return SetNoValue(device, OID_802_11_DISASSOCIATE); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LoadWorld();
        const std::string device = Device(kFull);
        Join(device, "Open-1", kOpen, kDisabled);
        RunTo(2);
        ASSERT_TRUE(Connected(device));
        ASSERT_EQ(row.leave(device), 0u);
        EXPECT_FALSE(Connected(device));
        EXPECT_EQ(Address(device), "0.0.0.0");
        EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 2u);
        EXPECT_EQ(Query(device, OID_802_11_RSSI, 4), kErrorNotReady);
        RunTo(60);
        EXPECT_FALSE(Connected(device));
        // Leaving again changes nothing and says nothing.
        ASSERT_EQ(row.leave(device), 0u);
        EXPECT_EQ(MediaEvents(true), 1u);
        EXPECT_EQ(MediaEvents(false), 1u);
    }
}

// Leaving range is checked with "Late" under clock jumps below.
TEST_F(SimAssociation, FadingBelowTheSensitivityDisconnects) {
    const std::string device = Device(kFull);
    Join(device, "Fader", kOpen, kDisabled);
    RunTo(74);  // -89.6 dBm, rounds to -90
    EXPECT_TRUE(Connected(device));
    RunTo(78);
    EXPECT_FALSE(Connected(device));
    EXPECT_EQ(MediaEvents(false), 1u);
    Join(device, "Fader", kOpen, kDisabled);
    RunTo(79);
    EXPECT_FALSE(Connected(device));  // below the sensitivity: never joins
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
        EXPECT_EQ(row.linkSpeed == 0 ? 0 : U32(device, OID_GEN_LINK_SPEED), row.linkSpeed);
        EXPECT_TRUE(row.mode != kAdHoc || Ip(device).autoconfigActive);  // no DHCP server
        if (row.adapter != kTkip) continue;
        // The WPA card offers the WPA element, not RSN.
        const auto info = AssociationInfo(device);
        ASSERT_TRUE(info);
        EXPECT_TRUE(FindVendorElement(info->requestIes, kWpaOui, kWpaVendorType));
        EXPECT_FALSE(FindElement(info->requestIes, kElementRsn));
    }
}

TEST_F(SimAssociation, WepNeedsAKeyAndAWrongKeyGetsNoLease) {
    const std::string device = Device(kWep);
    const auto joinWithKey = [&](std::uint32_t auth, std::vector<std::uint8_t> key) {
        ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, 1), 0u);
        ASSERT_EQ(SetU32(device, OID_802_11_AUTHENTICATION_MODE, auth), 0u);
        ASSERT_EQ(AddWepKey(device, std::move(key)), 0u);
        ASSERT_EQ(SetU32(device, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption1Enabled), 0u);
        ASSERT_EQ(SetSsid(device, "Wep-1"), 0u);
    };
    Join(device, "Wep-1", kOpen, Ndis802_11Encryption1Enabled);
    RunTo(5);
    EXPECT_FALSE(Connected(device));  // no key added

    // Open authentication with a wrong key associates; nothing decrypts.
    joinWithKey(kOpen, {9, 9, 9, 9, 9});
    RunTo(12);
    ASSERT_TRUE(Connected(device));
    EXPECT_TRUE(Ip(device).autoconfigActive);
    EXPECT_EQ(Address(device).rfind("169.254.", 0), 0u);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Frame), 0u);
    EXPECT_GT(U32(device, OID_GEN_RCV_ERROR), 20u);  // 5 frames/s, none readable

    // Shared-key authentication proves the key: a wrong one never associates.
    joinWithKey(Ndis802_11AuthModeShared, {9, 9, 9, 9, 9});
    RunTo(20);
    EXPECT_FALSE(Connected(device));

    joinWithKey(Ndis802_11AuthModeShared, {1, 2, 3, 4, 5});
    RunTo(22);
    ASSERT_TRUE(Connected(device));
    EXPECT_EQ(Address(device), "192.168.0.60");
    EXPECT_GT(sink_.Count(SinkEvent::Kind::Frame), 0u);
    EXPECT_EQ(U32(device, OID_GEN_LINK_SPEED), 110000u);  // an 802.11b network
}

TEST_F(SimAssociation, WpaAssociatesWithThePortClosedAndTakesKeysForItsAccessPoint) {
    const std::string device = Device(kFull);
    EXPECT_EQ(AddPairwiseKey(device, kWpa2), kInvalid);  // not associated
    Join(device, "Wpa2-1", Ndis802_11AuthModeWPA2PSK, Ndis802_11Encryption3Enabled);
    RunTo(1);
    EXPECT_EQ(AssociatedBssid(device), kWpa2);
    // No keys yet; no address however long it waits.
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS), Ndis802_11Encryption3KeyAbsent + 0u);
    RunTo(60);
    EXPECT_EQ(Address(device), "0.0.0.0");

    // The association information carries the station's RSN element.
    const auto info = AssociationInfo(device);
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

    // A pairwise key names the access point; a made-up one opens nothing.
    EXPECT_EQ(AddPairwiseKey(device, kBroadcast), kInvalid);
    ASSERT_EQ(AddPairwiseKey(device, kWpa2), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS), Ndis802_11Encryption3Enabled + 0u);
    RunTo(60.5);
    EXPECT_EQ(Address(device), "0.0.0.0");
    // Pairwise keys go with the association.
    ASSERT_EQ(SetNoValue(device, OID_802_11_DISASSOCIATE), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS), Ndis802_11Encryption3KeyAbsent + 0u);
}

TEST_F(SimAssociation, SetBssidPicksAmongAccessPointsOfOneSsid) {
    const std::string device = Device(kFull);
    Join(device, "Twin", kOpen, kDisabled);
    RunTo(1);
    EXPECT_EQ(AssociatedBssid(device), kTwinNear);  // the stronger one
    const struct {
        MacAddress bssid, joined;  // all zero: none
    } steps[] = {{kTwinFar, kTwinFar}, {kOpen1, {}}, {kBroadcast, kTwinNear}};
    double t = 1;
    for (const auto& step : steps) {
        ASSERT_EQ(backend_->SetOid(device, OID_802_11_BSSID, step.bssid), 0u);
        ASSERT_EQ(SetSsid(device, "Twin"), 0u);
        RunTo(t += 2);
        EXPECT_EQ(AssociatedBssid(device), step.joined);
    }
}

TEST_F(SimAssociation, DhcpFailureGivesAnAutomaticAddressAndReleaseGivesTheLeaseBack) {
    const std::string device = Device(kFull);
    Join(device, "Fails", kOpen, kDisabled);
    RunTo(2.4);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 0u);
    RunTo(2.5);
    IpConfig ip = Ip(device);
    EXPECT_TRUE(ip.dhcpEnabled && ip.autoconfigEnabled && ip.autoconfigActive);
    // From the MAC address 00:13:e8:00:00:01.
    EXPECT_EQ(ip.addresses[0].address + "/" + ip.addresses[0].mask, "169.254.1.1/255.255.0.0");
    EXPECT_EQ(ip.dhcpServer, "255.255.255.255");
    EXPECT_EQ(ip.leaseObtained, 0);
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), 1u);

    Join(device, "Open-1", kOpen, kDisabled);
    RunTo(5);
    ASSERT_EQ(Address(device), "192.168.1.50");
    const std::size_t changes = sink_.Count(SinkEvent::Kind::Address, device);
    EXPECT_EQ(backend_->ReleaseAddress(device), 0u);
    ip = Ip(device);
    EXPECT_EQ(ip.addresses[0].address + ip.dhcpServer, "0.0.0.0");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address, device), changes + 1);
    RunTo(30);
    EXPECT_EQ(Address(device), "0.0.0.0");  // until the next association
    EXPECT_TRUE(Connected(device));
}

TEST_F(SimAssociation, StaticAndWiredConfigurations) {
    const IpConfig fixed = Ip(Device(kWiredStatic));
    EXPECT_FALSE(fixed.dhcpEnabled);
    ASSERT_EQ(fixed.addresses.size(), 1u);
    EXPECT_EQ(fixed.addresses[0].address, "10.9.8.7");
    EXPECT_EQ(backend_->ReleaseAddress(Device(kWiredStatic)), ERROR_NOT_SUPPORTED + 0u);

    const std::string wired = Device(kWiredDhcp);
    EXPECT_EQ(Address(wired), "0.0.0.0");
    RunTo(2);
    EXPECT_EQ(Address(wired), "10.0.0.99");
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Address), 1u);
}

TEST_F(SimAssociation, ClockJumpsKeepTheOrderOfEventsAndRequestsSeeThePresent) {
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
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_LE(backend_->NextDeadline(), At(501));

    // The server ticks only when the world asked for it; a request in
    // between still sees the present.
    Join(device, "Open-1", kOpen, kDisabled);
    EXPECT_EQ(backend_->NextDeadline(), At(500.5));
    SetClock(500.4);
    EXPECT_FALSE(Connected(device));
    SetClock(500.5);
    EXPECT_TRUE(Connected(device));
    EXPECT_EQ(MediaEvents(true), 2u);
}

TEST_F(SimWorldTest, TheBundledNeighbourhoodWorks) {
    LoadWorld(TARVIK_SOURCE_DIR "/share/scenarios/default.json");
    const std::string wireless = Device(0);
    const ndis::BssidList list = FetchList(wireless);
    EXPECT_TRUE(list.Clean());
    EXPECT_GE(list.entries.size(), 15u);
    EXPECT_TRUE(backend_->IsServiceRunning());
    EXPECT_EQ(Address(Device(1)), "192.168.10.34");  // the wired card, leased at start
}

TEST_F(SimWorldTest, AnAdapterMayStartAssociatedUnlessItCannotJoin) {
    LoadWorld("associated.json");
    const std::string device = Device(0);
    EXPECT_TRUE(Connected(device));
    EXPECT_EQ(U32(device, OID_802_11_AUTHENTICATION_MODE), Ndis802_11AuthModeWPA2PSK + 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS), Ndis802_11Encryption3Enabled + 0u);
    EXPECT_EQ(Address(device), "192.168.77.5");
    EXPECT_EQ(Ip(device).leaseObtained, kWallStart);
    RunTo(10);
    EXPECT_TRUE(sink_.events.empty());  // nothing changed, nothing announced

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
