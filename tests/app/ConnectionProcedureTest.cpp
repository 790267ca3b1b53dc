// The connection procedure against tarvik-driverd: joins by security kind,
// refusals, leaving, the WPA steps through a test bridge, and a daemon that
// goes away mid-attempt. Status texts are read without their time.
#include "app/ConnectionProcedure.h"

#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/WepKeyBlock.h"
#include "core/StatusLine.h"
#include "networks/NetworkColumns.h"

namespace tarvik::testing {
namespace {

using Texts = std::vector<std::string>;

struct StatusTexts : IStatusLineSink {
    Texts texts;
    std::function<void(const std::string&)> onText;  // runs while the worker waits
    void ShowStatusText(const std::string& text) override {
        texts.push_back(text.substr(9));
        if (onText) onText(texts.back());
    }
};

struct TestBridge : ISupplicantBridge {
    Texts calls;
    BridgeWaitResult answer;
    void Prepare(CAdapter&, const ndis::BssidEntry& entry, const NetworkSecurity&,
                 const CNetworkKey& profile) override {
        const auto ssid = entry.Ssid();
        calls.push_back("Prepare " + std::string(ssid.begin(), ssid.end()) + " " +
                        std::to_string(profile.keyLength));
    }
    void SetState(int state) override { calls.push_back("State " + std::to_string(state)); }
    BridgeWaitResult Wait(std::chrono::milliseconds bound) override {
        calls.push_back("Wait " + std::to_string(bound.count()));
        return answer;
    }
    void Disarm() override { calls.push_back("Disarm"); }
};

struct TestKeys : IKeySource {
    Result answer = RES_KEY_CANCELLED;
    CNetworkKey key;
    Result GetKeyForNetwork(const BssidRecord&, CNetworkKey& out, bool& temporary) override {
        out = key, temporary = true;
        return answer;
    }
};

// A profile whose key is `text`, hex-decoded when `hex`.
CNetworkKey Profile(const std::string& text, bool hex = false) {
    CNetworkKey profile;
    profile.keyType = hex ? KEY_TYPE_HEX : KEY_TYPE_ASCII;
    for (std::size_t i = 0; i < text.size(); i += hex ? 2 : 1) {
        profile.key[profile.keyLength++] =
            hex ? static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)) : text[i];
    }
    return profile;
}

const Texts kSetTexts = {"Successfully set infrastructure OID on the selected adapter.",
                         "Successfully set authentication OID on the selected adapter.",
                         "Successfully set encryption OID on the selected adapter.",
                         "Successfully set SSID OID on the selected adapter.",
                         "Waiting to receive 'Connect' notification from the adapter..."};
const std::string kDhcpText =
    "Network configuration applied, IP address received, connected to the network.";
const std::string kManualText =
    "Network configuration applied, manual IP address configured, connected to the network.";

class ConnectionFixture : public MainDialogFixture {
  public:
    using MainDialogFixture::dialog_;
    using MainDialogFixture::now_;
    ConnectionFixture() {
        SetStatusLineSink(&status_);
        options_.MediaStatusNotificationTimeout = 2;
        options_.DhcpAddressAquisitionTimeout = 2;
        options_.EapolNegotiationTimeout = 1;
    }
    ~ConnectionFixture() override {
        SetStatusLineSink(nullptr);
        procedure_.EndAttempts();
    }

