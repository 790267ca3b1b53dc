// The WPA bridge: joins through tarvik-driverd whose access points run the
// authenticator, the card's receive thread feeding the handshake; keys that
// cannot give a PMK; and the security elements it hands the supplicant.
#include <gtest/gtest.h>

#include "../adapter/AdapterTestSupport.h"
#include "../adapter/DaemonProcess.h"
#include "adapter/Adapter.h"
#include "connect/AssociationElements.h"
#include "connect/SupplicantState.h"
#include "connect/WpaBridge.h"
#include "networks/NetworkList.h"
#include "profiles/NetworkKey.h"

namespace tarvik::testing {
namespace {

// The AES card and the TKIP-only card of receive.json.
const std::string kCards[] = {"\\DEVICE\\{AD000061-0000-4000-8000-000000000061}",
                              "\\DEVICE\\{AD000062-0000-4000-8000-000000000062}"};
const char* const kHexPsk = "8e1f0a4bd1a3e5b2c4d6f8091a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d";
const char* const kGroupText = "Perfoming WPA group key exchange...";

struct JoinRow {
    const char* name;
    int card;  // of kCards
    const char* ssid;
    std::uint8_t bssid;  // the last byte of 00:18:39:61:00:xx
    std::uint32_t authentication;
    std::uint32_t encryption;
    const char* key;
    BridgeWaitKind expected;
    bool groupText = false;  // the join shows the group key exchange
    bool rekeys = false;     // the network hands out new group keys while joined
};

const JoinRow kJoins[] = {
    {"Wpa2Ccmp", 0, "RxWpa2", 3, 7, 6, "correct horse", BridgeWaitKind::Event},
    {"WpaTkip", 0, "RxWpa", 4, 4, 4, "battery staple", BridgeWaitKind::Event, true},
    {"WrongPassphrase", 0, "RxWpa2", 3, 7, 6, "wrong horse", BridgeWaitKind::Timeout},
    {"KeyTooShort", 0, "RxWpa2", 3, 7, 6, "short", BridgeWaitKind::Failed},
    {"HexPsk", 0, "RxHex", 6, 7, 6, kHexPsk, BridgeWaitKind::Event},
    {"Wpa2DhcpAtOnce", 0, "RxNow", 7, 7, 6, "correct horse", BridgeWaitKind::Event},
    {"MixedWpaWpa2", 0, "RxMixed", 8, 7, 6, "correct horse", BridgeWaitKind::Event},
    {"Wpa2OnTkipCard", 1, "RxRsnTkip", 9, 7, 4, "correct horse", BridgeWaitKind::Event},
    {"Wpa2GroupRekey", 0, "RxRekey", 10, 7, 6, "correct horse", BridgeWaitKind::Event, false, true},
};

void PrintTo(const JoinRow& row, std::ostream* out) {
    *out << row.name;
}

class WpaJoin : public ::testing::TestWithParam<JoinRow> {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()); }

