// The access point's key handshakes, answered by the station's own
// supplicant: the card's received EAPOL frames go to it, its answers go back
// through WriteFrame and its keys through OID_802_11_ADD_KEY.
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "SimHandshakeKit.h"
#include "driver/AirCapture.h"

namespace tarvik::driver::sim {
namespace {

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
    // Unanswered, the client asks again before it takes an automatic address.
    EXPECT_EQ(Address(device_), reachable ? network.address : "0.0.0.0");

    // Wpa2-Home hands out a new group key, as key 2, every 30 s.
    RunTo(30.1);
    Pump();
    ASSERT_EQ(keys_.size(), network.rsn ? 3u : 2u);
    EXPECT_EQ(keys_.back().keyMaterial, Authenticator()->GroupKey());
    EXPECT_EQ(keys_.back().keyIndex & kKeyIndexMask, network.rsn ? 2u : 1u);
    EXPECT_EQ(Address(device_), reachable ? network.address : "169.254.1.1");
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
