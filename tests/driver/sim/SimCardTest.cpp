// The card's own surface: scan lists, buffers, capabilities and refusals.
#include <fstream>
#include <functional>
#include <sstream>

#include "SimTestWorld.h"
#include "ndis/ElementWalker.h"
#include "ndis/Elements.h"
#include "ndis/NdisTypes.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;

class SimCard : public SimWorldTest {
  protected:
    void SetUp() override { LoadWorld(); }
};

TEST_F(SimCard, SoftListChangesOnlyWithAScan) {
    const std::string device = Device(kFull);
    ndis::BssidList list = FetchList(device);
    EXPECT_TRUE(list.Clean());
    EXPECT_FALSE(Lists(list, kLate));  // on the air only from 30 s
    EXPECT_TRUE(Lists(list, kFader));

    RunTo(40);
    EXPECT_FALSE(Lists(FetchList(device), kLate));
    ASSERT_EQ(SetNoValue(device, OID_802_11_BSSID_LIST_SCAN), 0u);
    EXPECT_TRUE(Lists(FetchList(device), kLate));

    // Gone from the air, still in the soft list until the next scan.
    RunTo(95);
    EXPECT_TRUE(Lists(FetchList(device), kLate));
    EXPECT_TRUE(Lists(FetchList(device), kFader));  // -98 dBm now, -76 at the scan
    ASSERT_EQ(SetNoValue(device, OID_802_11_BSSID_LIST_SCAN), 0u);
    list = FetchList(device);
    EXPECT_FALSE(Lists(list, kLate));
    EXPECT_FALSE(Lists(list, kFader));  // below the card's -90 dBm
}

TEST_F(SimCard, ScanEntriesCarryTheAccessPoint) {
    const ndis::BssidList list = FetchList(Device(kFull));
    ASSERT_TRUE(list.Clean());
    EXPECT_EQ(list.numberOfItems, list.entries.size());
    std::uint32_t lastChannelKhz = 0;
    bool sawRsn = false, sawWpa = false, sawHidden = false, sawAdHoc = false, sawFiveGhz = false;
    for (const auto& entry : list.entries) {
        const Configuration80211 config = entry.GetConfiguration();
        // Listed in channel order, as a sweep finds them.
        EXPECT_GE(config.dsConfig, lastChannelKhz);
        lastChannelKhz = config.dsConfig;
        if (entry.GetMacAddress() == kOpen1) {
            EXPECT_EQ(std::string(entry.Ssid().begin(), entry.Ssid().end()), "Open-1");
            EXPECT_EQ(entry.Privacy(), 0u);
            EXPECT_EQ(entry.Rssi(), -50);
            EXPECT_EQ(config.dsConfig, 2412000u);
            EXPECT_EQ(entry.NetworkTypeInUse(), static_cast<std::uint32_t>(Ndis802_11OFDM24));
            EXPECT_EQ(entry.InfrastructureMode(),
                      static_cast<std::uint32_t>(Ndis802_11Infrastructure));
            EXPECT_EQ(entry.SupportedRates()[0], 0x82);  // 1 Mbit/s, basic
            EXPECT_EQ(entry.BeaconInterval(), 100);
        }
        if (entry.GetMacAddress() == kSecret) {
            sawHidden = entry.SsidLength() == 0;
        }
        if (entry.GetMacAddress() == kPeer) {
            sawAdHoc = entry.InfrastructureMode() == Ndis802_11IBSS &&
                       entry.GetConfiguration().atimWindow == 10;
        }
        if (entry.GetMacAddress() == kWpa2) {
            sawFiveGhz = entry.NetworkTypeInUse() == Ndis802_11OFDM5 && config.dsConfig == 5180000u;
        }
        if (entry.GetMacAddress() == kMixed) {
            sawRsn = FindElement(entry.TaggedElements(), kElementRsn).has_value();
            sawWpa = FindVendorElement(entry.TaggedElements(), kWpaOui, kWpaVendorType).has_value();
        }
    }
    EXPECT_TRUE(sawRsn && sawWpa && sawHidden && sawAdHoc && sawFiveGhz);
}

TEST_F(SimCard, CardsHearOnlyTheirBands) {
    // The 802.11b card hears 2.4 GHz networks but not the 5 GHz one.
    const ndis::BssidList list = FetchList(Device(kTkip));
    EXPECT_TRUE(Lists(list, kOpen1));
    EXPECT_FALSE(Lists(list, kWpa2));
}