    std::size_t Logged(const std::string& prefix) const {
        return CountStarting(log_.Messages(), "App: " + prefix);
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{ScenarioPath("receive.json")};
    CNetworkList networks_;
    std::mutex progressMutex_;
    std::vector<std::string> progress_;
    // No look-up: the card joins the prepared network.
    CWpaBridge bridge_{nullptr, [this](const std::string& text) {
                           std::lock_guard lock(progressMutex_);
                           progress_.push_back(text);
                       }};
    CAdapter adapter_{kCards[GetParam().card], log_.Settings()};
};

CNetworkKey ProfileWithKey(const std::string& text) {
    CNetworkKey profile;
    std::copy(text.begin(), text.end(), profile.key.begin());
    profile.keyLength = static_cast<std::uint32_t>(text.size());
    return profile;
}

TEST_P(WpaJoin, RunsTheHandshakeOnTheReceiveThread) {
    const JoinRow& row = GetParam();
    ASSERT_EQ(adapter_.OpenChannel(), 0);
    adapter_.ProbeSecurityCapabilities();
    ASSERT_EQ(
        adapter_.ScanAndFetchBssidList(
            false, [&](std::span<const std::uint8_t> bytes) { networks_.MergeBssidList(bytes); }),
        RES_BSSID_LIST_OBTAINED);
    const auto network = networks_.LookUpByMac({0x00, 0x18, 0x39, 0x61, 0x00, row.bssid});
    ASSERT_TRUE(network);
    const NetworkSecurity security = network->record->SecuritySummary();

    ASSERT_EQ(adapter_.SetInfrastructureMode(1), 0);
    ASSERT_EQ(adapter_.SetAuthenticationMode(row.authentication), 0);
    ASSERT_EQ(adapter_.SetEncryptionStatus(row.encryption), 0);
    ASSERT_EQ(adapter_.SetSsid(row.ssid), 0);
    ASSERT_TRUE(Eventually([&] {
        adapter_.QueryMediaStatus();
        return adapter_.MediaStatus() == kMediaConnected;
    }));
    ASSERT_EQ(adapter_.StartReceive([this](CAdapter& card, std::span<const std::uint8_t> frame) {
        bridge_.HandleEapol(card, frame);
    }),
              0);

    bridge_.Prepare(adapter_, network->entry, security, ProfileWithKey(row.key));
    bridge_.SetState(SUPP_STATE_CONNECTING);
    const auto bound =
        row.expected == BridgeWaitKind::Event ? std::chrono::seconds(20) : std::chrono::seconds(3);
    const BridgeWaitResult wait = bridge_.Wait(bound);
    bridge_.Disarm();
    EXPECT_EQ(wait.kind, row.expected);
    if (row.expected == BridgeWaitKind::Event) {
        EXPECT_EQ(GetSupplicantState(), SUPP_STATE_COMPLETE);
        EXPECT_TRUE(Eventually([&] {
            adapter_.ReadIpHelperData();
            return adapter_.HasAddress();
        }));
        std::lock_guard lock(progressMutex_);
        EXPECT_TRUE(Contains(progress_, "Perfoming WPA pairwise key exchange..."));
        EXPECT_EQ(Contains(progress_, kGroupText), row.groupText);
    } else if (row.expected == BridgeWaitKind::Failed) {
        EXPECT_EQ(wait.text, kUnusableWpaKeyText);
        EXPECT_EQ(Logged("Info: Receive Thread: Received Eapol"), 0u);
    } else {
        EXPECT_GT(Logged("Info: Receive Thread: Received Eapol"), 0u);
        EXPECT_NE(GetSupplicantState(), SUPP_STATE_COMPLETE);
    }
    if (row.rekeys) {
        // Key 1 came with the 4-way handshake; a rekey hands out key 2, the
        // next one key 1 again, which the access point sends only once the
        // station has answered the first.
        const std::string gtk = "Info: WPA: Installing GTK to the driver (keyidx=";
        EXPECT_TRUE(Eventually([&] { return Logged(gtk + "1") >= 2 && Logged(gtk + "2") >= 1; }));
        adapter_.QueryMediaStatus();
        EXPECT_EQ(adapter_.MediaStatus(), kMediaConnected);
        EXPECT_EQ(GetSupplicantState(), SUPP_STATE_COMPLETE);
        std::lock_guard lock(progressMutex_);
        // The connection attempt is over: the status line is left alone.
        EXPECT_FALSE(Contains(progress_, kGroupText));
    }
    EXPECT_EQ(Logged("Error: Unable to add encryption key"), 0u);
    // The passphrase is never written to the log.
    EXPECT_EQ(Logged("Info: Generating PMK for ssid " + std::string(row.ssid)), 1u);
    for (const std::string& line : log_.Messages()) {
        EXPECT_EQ(line.find(row.key), std::string::npos) << line;
    }
    adapter_.Close();
}

INSTANTIATE_TEST_SUITE_P(Bridge, WpaJoin, ::testing::ValuesIn(kJoins),
                         [](const auto& info) { return std::string(info.param.name); });

struct ElementRow {
    const char* name;
    std::vector<std::uint8_t> elements;
    std::vector<std::uint8_t> own;  // expected
    std::vector<std::uint8_t> apWpa;
    std::vector<std::uint8_t> apRsn;
};

const std::vector<std::uint8_t> kWpa = {0xDD, 0x06, 0x00, 0x50, 0xF2, 0x01, 0x01, 0x00};
const std::vector<std::uint8_t> kRsn = {0x30, 0x02, 0x01, 0x00};
const std::vector<std::uint8_t> kSsid = {0x00, 0x02, 'a', 'b'};

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> joined;
    for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

const ElementRow kElements[] = {
    {"RsnAfterWpa", Join({kSsid, kWpa, kRsn}), kWpa, kWpa, kRsn},
    {"RsnOnly", Join({kSsid, kRsn, kRsn}), kRsn, {}, kRsn},
    {"OtherVendorAndShortRsn",
     Join({{0xDD, 0x06, 0x00, 0x50, 0xF2, 0x02, 0x01, 0x00}, {0x30, 0x01, 0x01}}),
     {},
     {},
     {}},
    {"TruncatedBeforeAny", Join({kSsid, {0x30, 0x0F, 0x01, 0x00}, kWpa}), {}, {}, {}},
    {"TruncatedAfterWpa", Join({kWpa, {0x30, 0x09, 0x01}}), kWpa, kWpa, {}},
};

void PrintTo(const ElementRow& row, std::ostream* out) {
    *out << row.name;
}

class SecurityElements : public ::testing::TestWithParam<ElementRow> {};

TEST_P(SecurityElements, FirstOfEachKindUpToTheFirstCutElement) {
    const ElementRow& row = GetParam();
    EXPECT_EQ(FirstOwnSecurityElement(row.elements, "cut"), row.own);
    const ApSecurityElements ap = FindApSecurityElements(row.elements, "cut");
    EXPECT_EQ(ap.wpa, row.apWpa);
    EXPECT_EQ(ap.rsn, row.apRsn);
}

INSTANTIATE_TEST_SUITE_P(Bridge, SecurityElements, ::testing::ValuesIn(kElements),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::testing
