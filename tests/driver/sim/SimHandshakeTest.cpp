// The access point's key handshakes, answered by the station's own
// supplicant: the card's received EAPOL frames go to it, its answers go back
// through WriteFrame and its keys through OID_802_11_ADD_KEY.
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "SimTestWorld.h"
#include "connect/KeyInstaller.h"
#include "connect/PmkDerivation.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "driver/AirCapture.h"
#include "driver/sim/SimFrames.h"
#include "driver/sim/SimSecurity.h"
#include "tests/support/HexBytes.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;
using testing_support::Bytes;
using testing_support::Hex;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

constexpr MacAddress kStation{0x00, 0x11, 0x22, 0, 0, 1}, kRecordedAp{0x00, 0x11, 0x22, 0, 0, 0};

// Of handshake.json; RSN networks are CCMP, WPA ones TKIP.
struct Network {
    const char* ssid;
    MacAddress bssid;
    bool rsn;
    const char* passphrase;
    std::uint32_t gateway;
    const char* address;
};
constexpr const char* kHexKey = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const Network kWpa2Home{
    "Wpa2-Home", {0, 0x1e, 0x2a, 0x30, 0, 2}, true, "correct horse", 0xC0A80701, "192.168.7.7"};

class SimHandshake : public SimWorldTest, public IAddKeyTarget {
  protected:
    void SetUp() override {
        LoadWorld("handshake.json");
        device_ = Device(0);
    }

    // A supplicant keyed with `passphrase`, and the card joining `network`.
    void Connect(const Network& network, const std::string& passphrase) {
        bssid_ = network.bssid;
        installer_ = std::make_unique<CKeyInstaller>(*this, network.bssid);
        SupplicantCallbacks callbacks;
        callbacks.setKey = [this](int algorithm, const MacAddress& address, int index,
                                  bool transmit, auto sequence, auto key) {
            return installer_->SetKey(algorithm, address, index, transmit, sequence, key);
        };
        callbacks.sendFrame = [this](const MacAddress&, std::uint16_t, auto frame) {
            return SendEapol(frame) == 0 ? 0 : -1;
        };
        supplicant_ = std::make_unique<CSupplicant>(callbacks);
        std::array<std::uint8_t, kPmkLength> pmk{};
        const std::string ssid = network.ssid;
        ASSERT_EQ(DerivePmk(passphrase, Bytes(ssid.begin(), ssid.end()), pmk), 0);
        supplicant_->SetPmk(pmk);
        supplicant_->SetOwnAddress(kStation);
        supplicant_->SetProtocol(network.rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA);
        const std::uint32_t cipher = network.rsn ? CIPHER_CCMP : CIPHER_TKIP;  // same flags
        supplicant_->SetCiphers(cipher, cipher);
        supplicant_->SetKeyManagement(KEY_MGMT_PSK);
        // One cipher each way: the beacon's element is the one the station sends.
        const Bytes element = StationSecurityElement(network.rsn, cipher, cipher, kAkmPsk);
        ASSERT_EQ(supplicant_->SetOwnElement(element), 0);
        ASSERT_EQ(supplicant_->SetApRsnElement(network.rsn ? element : Bytes()), 0);
        ASSERT_EQ(supplicant_->SetApWpaElement(network.rsn ? Bytes() : element), 0);
        Join(device_, network.ssid,
             network.rsn ? Ndis802_11AuthModeWPA2PSK : Ndis802_11AuthModeWPAPSK,
             network.rsn ? Ndis802_11Encryption3Enabled : Ndis802_11Encryption2Enabled);
    }

    // Hands the EAPOL frames the card received since the last call to the
    // supplicant (its answers may bring more).
    void Pump() {
        while (seen_ < sink_.events.size()) {
            const SinkEvent event = sink_.events[seen_++];
            if (EtherTypeOf(event.frame) != kEtherTypeEapol) continue;  // not a frame, or not EAPOL
            eapol_.push_back(event.frame);
            if (supplicant_) supplicant_->ReceiveEapol(bssid_, std::span(event.frame).subspan(14));
        }
    }

    std::uint32_t SendEapol(std::span<const std::uint8_t> eapol) {
        return backend_->WriteFrame(device_, Bytes(bssid_.begin(), bssid_.end()) +
                                                 Hex("001122000001 888e") +
                                                 Bytes(eapol.begin(), eapol.end()));
    }

    // Asks the gateway for its address; true when the answer arrives readable.
    bool GatewayAnswers(std::uint32_t gateway) {
        const std::size_t before = sink_.Count(SinkEvent::Kind::Frame);
        EXPECT_EQ(backend_->WriteFrame(device_, BuildArpRequest(kStation, 0, gateway)), 0u);
        return sink_.Count(SinkEvent::Kind::Frame) > before;
    }