    void Start(const std::string& scenario = "join.json") {
        daemon_ = std::make_unique<DaemonProcess>(std::string(TARVIK_SOURCE_DIR) +
                                                  "/tests/app/scenarios/" + scenario);
        ASSERT_TRUE(daemon_->ready());
        dialog_ = std::make_unique<CMainDialog>(MainDialogParts{
            .view = view_,
            .loop = loop_,
            .options = options_,
            .networks = networks_,
            .table = table_,
            .columns = columns_,
            .adapterCombo = combo_,
            .connection = &procedure_,
            .adapterAddresses = nullptr,
            .clock = [this] { return now_; },
        });
        procedure_.Attach(dialog_.get(), &loop_);
        procedure_.SetKeySource(&keys_);
        ASSERT_TRUE(dialog_->Initialize());
        adapter_ = dialog_->ChosenAdapter();
        status_.texts.clear();
    }
    BssidRecord Find(const std::string& ssid) {
        for (const BssidRecord& record : networks_.Records()) {
            if (SsidText(*record) == ssid) return record;
        }
        ADD_FAILURE() << "no network " << ssid;
        return std::make_shared<CBssid>();
    }
    // Starts a join and runs the GUI thread's side until the worker ended.
    Result Join(const std::string& ssid, const CNetworkKey* profile = nullptr) {
        const Result started = procedure_.ConnectToBssid(Find(ssid), profile);
        loop_.RunUntil([this] { return !procedure_.IsRunning(); });
        return started;
    }
    std::uint32_t AuthenticationMode() {
        adapter_->QueryAuthenticationMode();
        return adapter_->AuthenticationMode();
    }

    CConnectionProcedure procedure_{options_};
    StatusTexts status_;
    TestKeys keys_;
    CAdapter* adapter_ = nullptr;
};

struct JoinRow {
    const char* name;
    const char* scenario;
    const char* ssid;
    const char* key;  // none: open
    bool hex;
    int sharedMode;
    Result result;
    std::uint32_t authenticationMode;
    bool waitsForAddress;
    std::string lastText;
    std::uint32_t recordStatus;
};

class JoinTest : public ConnectionFixture, public ::testing::WithParamInterface<JoinRow> {};

TEST_P(JoinTest, SetsTheOidsInOrderAndEndsAsTheNetworkAllows) {
    const JoinRow& row = GetParam();
    Start(row.scenario);
    options_.UseSharedModeInsteadOfOpen = row.sharedMode;
    const CNetworkKey profile = Profile(row.key ? row.key : "", row.hex);
    EXPECT_EQ(Join(row.ssid, row.key ? &profile : nullptr), RES_SUCCESS);
    EXPECT_EQ(procedure_.LastResult(), row.result);
    Texts expected = kSetTexts;
    if (row.waitsForAddress) expected.push_back("Waiting for an IP address...");
    expected.push_back(row.lastText);
    EXPECT_EQ(status_.texts, expected);
    EXPECT_EQ(AuthenticationMode(), row.authenticationMode);
    EXPECT_EQ(Find(row.ssid)->ConnectionStatus(), row.recordStatus);
    EXPECT_FALSE(dialog_->IsConnectionInProgress());
}

const std::string kMediaDownText =
    "Adapter reports media as disconnected despite applying network settings, unable to connect.";
const std::string kNoAddressText =
    "Connected to the server, but timed out waiting for an IP address.";
