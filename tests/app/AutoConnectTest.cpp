// Network Hopping and the Connection Manager: their choices over a fake
// seam, how the main window steps them, and both walking a short street
// against tarvik-driverd with the real connection procedure.
#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/ConnectionManager.h"
#include "app/ConnectionProcedure.h"
#include "app/NetworkHopping.h"
#include "networks/NetworkColumns.h"
#include "profiles/ProfileList.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik::testing {
namespace {

constexpr Result kStillRunning = -100;  // an attempt that does not end during the row
const std::string kHere = "Here, 00:18:39:00:00:01";

// A profile of an open network unless `securityClass` says otherwise; key "abcde".
std::unique_ptr<CNetworkKey> Profile(const std::string& ssid, std::int32_t priority,
                                     std::uint32_t autoConnect = 1,
                                     std::int32_t securityClass = 1) {
    auto profile = std::make_unique<CNetworkKey>();
    profile->ssidLength = static_cast<std::uint32_t>(ssid.size());
    std::copy(ssid.begin(), ssid.end(), profile->ssid.begin());
    profile->priority = static_cast<std::uint32_t>(priority);
    profile->autoConnect = autoConnect;
    profile->securityClass = securityClass;
    profile->SetKeyFromText("abcde", KEY_TYPE_ASCII);
    return profile;
}

// kind: 'o' open, 'a' ad hoc (half the score), 'w' WEP, 'p' WPA2.
struct Net {
    const char* ssid;
    int rssi = -50;
    char kind = 'o';
    std::uint32_t status = STATUS_NOT_CONNECTED;
};
using Prof = std::tuple<const char*, std::int32_t, std::uint32_t>;  // SSID, priority, automatic

class FakeSeam : public IAutoConnectSeam {
  public:
    std::vector<BssidRecord> records;
    std::vector<std::unique_ptr<CNetworkKey>> profiles;
    Result attemptResult = RES_OPEN_CONNECTED;
    bool running = false;
    Result lastResult = RES_FAILURE;
    BssidRecord lastTarget;
    bool addressValid = true;
    std::string lastText;
    std::string connects;  // "SSID#last MAC byte" per attempt, comma-separated

    const std::vector<BssidRecord>& Records() const override { return records; }
    std::uint32_t ScanCounter() const override { return 1; }
    bool IsConnectionInProgress() const override { return running; }
    Result LastResult() const override { return lastResult; }
    BssidRecord LastTarget() const override { return lastTarget; }
    Result ConnectToBssid(const BssidRecord& record, const CNetworkKey*) override {
        connects += (connects.empty() ? "" : ",") + SsidText(*record) + "#" +
                    std::to_string(record->Entry()->GetMacAddress()[5]);
        lastTarget = record;
        running = attemptResult == kStillRunning;
        if (!running) lastResult = attemptResult;
        return RES_SUCCESS;
    }
    bool IsAddressValid() override { return addressValid; }
    std::string CurrentSsidText() override { return "Here"; }
    std::string CurrentBssidText() override { return "00:18:39:00:00:01"; }
    void ShowStatus(const std::string& text) override { lastText = text; }
    std::vector<const CNetworkKey*> Profiles() const override {
        std::vector<const CNetworkKey*> list;
        for (const auto& profile : profiles) list.push_back(profile.get());
        return list;
    }