TEST_F(SimCard, SmallBufferGetsInsufficientBufferAndTheSize) {
    const std::string device = Device(kFull);
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    EXPECT_EQ(Query(device, OID_802_11_BSSID_LIST, 100, out, needed),
              static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(out.empty());
    ASSERT_GT(needed, 1000u);
    EXPECT_EQ(Query(device, OID_802_11_BSSID_LIST, needed - 1, out, needed),
              static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(Query(device, OID_802_11_BSSID_LIST, needed, out, needed), 0u);
    EXPECT_EQ(out.size(), needed);

    // Small fixed-size replies too.
    EXPECT_EQ(Query(device, OID_802_3_CURRENT_ADDRESS, 4, out, needed),
              static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, 6u);
}

TEST_F(SimCard, RatesFitTheBufferAndNetworkQueriesWaitForAnAssociation) {
    const std::string device = Device(kFull);
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    // Eight bytes hold the fastest eight rates; sixteen hold them all.
    ASSERT_EQ(Query(device, OID_802_11_SUPPORTED_RATES, 8, out, needed), 0u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{18, 22, 24, 36, 48, 72, 96, 108}));
    ASSERT_EQ(Query(device, OID_802_11_SUPPORTED_RATES, 16, out, needed), 0u);
    EXPECT_EQ(out.size(), 16u);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[12], 0);
    ASSERT_EQ(Query(device, OID_802_11_NETWORK_TYPES_SUPPORTED, 2000, out, needed), 0u);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(LoadLe32(out.data()), 3u);
    // Unassociated: nothing to report about a network.
    for (const std::uint32_t oid :
         {OID_802_11_RSSI, OID_802_11_BSSID, OID_802_11_ASSOCIATION_INFORMATION}) {
        EXPECT_EQ(Query(device, oid, 4000, out, needed), kErrorNotReady) << std::hex << oid;
    }
    ASSERT_EQ(Query(device, OID_802_11_SSID, 36, out, needed), 0u);
    EXPECT_EQ(LoadLe32(out.data()), 0u);
}