INSTANTIATE_TEST_SUITE_P(
    Connection, JoinTest,
    ::testing::Values(JoinRow{"OpenWithDhcp", "join.json", "OpenCafe", nullptr, false, 0,
                              RES_OPEN_CONNECTED, 0, true, kDhcpText, STATUS_CONNECTING},
                      JoinRow{"OpenStatic", "join_static.json", "OpenCafe", nullptr, false, 0,
                              RES_OPEN_CONNECTED, 0, false, kManualText, STATUS_CONNECTING},
                      JoinRow{"OpenSharedMode", "join.json", "OpenCafe", nullptr, false, 1,
                              RES_MEDIA_DISCONNECTED, 1, false, kMediaDownText, STATUS_CONNECTING},
                      JoinRow{"WepAscii5", "join.json", "WepFive", "abcde", false, 0,
                              RES_WEP_CONNECTED, 0, true, kDhcpText, STATUS_CONNECTING},
                      JoinRow{"WepHex10", "join.json", "WepFive", "6162636465", true, 0,
                              RES_WEP_CONNECTED, 0, true, kDhcpText, STATUS_CONNECTING},
                      JoinRow{"WepAscii13", "join.json", "WepThirteen", "abcdefghijklm", false, 0,
                              RES_WEP_CONNECTED, 0, true, kDhcpText, STATUS_CONNECTING},
                      JoinRow{"WepHex26", "join.json", "WepThirteen", "6162636465666768696a6b6c6d",
                              true, 0, RES_WEP_CONNECTED, 0, true, kDhcpText, STATUS_CONNECTING},
                      JoinRow{"WepSharedModeStaysOpen", "join.json", "WepFive", "abcde", false, 1,
                              RES_WEP_CONNECTED, 0, true, kDhcpText, STATUS_CONNECTING},
                      JoinRow{"WepWrongKey", "join.json", "WepFive", "zzzzz", false, 0,
                              RES_CONNECTED_NO_ADDRESS, 0, true, kNoAddressText, STATUS_CONNECTING},
                      JoinRow{"WepStatic", "join_static.json", "WepFive", "abcde", false, 0,
                              RES_WEP_CONNECTED, 0, false, kManualText, STATUS_CONNECTED_MANUAL}),
    [](const auto& info) { return std::string(info.param.name); });

struct WpaRow {
    const char* name;
    const char* ssid;
    BridgeWaitResult wait;
    Result result;
    std::uint32_t authenticationMode;
    int level;
    std::string lastText;
};

class WpaTest : public ConnectionFixture, public ::testing::WithParamInterface<WpaRow> {};