    void Add(const Net& net) {
        auto fields = testing_support::Fields(static_cast<std::uint8_t>(records.size() + 1),
                                              net.rssi, net.kind == 'w' || net.kind == 'p');
        fields.SetSsid(net.ssid);
        if (net.kind == 'a') fields.infrastructureMode = ndis::Ndis802_11IBSS;
        if (net.kind == 'p')
            fields = testing_support::WithElements(fields, {testing_support::kRsnPskCcmp});
        records.push_back(std::make_shared<CBssid>(testing_support::Entry(fields), 1));
        records.back()->SetConnectionStatus(net.status);
    }
};

struct ModeRow {
    const char* name;
    bool manager;
    std::vector<Net> nets;
    std::vector<Prof> profiles;
    Result attemptResult;
    bool addressValid;
    int ticks;
    std::string connects;
    std::string lastText;
    int state;
};

void PrintTo(const ModeRow& row, std::ostream* os) {
    *os << row.name;
}

class ModeChoice : public ::testing::TestWithParam<ModeRow> {};

TEST_P(ModeChoice, ConnectsWaitsOrReports) {
    const ModeRow& row = GetParam();
    FakeSeam seam;
    for (const Net& net : row.nets) seam.Add(net);
    for (const auto& [ssid, priority, automatic] : row.profiles)
        seam.profiles.push_back(Profile(ssid, priority, automatic));
    seam.attemptResult = row.attemptResult;
    seam.addressValid = row.addressValid;
    CNetworkHopping hopping(seam);
    CConnectionManager manager(seam);
    for (int i = 0; i < row.ticks; ++i) row.manager ? manager.Tick() : hopping.Tick();
    EXPECT_EQ(seam.connects, row.connects);
    EXPECT_EQ(seam.lastText, row.lastText);
    EXPECT_EQ(row.manager ? manager.State() : hopping.State(), row.state);
}

const std::string kHopTo = "Network Hopping: Connecting to network: ";
const std::string kCmTo = "Connection Manager: Connecting to network: ";
const Result kOk = RES_OPEN_CONNECTED;

// clang-format off
const ModeRow kModeRows[] = {
    // Hopping: an ad hoc network at -48 dBm scores 40, the others 74.
    {"HopFirstOfEqualBest", false, {{"Adhoc", -48, 'a'}, {"B", -60}, {"C", -60}}, {}, kOk, true, 1,
     "B#2", kHopTo + "B", HOP_WAIT_CONNECT},
    {"HopNothingUsable", false, {{"Wep", -40, 'w'}, {"Wpa", -40, 'p'}}, {}, kOk, true, 1, "",
     "Network Hopping: No usable networks found!", HOP_DETERMINE_CARD_STATE},
    {"HopExcludesFailed", false, {{"B", -50}, {"C", -70}}, {}, RES_MEDIA_DISCONNECTED, true, 3,
     "B#1,C#2", kHopTo + "C", HOP_WAIT_CONNECT},
    {"HopWaitsForAttempt", false, {{"B"}}, {}, kStillRunning, true, 3, "B#1", kHopTo + "B",
     HOP_WAIT_CONNECT},
    {"HopWaitsOnConnecting", false, {{"B", -50, 'o', STATUS_CONNECTING}}, {}, kOk, true, 2, "",
     kHopTo + "B", HOP_WAIT_CONNECT},
    {"HopStaysConnected", false, {{"B", -70, 'o', STATUS_CONNECTED}, {"C", -40}}, {}, kOk, true, 3,
     "", "Network Hopping: Connected to network: " + kHere, HOP_DETERMINE_BEST},
    {"HopExcludesNoAddress", false, {{"B", -40, 'o', STATUS_CONNECTED_INVALID_IP}, {"C", -70}}, {},
     kOk, false, 1, "C#2", kHopTo + "C", HOP_WAIT_CONNECT},
    // Connection Manager.
    {"CmSmallerPriority", true, {{"A"}, {"B", -80}}, {{"A", 5, 1}, {"B", 2, 1}}, kOk, true, 1,
     "B#2", "", CM_WAIT_CONNECT},
    {"CmEarlierProfileOnTie", true, {{"B"}, {"A"}}, {{"A", 2, 1}, {"B", 2, 1}}, kOk, true, 1,
     "A#2", "", CM_WAIT_CONNECT},
    {"CmSignedPriority", true, {{"A"}, {"B"}}, {{"A", 0, 1}, {"B", -1, 1}}, kOk, true, 1, "B#2",
     "", CM_WAIT_CONNECT},
    {"CmAutoConnectOff", true, {{"A"}}, {{"A", 1, 0}}, kOk, true, 2, "",
     "Connection Manager: No usable networks found!", CM_SEARCH},
    {"CmFirstMatchingRecord", true, {{"A", -80}, {"A", -40}}, {{"A", 1, 1}}, kOk, true, 1, "A#1",
     "", CM_WAIT_CONNECT},
    {"CmWaitsForAttempt", true, {{"A"}}, {{"A", 1, 1}}, kStillRunning, true, 3, "A#1", "",
     CM_WAIT_CONNECT},
    {"CmRetriesFailedPair", true, {{"A"}}, {{"A", 1, 1}}, RES_CONNECTED_NO_ADDRESS, true, 3,
     "A#1,A#1", "", CM_WAIT_CONNECT},
    {"CmJoinedThenSearches", true, {{"A"}}, {{"A", 1, 1}}, 1113, true, 3, "A#1",
     "Connection Manager: Connected to network: " + kHere, CM_SEARCH},
    {"CmWaitsOnConnecting", true, {{"A", -50, 'o', STATUS_CONNECTING}}, {{"A", 1, 1}}, kOk, true,
     1, "", kCmTo + "A", CM_WAIT_CONNECT},
    {"CmFindsConnection", true, {{"A", -50, 'o', STATUS_CONNECTED}}, {{"B", 1, 1}}, kOk, true, 2,
     "", "Connection Manager: Connected to network: " + kHere, CM_SEARCH},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(AutoConnect, ModeChoice, ::testing::ValuesIn(kModeRows),
                         [](const auto& info) { return std::string(info.param.name); });

class AutoConnectDialog : public MainDialogFixture {
  protected:
    void Start(const std::string& scenario) {
        autoProfiles_ = &profiles_;
        ASSERT_TRUE(profiles_.Add(Profile("StayingNet", 1)) &&
                    profiles_.Add(Profile("Work", 2, 1, 2)) && profiles_.Add(Profile("Home", 1)));
        StartDaemon(scenario);
        Create();
        ASSERT_TRUE(dialog_->Initialize());
    }
    CProfileList profiles_{options_.UserHive(), options_.ApplicationKey()};
};

// Each step is a timer, a menu command or the scanning button (0); then the
// count of attempts so far.
TEST_F(AutoConnectDialog, EachModeStepsOnlyOnItsTimerAndSwitchingKeepsTheStates) {
    Start(ScenarioPath("watch.json"));
    // clang-format off
    const std::pair<int, std::size_t> steps[] = {
        {TIMER_HOPPING, 0},  // scanning mode
        {ID_MODE_HOPPING, 0}, {TIMER_CONNECTION_MANAGER, 0}, {TIMER_HOPPING, 1},
        {ID_MODE_SCANNING, 1}, {TIMER_HOPPING, 1}, {ID_MODE_HOPPING, 1},
        {TIMER_HOPPING, 1},  // still waiting in state 3: the switch kept it
        {TIMER_HOPPING, 2}, {ID_MODE_CONNECTION_MANAGER, 2}, {TIMER_HOPPING, 2},
        {TIMER_CONNECTION_MANAGER, 3},  // StayingNet's profile
        {0, 3}, {TIMER_CONNECTION_MANAGER, 3}, {TIMER_CONNECTION_MANAGER, 3},  // scanning off
    };
    // clang-format on
    for (const auto& [step, connects] : steps) {
        SCOPED_TRACE(step);
        if (step == 0) dialog_->OnScanningButton();
        step < 100 ? dialog_->OnTimer(step) : dialog_->ExecuteCommand(step);
        EXPECT_EQ(connection_.calls.size(), connects);
    }
}

// The street: Alpha (open, strongest) and Work (WEP) leave after six seconds.
class StreetWalk : public AutoConnectDialog, public ::testing::WithParamInterface<int> {};

TEST_P(StreetWalk, JoinsTheNetworksInTurn) {
    const bool hopping = GetParam() == ID_MODE_HOPPING;
    CConnectionProcedure procedure(options_);
    connectionUnderTest_ = &procedure;
    Start(TARVIK_SOURCE_DIR "/tests/app/scenarios/street.json");
    procedure.Attach(dialog_.get(), &loop_);
    options_.MediaStatusNotificationTimeout = 1;
    options_.DhcpAddressAquisitionTimeout = 2;
    dialog_->ExecuteCommand(GetParam());
    std::vector<std::string> joined;
    // Bounded so that a machine that never moves on fails instead of hanging.
    for (int round = 0; round < 3000 && joined.size() < 2; ++round) {
        for (int id : {TIMER_HARD_REFRESH, TIMER_CONNECTION_STATUS,
                       hopping ? TIMER_HOPPING : TIMER_CONNECTION_MANAGER})
            dialog_->OnTimer(id);
        loop_.RunQueued();
        for (const BssidRecord& record : networks_.Records()) {
            const std::string ssid = SsidText(*record);
            if (record->IsConnected() && (joined.empty() || joined.back() != ssid))
                joined.push_back(ssid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    procedure.EndAttempts();
    EXPECT_EQ(joined,
              (std::vector<std::string>{hopping ? "Alpha" : "Work", hopping ? "Beta" : "Home"}));
}

INSTANTIATE_TEST_SUITE_P(AutoConnect, StreetWalk,
                         ::testing::Values(ID_MODE_HOPPING, ID_MODE_CONNECTION_MANAGER),
                         [](const auto& info) {
                             return info.param == ID_MODE_HOPPING ? "Hopping" : "Manager";
                         });

}  // namespace
}  // namespace tarvik::testing