    Result AddKey(std::span<const std::uint8_t> descriptor) override {
        const auto key = ParseKey(descriptor);
        keys_.push_back(key.value());
        if (dropPairwiseKey_ && (key->keyIndex & kKeyIndexPairwise)) return 0;
        return backend_->SetOid(device_, OID_802_11_ADD_KEY, descriptor);
    }

    const CApAuthenticator* Authenticator() {
        return backend_->FindAdapter(device_)->Authenticator();
    }

    std::string device_;
    MacAddress bssid_{};
    std::unique_ptr<CKeyInstaller> installer_;
    std::unique_ptr<CSupplicant> supplicant_;
    std::vector<Key80211> keys_;
    std::vector<Bytes> eapol_;
    std::size_t seen_ = 0;
    bool dropPairwiseKey_ = false;
};

struct HandshakeRow {
    const char* name;
    Network network;
    bool installPairwiseKey;
};

// CTest and failure messages name a row, not its bytes.
void PrintTo(const HandshakeRow& row, std::ostream* out) {
    *out << row.name;
}

class SimHandshakeRun : public SimHandshake, public testing::WithParamInterface<HandshakeRow> {};

TEST_P(SimHandshakeRun, OpensThePortWithTheKeysTheStationInstalled) {
    const Network& network = GetParam().network;
    dropPairwiseKey_ = !GetParam().installPairwiseKey;
    Connect(network, network.passphrase);
    RunTo(0.1);
    ASSERT_TRUE(Connected(device_));
    // The port is closed until the handshakes are done.
    EXPECT_FALSE(GatewayAnswers(network.gateway));
    Pump();
    ASSERT_TRUE(Authenticator() && Authenticator()->IsAuthorized());
    // Pairwise, then group key 1: what the authenticator holds.
    ASSERT_EQ(keys_.size(), 2u);
    const auto tk = Authenticator()->TemporalKey();
    EXPECT_EQ(keys_[0].keyMaterial, Bytes(tk.begin(), tk.end()));
    EXPECT_EQ(keys_[1].keyMaterial, Authenticator()->GroupKey());
    EXPECT_EQ(keys_[0].keyIndex & kKeyIndexPairwise, kKeyIndexPairwise);
    EXPECT_EQ(keys_[1].keyIndex & (kKeyIndexPairwise | kKeyIndexMask), 1u);
    // Message 1, 3 and for WPA the group message 1, each once.
    EXPECT_EQ(eapol_.size(), network.rsn ? 2u : 3u);

    const bool reachable = GetParam().installPairwiseKey;
    EXPECT_EQ(GatewayAnswers(network.gateway), reachable);
    RunTo(0.6);
    EXPECT_EQ(Address(device_), reachable ? network.address : "169.254.1.1");

    // Wpa2-Home hands out a new group key, as key 2, every 30 s.
    RunTo(30.1);
    Pump();
    ASSERT_EQ(keys_.size(), network.rsn ? 3u : 2u);
    EXPECT_EQ(keys_.back().keyMaterial, Authenticator()->GroupKey());
    EXPECT_EQ(keys_.back().keyIndex & kKeyIndexMask, network.rsn ? 2u : 1u);
}

const HandshakeRow kHandshakeRows[] = {
    {"Wpa2Ccmp", kWpa2Home, true},
    {"WpaTkipWithHexKey",
     {"Wpa-Office", {0, 0x1b, 0x2f, 0x30, 0, 3}, false, kHexKey, 0x0A000001, "10.0.0.9"},
     true},
    {"Wpa2WithoutThePairwiseKey", kWpa2Home, false},
};

