// The card's own surface: scan lists, buffers, capabilities and refusals.
#include "SimTestWorld.h"
#include "ndis/ElementWalker.h"
#include "ndis/Elements.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;

constexpr std::uint32_t kNotSupported = ERROR_NOT_SUPPORTED, kInvalid = ERROR_INVALID_PARAMETER,
                        kShort = ERROR_INSUFFICIENT_BUFFER;

std::vector<std::uint8_t> Le32(std::uint32_t value) {
    std::vector<std::uint8_t> data;
    AppendLe32(data, value);
    return data;
}

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
    EXPECT_FALSE(Lists(FetchList(Device(kTkip)), kWpa2));  // an 802.11b card: no 5 GHz

    RunTo(35);
    EXPECT_TRUE(Lists(FetchList(Device(kRescanning)), kLate));  // its own scan at 30 s
    EXPECT_FALSE(Lists(FetchList(device), kLate));
    ASSERT_EQ(SetNoValue(device, OID_802_11_BSSID_LIST_SCAN), 0u);
    EXPECT_TRUE(Lists(FetchList(device), kLate));

    // Gone from the air, still in the soft list until the next scan.
    RunTo(95);
    EXPECT_TRUE(Lists(FetchList(device), kLate));
    EXPECT_TRUE(Lists(FetchList(device), kFader));  // -98 dBm now, -74 at the scan
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
    int seen = 0;
    for (const auto& entry : list.entries) {
        const Configuration80211 config = entry.GetConfiguration();
        const MacAddress bssid = entry.GetMacAddress();
        EXPECT_GE(config.dsConfig, lastChannelKhz);  // in channel order, as a sweep finds them
        lastChannelKhz = config.dsConfig;
        if (bssid == kOpen1) {
            EXPECT_EQ(std::string(entry.Ssid().begin(), entry.Ssid().end()), "Open-1");
            EXPECT_EQ(entry.Privacy(), 0u);
            EXPECT_EQ(entry.Rssi(), -50);
            EXPECT_EQ(config.dsConfig, 2412000u);
            EXPECT_EQ(entry.NetworkTypeInUse(), Ndis802_11OFDM24);
            EXPECT_EQ(entry.InfrastructureMode(), Ndis802_11Infrastructure);
            EXPECT_EQ(entry.SupportedRates()[0], 0x82);  // 1 Mbit/s, basic
            EXPECT_EQ(entry.BeaconInterval(), 100);
        }
        const auto ies = entry.TaggedElements();
        seen += bssid == kSecret && entry.SsidLength() == 0;
        seen += bssid == kPeer && entry.InfrastructureMode() == Ndis802_11IBSS &&
                config.atimWindow == 10;
        seen += bssid == kWpa2 && entry.NetworkTypeInUse() == Ndis802_11OFDM5 &&
                config.dsConfig == 5180000u;
        seen += bssid == kMixed && FindElement(ies, kElementRsn) &&
                FindVendorElement(ies, kWpaOui, kWpaVendorType);
    }
    EXPECT_EQ(seen, 4);
}

TEST_F(SimCard, RepliesFitTheBuffer) {
    const std::string device = Device(kFull);
    EXPECT_EQ(Query(device, OID_802_11_BSSID_LIST, 100), kShort);
    EXPECT_TRUE(out_.empty());
    ASSERT_GT(needed_, 1000u);
    EXPECT_EQ(Query(device, OID_802_11_BSSID_LIST, needed_ - 1), kShort);
    EXPECT_EQ(Query(device, OID_802_11_BSSID_LIST, needed_), 0u);
    EXPECT_EQ(out_.size(), needed_);
    EXPECT_EQ(Query(device, OID_802_3_CURRENT_ADDRESS, 4), kShort);
    EXPECT_EQ(needed_, 6u);

    // Eight bytes hold the fastest eight rates; sixteen hold them all.
    ASSERT_EQ(Query(device, OID_802_11_SUPPORTED_RATES, 8), 0u);
    EXPECT_EQ(out_, (std::vector<std::uint8_t>{18, 22, 24, 36, 48, 72, 96, 108}));
    ASSERT_EQ(Query(device, OID_802_11_SUPPORTED_RATES, 16), 0u);
    EXPECT_EQ(out_.size(), 16u);
    EXPECT_EQ(out_[0] + out_[12], 2);
    ASSERT_EQ(Query(device, OID_802_11_NETWORK_TYPES_SUPPORTED, 2000), 0u);
    ASSERT_EQ(out_.size(), 16u);
    EXPECT_EQ(LoadLe32(out_.data()), 3u);
    ASSERT_EQ(Query(device, OID_802_11_SSID, 36), 0u);
    EXPECT_EQ(LoadLe32(out_.data()), 0u);  // unassociated: an empty SSID
}

