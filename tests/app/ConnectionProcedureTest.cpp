// The connection procedure against tarvik-driverd: joins by security kind,
// attempts that are refused or end early, the WPA steps through a test
// bridge, and both ways of leaving. Status texts are read without their time.
#include "app/ConnectionProcedure.h"

#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/WepKeyBlock.h"
#include "connect/WpaBridge.h"
#include "core/StatusLine.h"
#include "ndis/ByteOrder.h"
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
        calls.push_back(std::string(ssid.begin(), ssid.end()) + std::to_string(profile.keyLength));
    }
    void SetState(int state) override { calls.push_back("State " + std::to_string(state)); }
    BridgeWaitResult Wait(std::chrono::milliseconds bound) override {
        return calls.push_back("Wait " + std::to_string(bound.count())), answer;
    }
    void Disarm() override { calls.push_back("Disarm"); }
};

// A profile whose key is `text`, or the bytes of its hex digits after "0x".
CNetworkKey Profile(const std::string& text) {
    CNetworkKey profile;
    const bool hex = text.starts_with("0x");
    for (std::size_t i = hex ? 2 : 0; i < text.size(); i += hex ? 2 : 1) {
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
const std::string kWaitAddress = "Waiting for an IP address...";
const std::string kDhcp =
    "Network configuration applied, IP address received, connected to the network.";
const std::string kManual =
    "Network configuration applied, manual IP address configured, connected to the network.";
const std::string kMediaDown =
    "Adapter reports media as disconnected despite applying network settings, unable to connect.";
const std::string kNoAddress = "Connected to the server, but timed out waiting for an IP address.";
class ConnectionFixture : public MainDialogFixture, public IKeySource {
  public:
    using MainDialogFixture::daemon_;
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
        // The receive thread hands frames to wpaBridge_, which goes first.
        if (adapter_ && adapter_->HasReceiveThread()) adapter_->StopReceive(true);
    }

    void Start(const std::string& scenario = "join.json") {
        connectionUnderTest_ = &procedure_;
        StartDaemon(TARVIK_SOURCE_DIR "/tests/app/scenarios/" + scenario);
        Create();
        procedure_.Attach(dialog_.get(), &loop_);
        procedure_.SetKeySource(this);
        ASSERT_TRUE(dialog_->Initialize());
        adapter_ = dialog_->ChosenAdapter();
        status_.texts.clear();
    }
    BssidRecord Find(const std::string& ssid) {
        for (const BssidRecord& record : networks_.Records()) {
            if (SsidText(*record) == ssid) return record;
        }
        return ADD_FAILURE() << "no network " << ssid, std::make_shared<CBssid>();
    }
    // Starts a join and runs the GUI thread's side until the worker ended.
    Result Join(const std::string& ssid, const CNetworkKey* profile = nullptr) {
        const Result started = procedure_.ConnectToBssid(Find(ssid), profile);
        loop_.RunUntil([this] { return !procedure_.IsRunning(); });
        return started;
    }
    Result GetKeyForNetwork(const BssidRecord&, CNetworkKey& out, bool& temporary) override {
        return out = promptKey_, temporary = true, promptAnswer_;
    }
    std::uint32_t AuthenticationMode() {
        return adapter_->QueryAuthenticationMode(), adapter_->AuthenticationMode();
    }
    // The program's own WPA bridge, fed by the chosen card's receive thread.
    void UseWpaBridge() {
        options_.EapolNegotiationTimeout = 20;
        procedure_.SetSupplicantBridge(&wpaBridge_);
        ASSERT_EQ(
            adapter_->StartReceive([this](CAdapter& card, std::span<const std::uint8_t> frame) {
                wpaBridge_.HandleEapol(card, frame);
            }),
            0);
    }

    CConnectionProcedure procedure_{options_};
    StatusTexts status_;
    Result promptAnswer_ = RES_KEY_CANCELLED;
    CNetworkKey promptKey_;
    TestBridge bridge_;
    CWpaBridge wpaBridge_;
    CAdapter* adapter_ = nullptr;
};

struct JoinRow {
    const char* name;
    bool staticAddress;
    const char* ssid;
    std::string key;  // empty: open
    int sharedMode;
    Result result;
    std::string lastText;
};

void PrintTo(const JoinRow& row, std::ostream* os) {
    *os << row.name;
}

class JoinTest : public ConnectionFixture, public ::testing::WithParamInterface<JoinRow> {};

TEST_P(JoinTest, SetsTheOidsInOrderAndEndsAsTheNetworkAllows) {
    const JoinRow& row = GetParam();
    Start(row.staticAddress ? "join_static.json" : "join.json");
    const bool wpa = std::string(row.ssid).starts_with("Wpa");
    if (wpa) UseWpaBridge();
    options_.UseSharedModeInsteadOfOpen = row.sharedMode;
    const CNetworkKey profile = Profile(row.key);
    EXPECT_EQ(Join(row.ssid, row.key.empty() ? nullptr : &profile), RES_SUCCESS);
    EXPECT_EQ(procedure_.LastResult(), row.result);
    Texts expected = kSetTexts;
    if (wpa) {
        expected.push_back("Perfoming WPA pairwise key exchange...");
    } else if (!row.staticAddress && row.lastText != kMediaDown) {
        expected.push_back(kWaitAddress);
    }
    expected.push_back(row.lastText);
    EXPECT_EQ(status_.texts, expected);
    // Shared-key authentication for open networks only.
    EXPECT_EQ(AuthenticationMode(), wpa ? 7u : row.key.empty() ? row.sharedMode : 0u);
    // A WEP join with a manual address marks its record itself.
    const bool manual = row.staticAddress && !row.key.empty() && !wpa;
    EXPECT_EQ(Find(row.ssid)->ConnectionStatus(),
              manual ? STATUS_CONNECTED_MANUAL : STATUS_CONNECTING);
    EXPECT_FALSE(dialog_->IsConnectionInProgress());
}

const JoinRow kJoinRows[] = {
    {"OpenDhcp", false, "OpenCafe", "", 0, RES_OPEN_CONNECTED, kDhcp},
    {"OpenStatic", true, "OpenCafe", "", 0, RES_OPEN_CONNECTED, kManual},
    {"OpenSharedMode", false, "OpenCafe", "", 1, RES_MEDIA_DISCONNECTED, kMediaDown},
    {"WepAscii5", false, "WepFive", "abcde", 0, RES_WEP_CONNECTED, kDhcp},
    {"WepHex10", false, "WepFive", "0x6162636465", 0, RES_WEP_CONNECTED, kDhcp},
    {"WepAscii13", false, "WepThirteen", "abcdefghijklm", 0, RES_WEP_CONNECTED, kDhcp},
    {"WepHex26", false, "WepThirteen", "0x6162636465666768696a6b6c6d", 0, RES_WEP_CONNECTED, kDhcp},
    {"WepSharedModeStaysOpen", false, "WepFive", "abcde", 1, RES_WEP_CONNECTED, kDhcp},
    {"WepWrongKey", false, "WepFive", "zzzzz", 0, RES_CONNECTED_NO_ADDRESS, kNoAddress},
    {"WepStatic", true, "WepFive", "abcde", 0, RES_WEP_CONNECTED, kManual},
    // Through the real handshake with the daemon's authenticator.
    {"Wpa2Dhcp", false, "WpaTwo", "correct horse", 0, RES_ADDRESS_OBTAINED,
     "Network configuration applied, keys exchanged, IP address received, connected to the "
     "network."},
    {"Wpa2Static", true, "WpaTwo", "correct horse", 0, RES_SUCCESS,
     "Key negotiations completed, connected with a manual IP to the network."},
};
INSTANTIATE_TEST_SUITE_P(Connection, JoinTest, ::testing::ValuesIn(kJoinRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Attempts refused before anything is set, or ended early by the card or by
// the daemon stopping while the worker waits for the GUI to show a text.
struct AttemptRow {
    const char* name;
    const char* ssid;
    std::string key;  // empty: no profile
    std::function<void(ConnectionFixture&)> prepare;
    Result returned;
    Result ended;  // RES_FAILURE: no attempt ended
    std::string lastText;
};

void PrintTo(const AttemptRow& row, std::ostream* os) {
    *os << row.name;
}

class AttemptTest : public ConnectionFixture, public ::testing::WithParamInterface<AttemptRow> {};

TEST_P(AttemptTest, EndsWithItsResultAndText) {
    const AttemptRow& row = GetParam();
    Start();
    if (row.prepare) row.prepare(*this);
    status_.texts.clear();
    const CNetworkKey profile = Profile(row.key);
    EXPECT_EQ(Join(row.ssid, row.key.empty() ? nullptr : &profile), row.returned);
    EXPECT_EQ(procedure_.LastResult(), row.ended);
    EXPECT_EQ(status_.texts.empty() ? "" : status_.texts.back(), row.lastText);
    if (bridge_.calls.empty()) return;  // WPA rows: WPA2 with CCMP, WPA with TKIP
    const bool wpa2 = row.ssid == std::string("WpaTwo");
    EXPECT_EQ(bridge_.calls,
              (Texts{row.ssid + std::string("13"), "State 4", "Wait 1000", "Disarm"}));
    EXPECT_EQ(AuthenticationMode(), wpa2 ? 7u : 4u);
    EXPECT_EQ(CountOf(log_.Messages(), "App: Info: Determined best encryption level: " +
                                           std::to_string(wpa2 ? 6 : 4)),
              1u);
}

// Stops (or freezes) the daemon when `text` is shown; a frozen daemon's
// requests give up after the worker's bound.
std::function<void(ConnectionFixture&)> DaemonGoesAt(std::string text, bool freeze = false) {
    return [text, freeze](ConnectionFixture& test) {
        test.procedure_.SetDriverWaitBound(std::chrono::milliseconds(200));
        test.status_.onText = [&test, text, freeze](const std::string& shown) {
            if (shown == text) freeze ? test.daemon_->Freeze() : void(test.daemon_->Stop());
        };
    };
}

// Plugs the test bridge in; its wait ends as `wait` says.
std::function<void(ConnectionFixture&)> Bridge(BridgeWaitResult wait) {
    return [wait](ConnectionFixture& test) {
        test.bridge_.answer = wait;
        test.procedure_.SetSupplicantBridge(&test.bridge_);
    };
}

// The first attempt waits for its start message, which nobody runs; ending
// the attempts releases it and skips its steps.
void SecondWhileOneRuns(ConnectionFixture& test) {
    test.procedure_.ConnectToBssid(test.Find("OpenCafe"));
    test.now_ += 10;  // nor may a device change take its adapter away
    test.dialog_->OnDeviceChange(kDbtDevNodesChanged);
    ASSERT_EQ(test.dialog_->ChosenAdapter(), test.adapter_);
    ASSERT_EQ(test.procedure_.ConnectToBssid(test.Find("OpenCafe")), -2);
    test.procedure_.EndAttempts();
}

const AttemptRow kAttemptRows[] = {
    {"WpaWithoutBridge", "WpaTwo", "correct horse", nullptr, -1, RES_FAILURE, kNoWpaBridgeText},
    {"WepKeyAbove136Bytes", "WepFive", std::string(137, 'k'), nullptr, -1, RES_FAILURE,
     "The key for WepFive has 137 bytes; a WEP key has at most 136. Nothing was changed."},
    {"KeyPromptCancelled", "WepFive", "", nullptr, -1, RES_FAILURE, ""},
    {"KeyFromThePrompt", "WepFive", "",
     [](auto& t) { t.promptAnswer_ = RES_KEY_OBTAINED, t.promptKey_ = Profile("abcde"); },
     RES_KEY_OBTAINED, RES_WEP_CONNECTED, kDhcp},
    {"NoKeySource", "WepFive", "", [](auto& t) { t.procedure_.SetKeySource(nullptr); }, -1,
     RES_FAILURE,
     "No key is known for WepFive and this build cannot ask for one; nothing was changed."},
    {"AlreadyConnected", "OpenCafe", "",
     [](auto& t) { t.Join("OpenCafe"), t.dialog_->OnTimer(TIMER_CONNECTION_STATUS); }, -1,
     RES_OPEN_CONNECTED, "Already connected to: OpenCafe"},
    {"SecondWhileOneRuns", "OpenCafe", "", SecondWhileOneRuns, -2, RES_SET_INFRASTRUCTURE_FAILED,
     ""},
    {"SevenByteWepKey", "WepFive", "abcdefg", nullptr, 0, RES_ADD_KEY_FAILED,
     "Could not add the WEP key on the selected adapter."},
    {"DaemonFrozenBeforeAuthentication", "OpenCafe", "", DaemonGoesAt(kSetTexts[0], true), 0,
     RES_SET_AUTHENTICATION_FAILED, "Could not set authentication OID on the selected adapter."},
    {"DaemonGoneBeforeAuthentication", "OpenCafe", "", DaemonGoesAt(kSetTexts[0]), 0,
     RES_SET_AUTHENTICATION_FAILED, "Could not set authentication OID on the selected adapter."},
    // The simulated port stays closed without the real handshake: no address.
    {"Wpa2HandshakeDone", "WpaTwo", "correct horse", Bridge({BridgeWaitKind::Event}), 0,
     RES_ADDRESS_WAIT_TIMEOUT, "Keys exchanged, but timed out waiting or an IP address."},
    {"WpaHandshakeTimeout", "WpaOne", "correct horse", Bridge({BridgeWaitKind::Timeout}), 0,
     RES_KEY_EXCHANGE_TIMEOUT, "Key exchange timed out, unable to connect."},
    {"Wpa2WaitFailed", "WpaTwo", "correct horse", Bridge({BridgeWaitKind::Failed, 6}), 0,
     RES_KEY_EXCHANGE_FAILED, "Error occured while performing EAPOL negotiation, connect aborted."},
    // The bridge's own reason replaces the general text.
    {"Wpa2KeyRefused", "WpaTwo", "correct horse",
     Bridge({BridgeWaitKind::Failed, 87, RES_KEY_EXCHANGE_FAILED, "No usable key."}), 0,
     RES_KEY_EXCHANGE_FAILED, "No usable key."},
    {"Wpa2WaitAlerted", "WpaTwo", "correct horse", Bridge({BridgeWaitKind::Other, 0, 192}), 0, 192,
     "The key exchange was interrupted, unable to connect."},
    {"DaemonGoneBeforeTheAddress", "OpenCafe", "", DaemonGoesAt(kWaitAddress), 0,
     RES_CONNECTED_NO_ADDRESS,
     "Connected to the server, but address changes could not be watched; no IP address was "
     "received."},
};
INSTANTIATE_TEST_SUITE_P(Connection, AttemptTest, ::testing::ValuesIn(kAttemptRows),
                         [](const auto& info) { return std::string(info.param.name); });

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

TEST_F(ConnectionFixture, WithoutAChosenAdapterNothingStarts) {
    Create();
    procedure_.Attach(dialog_.get(), &loop_);
    EXPECT_EQ(procedure_.ConnectToBssid(std::make_shared<CBssid>()), -1);
    EXPECT_TRUE(InOrder(log_.Messages(),
                        {"App: Error: ConnectToBssid called with chosen adapter being NULL"}));
}

TEST(WepKeyBlock, IsSentAsLengthBytesAndRefusesKeysAbove136Bytes) {
    const auto block = BuildWepKeyBlock(std::vector<std::uint8_t>(13, 0x5a));
    ASSERT_TRUE(block);
    EXPECT_EQ(ndis::LoadLe32(block->data()), 45u);
    EXPECT_EQ(ndis::LoadLe32(block->data() + 4), 0x80000000u);
    EXPECT_EQ(ndis::LoadLe32(block->data() + 8), 13u);
    EXPECT_EQ(std::count(block->begin() + 12, block->begin() + 18, 0xff), 6);
    EXPECT_EQ(std::count(block->begin() + 32, block->end(), 0x5a), 13);
    EXPECT_FALSE(BuildWepKeyBlock(std::vector<std::uint8_t>(137)));
}

}  // namespace
}  // namespace tarvik::testing