TEST_P(WpaTest, SetsModeAndLevelThenWaitsForTheHandshake) {
    const WpaRow& row = GetParam();
    TestBridge bridge;
    bridge.answer = row.wait;
    procedure_.SetSupplicantBridge(&bridge);
    Start();
    const CNetworkKey profile = Profile("correct horse");
    EXPECT_EQ(Join(row.ssid, &profile), RES_SUCCESS);
    EXPECT_EQ(procedure_.LastResult(), row.result);
    EXPECT_EQ(AuthenticationMode(), row.authenticationMode);
    const Texts calls = {std::string("Prepare ") + row.ssid + " 13", "State 4", "Wait 1000",
                         "Disarm"};
    EXPECT_EQ(bridge.calls, calls);
    Texts expected = kSetTexts;
    expected.push_back(row.lastText);
    EXPECT_EQ(status_.texts, expected);
    const auto log = log_.Messages();
    EXPECT_TRUE(InOrder(
        log, {"App: Info: Determined best encryption level: " + std::to_string(row.level)}));
    if (row.wait.kind == BridgeWaitKind::Failed) {
        EXPECT_TRUE(
            InOrder(log, {"App: Error: WPA wait failed " + std::to_string(row.wait.lastError)}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Connection, WpaTest,
    ::testing::Values(
        // The simulated port stays closed without the real handshake: no address.
        WpaRow{"Wpa2Event",
               "WpaTwo",
               {BridgeWaitKind::Event},
               RES_ADDRESS_WAIT_TIMEOUT,
               7,
               6,
               "Keys exchanged, but timed out waiting or an IP address."},
        WpaRow{"WpaTimeout",
               "WpaOne",
               {BridgeWaitKind::Timeout},
               RES_KEY_EXCHANGE_TIMEOUT,
               4,
               4,
               "Key exchange timed out, unable to connect."},
        WpaRow{"Wpa2Failed",
               "WpaTwo",
               {BridgeWaitKind::Failed, 6},
               RES_KEY_EXCHANGE_FAILED,
               7,
               6,
               "Error occured while performing EAPOL negotiation, connect aborted."},
        // The bridge's own reason replaces the general text.
        WpaRow{"Wpa2KeyRefused",
               "WpaTwo",
               {BridgeWaitKind::Failed, 87, RES_KEY_EXCHANGE_FAILED, "No usable key."},
               RES_KEY_EXCHANGE_FAILED,
               7,
               6,
               "No usable key."},
        WpaRow{"Wpa2Alerted",
               "WpaTwo",
               {BridgeWaitKind::Other, 0, 192},
               192,
               7,
               6,
               "The key exchange was interrupted, unable to connect."}),
    [](const auto& info) { return std::string(info.param.name); });

// Attempts that end before any OID is set, and the one-at-a-time rule.
struct RefusalRow {
    const char* name;
    const char* ssid;
    std::function<void(ConnectionFixture&, CNetworkKey&)> prepare;
    Result result;
    std::string text;  // the last status text; empty: none
};

class RefusalTest : public ConnectionFixture, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(RefusalTest, SetsNothing) {
    const RefusalRow& row = GetParam();
    Start();
    CNetworkKey profile;
    row.prepare(*this, profile);
    status_.texts.clear();
    EXPECT_EQ(procedure_.ConnectToBssid(Find(row.ssid), profile.keyLength ? &profile : nullptr),
              row.result);
    EXPECT_EQ(status_.texts.empty() ? "" : status_.texts.back(), row.text);
    EXPECT_FALSE(procedure_.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Connection, RefusalTest,
    ::testing::Values(
        RefusalRow{"WpaWithoutBridge", "WpaTwo",
                   [](auto&, CNetworkKey& profile) { profile = Profile("correct horse"); }, -1,
                   kNoWpaBridgeText},
        RefusalRow{"WepKeyAbove136Bytes", "WepFive",
                   [](auto&, CNetworkKey& profile) { profile = Profile(std::string(137, 'k')); },
                   -1,
                   "The key for WepFive has 137 bytes; a WEP key has at most 136. Nothing was "
                   "changed."},
        RefusalRow{"KeyPromptCancelled", "WepFive", [](auto&, CNetworkKey&) {}, -1, ""},
        RefusalRow{"NoKeySource", "WepFive",
                   [](auto& test, CNetworkKey&) { test.procedure_.SetKeySource(nullptr); }, -1,
                   "No key is known for WepFive and this build cannot ask for one; nothing was "
                   "changed."},
        RefusalRow{"AlreadyConnected", "OpenCafe",
                   [](auto& test, CNetworkKey&) {
                       test.Join("OpenCafe");
                       test.dialog_->OnTimer(TIMER_CONNECTION_STATUS);
                   },
                   -1, "Already connected to: OpenCafe"},
        // The first attempt waits for its start message, which nobody runs.
        RefusalRow{"SecondWhileOneRuns", "OpenCafe",
                   [](auto& test, CNetworkKey&) {
                       test.procedure_.ConnectToBssid(test.Find("OpenCafe"));
                       // Nor may a device change take its adapter away meanwhile.
                       test.now_ += 10;
                       test.dialog_->OnDeviceChange(kDbtDevNodesChanged);
                       ASSERT_EQ(test.dialog_->ChosenAdapter(), test.adapter_);
                       ASSERT_EQ(test.procedure_.ConnectToBssid(test.Find("OpenCafe")), -2);
                       test.procedure_.EndAttempts();
                   },
                   -2, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectionFixture, AKeyFromThePromptJoinsAndWithoutAnAdapterNothingStarts) {
    Start();
    keys_.answer = RES_KEY_OBTAINED;
    keys_.key = Profile("abcde");
    EXPECT_EQ(Join("WepFive"), RES_KEY_OBTAINED);
    EXPECT_EQ(procedure_.LastResult(), RES_WEP_CONNECTED);

    CConnectionProcedure unattached(options_);
    dialog_.reset();
    Create();
    unattached.Attach(dialog_.get(), &loop_);
    EXPECT_EQ(unattached.ConnectToBssid(std::make_shared<CBssid>()), -1);
    EXPECT_TRUE(InOrder(log_.Messages(),
                        {"App: Error: ConnectToBssid called with chosen adapter being NULL"}));
}

class DisconnectTest : public ConnectionFixture, public ::testing::WithParamInterface<int> {};

// Ad hoc, so that only the random SSID's way sets infrastructure mode.
TEST_P(DisconnectTest, ReleasesTheAddressThenDisassociatesOrSetsARandomSsid) {
    Start();
    options_.UseDisassociateWhenDisconnecting = GetParam();
    Join("AdHocPair");
    ASSERT_EQ(procedure_.LastResult(), RES_OPEN_CONNECTED);
    procedure_.Disconnect();
    EXPECT_TRUE(
        InOrder(log_.Messages(), {"App: Warn: Disconnect called when no item was selected."}));
    view_.selected = Find("AdHocPair");
    procedure_.Disconnect();
    EXPECT_EQ(status_.texts.back(), "Disconnected from AdHocPair.");
    EXPECT_FALSE(adapter_->HasAddress());
    adapter_->QueryInfrastructureMode();
    EXPECT_EQ(adapter_->InfrastructureMode(), GetParam() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Connection, DisconnectTest, ::testing::Values(0, 1), [](const auto& info) {
    return std::string(info.param ? "Disassociate" : "RandomSsid");
});

// Attempts that end early: a key the card refuses, and the daemon stopping
// while the worker waits for the GUI to show `trigger`.
struct EndRow {
    const char* name;
    const char* ssid;
    const char* key;
    std::string trigger;
    Result result;
    std::string lastText;
};

class EarlyEndTest : public ConnectionFixture, public ::testing::WithParamInterface<EndRow> {};

TEST_P(EarlyEndTest, EndsTheAttemptWithAText) {
    const EndRow& row = GetParam();
    Start();
    status_.onText = [&](const std::string& text) {
        if (text == row.trigger) daemon_->Stop();
    };
    const CNetworkKey profile = Profile(row.key);
    Join(row.ssid, &profile);
    EXPECT_EQ(procedure_.LastResult(), row.result);
    EXPECT_EQ(status_.texts.back(), row.lastText);
    EXPECT_FALSE(dialog_->IsConnectionInProgress());
}

INSTANTIATE_TEST_SUITE_P(
    Connection, EarlyEndTest,
    ::testing::Values(
        EndRow{"SevenByteWepKey", "WepFive", "abcdefg", "", RES_ADD_KEY_FAILED,
               "Could not add the WEP key on the selected adapter."},
        EndRow{"DaemonGoneBeforeAuthentication", "OpenCafe", "", kSetTexts[0],
               RES_SET_AUTHENTICATION_FAILED,
               "Could not set authentication OID on the selected adapter."},
        EndRow{"DaemonGoneBeforeTheAddress", "OpenCafe", "", "Waiting for an IP address...",
               RES_CONNECTED_NO_ADDRESS,
               "Connected to the server, but address changes could not be watched; no IP "
               "address was received."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WepKeyBlock, HoldsTheKeyAfterA32ByteHeaderAndRefusesMoreThan136Bytes) {
    const std::vector<std::uint8_t> key(13, 0x5a);
    const auto block = BuildWepKeyBlock(key);
    ASSERT_TRUE(block);
    const std::vector<std::uint8_t> header(block->begin(), block->begin() + 32);
    EXPECT_EQ(header, (std::vector<std::uint8_t>{
                          45,   0,    0, 0, 0, 0, 0, 0x80, 13, 0, 0, 0, 0xff, 0xff, 0xff, 0xff,
                          0xff, 0xff, 0, 0, 0, 0, 0, 0,    0,  0, 0, 0, 0,    0,    0,    0}));
    EXPECT_EQ(std::count(block->begin() + 32, block->end(), 0x5a), 13);
    EXPECT_TRUE(BuildWepKeyBlock(std::vector<std::uint8_t>(136)));
    EXPECT_FALSE(BuildWepKeyBlock(std::vector<std::uint8_t>(137)));
}

}  // namespace
}  // namespace tarvik::testing