TEST_F(SimCard, WiredCardRefusesWirelessObjects) {
    const std::string device = Device(kWiredStatic);
    EXPECT_EQ(U32(device, OID_GEN_PHYSICAL_MEDIUM),
              static_cast<std::uint32_t>(NdisPhysicalMediumUnspecified));
    EXPECT_EQ(U32(device, OID_GEN_MEDIA_CONNECT_STATUS),
              static_cast<std::uint32_t>(NdisMediaStateConnected));
    EXPECT_EQ(U32(device, OID_GEN_LINK_SPEED), 1000000u);
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    ASSERT_EQ(Query(device, OID_802_3_CURRENT_ADDRESS, 6, out, needed), 0u);
    EXPECT_EQ(out.back(), 0x55);  // the current address differs from the permanent one
    for (std::uint32_t oid :
         {OID_802_11_SSID, OID_802_11_BSSID_LIST, OID_802_11_SUPPORTED_RATES, OID_802_11_RSSI}) {
        EXPECT_EQ(Query(device, oid, 4000, out, needed),
                  static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    }
    EXPECT_EQ(SetNoValue(device, OID_802_11_BSSID_LIST_SCAN),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(SetSsid(device, "Open-1"), static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
}

TEST_F(SimCard, RefusesSetsItCannotDo) {
    const std::string wep = Device(kWep);
    EXPECT_EQ(SetU32(wep, OID_802_11_AUTHENTICATION_MODE, Ndis802_11AuthModeWPAPSK),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(U32(wep, OID_802_11_AUTHENTICATION_MODE),
              static_cast<std::uint32_t>(Ndis802_11AuthModeOpen));
    EXPECT_EQ(SetU32(wep, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption2Enabled),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(U32(wep, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11EncryptionDisabled));

    const std::string tkip = Device(kTkip);
    EXPECT_EQ(SetU32(tkip, OID_802_11_AUTHENTICATION_MODE, Ndis802_11AuthModeWPAPSK), 0u);
    EXPECT_EQ(SetU32(tkip, OID_802_11_AUTHENTICATION_MODE, Ndis802_11AuthModeWPA2PSK),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(SetU32(tkip, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption3Enabled),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));

    const std::string full = Device(kFull);
    EXPECT_EQ(SetU32(full, OID_802_11_AUTHENTICATION_MODE, 8),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetU32(full, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption3KeyAbsent),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetU32(full, OID_802_11_INFRASTRUCTURE_MODE, 3),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    const std::uint8_t shortValue[2] = {1, 0};
    EXPECT_EQ(backend_->SetOid(full, OID_802_11_AUTHENTICATION_MODE, shortValue),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    // An SSID length beyond 32, or beyond the bytes sent.
    std::vector<std::uint8_t> ssid(36, 0);
    ssid[0] = 33;
    EXPECT_EQ(backend_->SetOid(full, OID_802_11_SSID, ssid),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    ssid.resize(8);
    ssid[0] = 10;
    EXPECT_EQ(backend_->SetOid(full, OID_802_11_SSID, ssid),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    // Query-only objects cannot be set, set-only objects not queried.
    EXPECT_EQ(SetU32(full, OID_802_11_RSSI, 0), static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    EXPECT_EQ(Query(full, OID_802_11_BSSID_LIST_SCAN, 4, out, needed),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(Query(full, 0x0D0102FF, 4, out, needed),
              static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED));
    // Keys the card cannot hold.
    EXPECT_EQ(AddWepKey(full, {1, 2, 3}), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    const std::uint8_t truncatedKey[8] = {40, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(backend_->SetOid(full, OID_802_11_ADD_KEY, truncatedKey),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
}

TEST_F(SimCard, UnknownDeviceIsRefused) {
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    const std::string unknown = "\\DEVICE\\{00000000-0000-0000-0000-000000000000}";
    EXPECT_FALSE(backend_->IsBound(unknown));
    EXPECT_NE(Query(unknown, OID_GEN_LINK_SPEED, 4, out, needed), 0u);
    EXPECT_NE(SetU32(unknown, OID_802_11_INFRASTRUCTURE_MODE, 1), 0u);
    const std::uint8_t frame[60] = {};
    EXPECT_NE(backend_->WriteFrame(unknown, frame), 0u);
    IpConfig config;
    EXPECT_FALSE(backend_->GetIpConfig(unknown, config));
}

// The application's probe: set WPA authentication and each cipher in turn,
// reading each back.
struct ProbeResult {
    std::uint32_t wpa;
    std::uint32_t best;
};

ProbeResult Probe(const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& set,
                  const std::function<std::uint32_t(std::uint32_t)>& query) {
    ProbeResult result{0, 3};
    set(OID_802_11_AUTHENTICATION_MODE, Ndis802_11AuthModeWPA);
    if (query(OID_802_11_AUTHENTICATION_MODE) == Ndis802_11AuthModeWPA) {
        result.wpa = 3;
    } else {
        set(OID_802_11_AUTHENTICATION_MODE, Ndis802_11AuthModeOpen);
    }
    const std::pair<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> steps[] = {
        {6, {6, 7}}, {4, {4, 5}}, {0, {0, 2}}};
    for (const auto& [value, replies] : steps) {
        set(OID_802_11_ENCRYPTION_STATUS, value);
        const std::uint32_t reply = query(OID_802_11_ENCRYPTION_STATUS);
        if (reply == replies.first || reply == replies.second) {
            result.best = value;
            break;
        }
    }
    return result;
}

TEST_F(SimCard, CapabilityProbeFindsTheConfiguredCapabilities) {
    const std::pair<int, ProbeResult> expected[] = {
        {kFull, {3, 6}}, {kTkip, {3, 4}}, {kWep, {0, 0}}, {kPlain, {0, 3}}};
    for (const auto& [index, want] : expected) {
        const std::string device = Device(index);
        const ProbeResult got = Probe(
            [&](std::uint32_t oid, std::uint32_t value) { return SetU32(device, oid, value); },
            [&](std::uint32_t oid) { return U32(device, oid); });
        EXPECT_EQ(got.wpa, want.wpa) << device;
        EXPECT_EQ(got.best, want.best) << device;
    }
    // The probe leaves a card without WPA in open authentication.
    EXPECT_EQ(U32(Device(kWep), OID_802_11_AUTHENTICATION_MODE),
              static_cast<std::uint32_t>(Ndis802_11AuthModeOpen));
}

TEST_F(SimCard, EncryptionStatusShowsKeyAbsentUntilAKeyIsAdded) {
    const std::string device = Device(kFull);
    ASSERT_EQ(SetU32(device, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption1Enabled), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption1KeyAbsent));
    ASSERT_EQ(AddWepKey(device, {1, 2, 3, 4, 5}), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption1Enabled));
    // A new infrastructure mode clears the keys.
    ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, Ndis802_11Infrastructure), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption1KeyAbsent));

    // The older WEP structure adds a key too; removing it takes it away.
    Wep80211 wep;
    wep.keyIndex = kKeyIndexTransmit | 1;
    wep.keyMaterial.assign(13, 0x5a);
    ASSERT_EQ(backend_->SetOid(device, OID_802_11_ADD_WEP, BuildWep(wep)), 0u);
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption1Enabled));
    EXPECT_EQ(SetU32(device, OID_802_11_REMOVE_WEP, 1), 0u);
    EXPECT_EQ(SetU32(device, OID_802_11_REMOVE_WEP, 1),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(U32(device, OID_802_11_ENCRYPTION_STATUS),
              static_cast<std::uint32_t>(Ndis802_11Encryption1KeyAbsent));
}

TEST_F(SimCard, AutoRescanRefreshesTheSoftList) {
    const std::string device = Device(kRescanning);
    EXPECT_FALSE(Lists(FetchList(device), kLate));
    RunTo(35);
    EXPECT_TRUE(Lists(FetchList(device), kLate));  // the scan at 30 s caught it
    EXPECT_FALSE(Lists(FetchList(Device(kFull)), kLate));
}

TEST_F(SimCard, BindingsRegistryAndService) {
    const auto bindings = backend_->Bindings();
    const auto cards = backend_->NetworkCards();
    ASSERT_EQ(bindings.size(), 7u);
    ASSERT_EQ(cards.size(), 7u);
    EXPECT_NE(bindings[0].deviceName.find(cards[0].serviceName), std::string::npos);
    EXPECT_EQ(cards[0].description, "Sim Full Card (registry)");
    const struct {
        std::uint32_t (SimBackend::*call)();
        std::uint32_t status;
        bool runningAfter;
    } steps[] = {{&SimBackend::StartService, kErrorServiceAlreadyRunning, true},
                 {&SimBackend::StopService, 0, false},
                 {&SimBackend::StopService, kErrorServiceNotActive, false},
                 {&SimBackend::StartService, 0, true}};
    for (const auto& step : steps) {
        EXPECT_EQ((backend_.get()->*step.call)(), step.status);
        EXPECT_EQ(backend_->IsServiceRunning(), step.runningAfter);
    }
}

}  // namespace
}  // namespace tarvik::driver::sim

namespace tarvik::driver::sim {
namespace {

class SimCardHostileInput : public SimWorldTest {
  protected:
    void SetUp() override { LoadWorld(); }
};

TEST_F(SimCardHostileInput, ArbitrarySetsAndQueriesNeverBreakTheCard) {
    // Every known object, set with random bytes of every short length, on a
    // wireless and a wired card; then the card still answers sensibly.
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    for (int index : {kFull, kWiredStatic}) {
        const std::string device = Device(index);
        for (const auto& info : ndis::KnownOids()) {
            for (std::size_t length = 0; length <= 48; ++length) {
                std::vector<std::uint8_t> data(length);
                for (auto& byte : data) byte = next();
                backend_->SetOid(device, info.number, data);
                std::vector<std::uint8_t> out;
                std::size_t needed = 0;
                const std::uint32_t error = Query(device, info.number, length, out, needed);
                if (error == 0) {
                    EXPECT_LE(out.size(), length);
                } else if (error == static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER)) {
                    EXPECT_GT(needed, length);
                }
                const std::vector<std::uint8_t> frame(data.begin(), data.end());
                backend_->WriteFrame(device, frame);
            }
        }
        RunTo(index == kFull ? 5 : 10);
    }
    EXPECT_TRUE(FetchList(Device(kFull)).Clean());
}

TEST(ScenarioLoaderHostile, TruncatedScenariosAreRefusedCleanly) {
    std::ifstream file(TARVIK_SOURCE_DIR "/tests/driver/scenarios/world.json");
    std::ostringstream text;
    text << file.rdbuf();
    const std::string whole = text.str();
    ASSERT_GT(whole.size(), 1000u);
    for (std::size_t cut = 0; cut + 1 < whole.size(); cut += 7) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(std::string_view(whole).substr(0, cut), scenario, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace tarvik::driver::sim