TEST_F(SimCard, RefusesWhatItCannotDo) {
    std::vector<std::uint8_t> longSsid(36, 0), cutSsid(8, 0), shortKey;
    longSsid[0] = 33;
    cutSsid[0] = 10;  // more than the bytes sent
    Key80211 key;
    key.keyIndex = kKeyIndexTransmit;
    key.bssid = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    key.keyMaterial = {1, 2, 3};
    const struct Row {
        const char* name;
        int adapter;
        bool set;  // else a query
        std::uint32_t oid;
        std::vector<std::uint8_t> data;
        std::uint32_t status;
    } rows[] = {
        {"WEP card, WPA", kWep, true, OID_802_11_AUTHENTICATION_MODE,
         Le32(Ndis802_11AuthModeWPAPSK), kNotSupported},
        {"TKIP card, WPA2", kTkip, true, OID_802_11_AUTHENTICATION_MODE,
         Le32(Ndis802_11AuthModeWPA2PSK), kNotSupported},
        {"TKIP card, AES", kTkip, true, OID_802_11_ENCRYPTION_STATUS,
         Le32(Ndis802_11Encryption3Enabled), kNotSupported},
        {"plain card, WEP", kPlain, true, OID_802_11_ENCRYPTION_STATUS,
         Le32(Ndis802_11Encryption1Enabled), kNotSupported},
        {"unknown authentication", kFull, true, OID_802_11_AUTHENTICATION_MODE, Le32(8), kInvalid},
        {"key-absent status", kFull, true, OID_802_11_ENCRYPTION_STATUS,
         Le32(Ndis802_11Encryption3KeyAbsent), kInvalid},
        {"unknown mode", kFull, true, OID_802_11_INFRASTRUCTURE_MODE, Le32(3), kInvalid},
        {"two-byte value", kFull, true, OID_802_11_AUTHENTICATION_MODE, {1, 0}, kInvalid},
        {"SSID over 32 bytes", kFull, true, OID_802_11_SSID, longSsid, kInvalid},
        {"SSID past the bytes sent", kFull, true, OID_802_11_SSID, cutSsid, kInvalid},
        {"set of a query-only object", kFull, true, OID_802_11_RSSI, Le32(0), kNotSupported},
        {"query of a set-only object", kFull, false, OID_802_11_BSSID_LIST_SCAN, {}, kNotSupported},
        {"unknown object", kFull, false, 0x0D0102FF, {}, kNotSupported},
        {"3-byte WEP key", kFull, true, OID_802_11_ADD_KEY, BuildKey(key), kInvalid},
        {"truncated key", kFull, true, OID_802_11_ADD_KEY, {40, 0, 0, 0, 0, 0, 0, 0x80}, kInvalid},
        {"removing a WEP key not held", kFull, true, OID_802_11_REMOVE_WEP, Le32(1), kInvalid},
        {"unassociated: RSSI", kFull, false, OID_802_11_RSSI, {}, kErrorNotReady},
        {"unassociated: BSSID", kFull, false, OID_802_11_BSSID, {}, kErrorNotReady},
        {"idle: info", kFull, false, OID_802_11_ASSOCIATION_INFORMATION, {}, kErrorNotReady},
        {"wired: SSID", kWiredStatic, false, OID_802_11_SSID, {}, kNotSupported},
        {"wired: join", kWiredStatic, true, OID_802_11_SSID, *BuildSsid("Open-1"), kNotSupported},
    };
    for (const Row& row : rows) {
        const std::string device = Device(row.adapter);
        EXPECT_EQ(row.set ? backend_->SetOid(device, row.oid, row.data) : Query(device, row.oid),
                  row.status)
            << row.name;
    }
    // A refused set changes nothing.
    EXPECT_EQ(U32(Device(kWep), OID_802_11_AUTHENTICATION_MODE), Ndis802_11AuthModeOpen);
    EXPECT_EQ(U32(Device(kWep), OID_802_11_ENCRYPTION_STATUS), Ndis802_11EncryptionDisabled);

    const std::string unknown = "\\DEVICE\\{00000000-0000-0000-0000-000000000000}";
    EXPECT_FALSE(backend_->IsBound(unknown));
    EXPECT_NE(Query(unknown, OID_GEN_LINK_SPEED, 4), 0u);
    EXPECT_NE(backend_->WriteFrame(unknown, std::vector<std::uint8_t>(60, 0)), 0u);
    IpConfig config;
    EXPECT_FALSE(backend_->GetIpConfig(unknown, config));
}

TEST_F(SimCard, EncryptionStatusShowsKeyAbsentUntilAKeyIsAdded) {
    const std::string device = Device(kFull);
    const auto status = [&] { return U32(device, OID_802_11_ENCRYPTION_STATUS); };
    ASSERT_EQ(SetU32(device, OID_802_11_ENCRYPTION_STATUS, Ndis802_11Encryption1Enabled), 0u);
    EXPECT_EQ(status(), Ndis802_11Encryption1KeyAbsent);
    ASSERT_EQ(AddWepKey(device, {1, 2, 3, 4, 5}), 0u);
    EXPECT_EQ(status(), Ndis802_11Encryption1Enabled);
    // A new infrastructure mode clears the keys.
    ASSERT_EQ(SetU32(device, OID_802_11_INFRASTRUCTURE_MODE, Ndis802_11Infrastructure), 0u);
    EXPECT_EQ(status(), Ndis802_11Encryption1KeyAbsent);
    // The older WEP structure adds a key too; removing it takes it away.
    Wep80211 wep;
    wep.keyIndex = kKeyIndexTransmit | 1;
    wep.keyMaterial.assign(13, 0x5a);
    ASSERT_EQ(backend_->SetOid(device, OID_802_11_ADD_WEP, BuildWep(wep)), 0u);
    EXPECT_EQ(status(), Ndis802_11Encryption1Enabled);
    EXPECT_EQ(SetU32(device, OID_802_11_REMOVE_WEP, 1), 0u);
    EXPECT_EQ(status(), Ndis802_11Encryption1KeyAbsent);
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