INSTANTIATE_TEST_SUITE_P(Authenticator, SimHandshakeRun, testing::ValuesIn(kHandshakeRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimHandshake, WrongPassphraseRetriesMessage1ThenDeauthenticates) {
    Connect(kWpa2Home, "wrong horse");
    for (int attempt = 0; attempt < CApAuthenticator::kAttempts; ++attempt) {
        RunTo(0.1 + attempt);
        Pump();
        ASSERT_EQ(eapol_.size(), attempt + 1u);
        // Message 1 again (no MIC bit), each counting up from the scenario's counter.
        EXPECT_EQ(eapol_.back()[14 + eapol_layout::kKeyInformation] & 0x01, 0);
        EXPECT_EQ(eapol_.back()[14 + eapol_layout::kKeyNonce - 1], 40 + attempt);
    }
    EXPECT_EQ(MediaEvents(false), 0u);
    RunTo(0.1 + CApAuthenticator::kAttempts);
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_EQ(Address(device_), "0.0.0.0");
    EXPECT_TRUE(keys_.empty());
}

// A captured WPA2 handshake whose access point had the scenario's addresses,
// passphrase, ANonce and GTK: the frames sent are the captured ones.
TEST_F(SimHandshake, FramesMatchACapturedAccessPoint) {
    const auto vectors =
        nlohmann::json::parse(std::ifstream(TARVIK_TESTDATA_DIR "/wpa/vectors.json"));
    nlohmann::json frames;
    for (const auto& entry : vectors.at("handshakes")) {
        if (entry.at("name") == "aircrack-capture-wds-test1") frames = entry.at("frames");
    }
    auto frame = [&](const char* name) { return Hex(frames.at(name).get<std::string>()); };
    bssid_ = kRecordedAp;
    Join(device_, "test1", Ndis802_11AuthModeWPA2PSK, Ndis802_11Encryption3Enabled);
    RunTo(0.1);
    Pump();
    ASSERT_EQ(eapol_.size(), 1u);
    EXPECT_EQ(eapol_[0], Hex("001122000001 001122000000 888e") + frame("msg1"));

    // Message 2 with a MIC that does not hold is ignored.
    Bytes forged = frame("msg2");
    forged[eapol_layout::kKeyMic] ^= 0x01;
    ASSERT_EQ(SendEapol(forged), 0u);
    Pump();
    EXPECT_EQ(eapol_.size(), 1u);

    ASSERT_EQ(SendEapol(frame("msg2")), 0u);
    Pump();
    ASSERT_EQ(eapol_.size(), 2u);
    EXPECT_EQ(Bytes(eapol_[1].begin() + 14, eapol_[1].end()), frame("msg3"));
    ASSERT_TRUE(Authenticator() && !Authenticator()->IsAuthorized());
    ASSERT_EQ(SendEapol(frame("msg4")), 0u);
    EXPECT_TRUE(Authenticator()->IsAuthorized());
}

// What tshark makes of `path` with `filter`: the lines it prints, and what it
// wrote to stderr besides its note about running as root.
std::pair<int, std::string> Tshark(const std::string& path, const std::string& filter) {
    const std::string errors = path + ".stderr";
    const std::string command = "tshark -r '" + path + "' -Y '" + filter + "' 2>'" + errors + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, "cannot run tshark"};
    int lines = 0;
    for (int c; (c = std::fgetc(pipe)) != EOF;) lines += c == '\n';
    const int status = pclose(pipe);
    std::ifstream in(errors);
    std::string stderrText;
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("Running as user")) stderrText += line + "\n";
    }
    if (status != 0) stderrText += "tshark exited with " + std::to_string(status);
    return {lines, stderrText};
}

// The join as a monitor-mode card hears it, read back by tshark.
TEST_F(SimHandshake, CaptureOfAWpa2JoinDecodes) {
    const std::string path = testing::TempDir() + "wpa2-join-" + std::to_string(getpid()) + ".pcap";
    std::filesystem::remove(path);
    CAirCapture capture([] { return 1700000000000000ull; });
    std::string error;
    ASSERT_TRUE(capture.Open(path, error)) << error;
    backend_->SetAirMonitor(&capture);
    Connect(kWpa2Home, kWpa2Home.passphrase);
    RunTo(0.1);
    Pump();
    ASSERT_TRUE(Authenticator() && Authenticator()->IsAuthorized());
    ASSERT_TRUE(GatewayAnswers(kWpa2Home.gateway));
    const std::string station = "00:11:22:00:00:01", ap = "00:1e:2a:30:00:02";
    const struct {
        std::string filter;
        int frames;
    } rows[] = {
        {"eapol", 4},
        {"eapol && wlan.fc.ds == 2 && wlan.da == " + station + " && wlan.fc.protected == 0", 2},
        {"eapol && wlan.fc.ds == 1 && wlan.bssid == " + ap + " && llc.type == 0x888e", 2},
        {"wlan.fc.type_subtype == 0x08", 3},  // handshake.json's access points,
        {"wlan.fc.type_subtype == 0x08 && wlan.rsn.version == 1 && wlan.ds.current_channel == 6",
         1},
        {"wlan.fc.type_subtype == 0x0b && wlan.fixed.auth.alg == 0", 2},
        {"wlan.fc.type_subtype == 0x00 && wlan.rsn.akms.type == 2 && wlan.ssid == \"Wpa2-Home\"",
         1},
        {"wlan.fc.type_subtype == 0x01 && wlan.fixed.status_code == 0", 1},
        {"arp && wlan.fc.ds == 1", 0},  // after the handshake: encrypted
        {"wlan.fc.type == 2 && wlan.fc.protected == 1 && wlan.fc.ds == 1", 1},
        {"wlan.fc.type == 2 && wlan.fc.protected == 1 && wlan.fc.ds == 2", 1},
        {"_ws.expert.severity >= warning", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.filter);
        const auto [frames, errors] = Tshark(path, row.filter);
        EXPECT_EQ(errors, "");
        EXPECT_EQ(frames, row.frames);
    }
}

}  // namespace
}  // namespace tarvik::driver::sim
