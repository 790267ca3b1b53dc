// The access point's key handshakes, answered by the station's own
// supplicant: the card's received EAPOL frames go to it, its answers go back
// through WriteFrame and its keys through OID_802_11_ADD_KEY.
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>

#include "SimTestWorld.h"
#include "connect/KeyInstaller.h"
#include "connect/PmkDerivation.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "driver/sim/SimFrames.h"
#include "driver/sim/SimSecurity.h"
#include "tests/support/HexBytes.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;
using testing_support::Bytes;
using testing_support::Hex;

constexpr MacAddress kStation{0x00, 0x11, 0x22, 0x00, 0x00, 0x01};
constexpr MacAddress kRecordedAp{0x00, 0x11, 0x22, 0x00, 0x00, 0x00};

struct Network {
    const char* name;
    const char* ssid;
    MacAddress bssid;
    bool rsn;
    bool ccmp;
    const char* passphrase;
    std::uint32_t gateway;
    const char* address;
};

const Network kWpa2Home{"Wpa2Ccmp", "Wpa2-Home",  {0x00, 0x1e, 0x2a, 0x30, 0x00, 0x02},
                        true,       true,         "correct horse",
                        0xC0A80701, "192.168.7.7"};
const Network kWpaOffice{
    "WpaTkip",  "Wpa-Office", {0x00, 0x1b, 0x2f, 0x30, 0x00, 0x03},
    false,      false,        "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef",
    0x0A000001, "10.0.0.9"};

std::uint64_t CounterOf(const Bytes& ethernetFrame) {
    std::uint64_t counter = 0;
    for (int i = 0; i < 8; ++i) counter = counter << 8 | ethernetFrame[14 + 9 + i];
    return counter;
}

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
        supplicant_ = std::make_unique<CSupplicant>(Callbacks());
        std::array<std::uint8_t, kPmkLength> pmk{};
        const std::string ssid = network.ssid;
        ASSERT_EQ(
            DerivePmk(passphrase,
                      std::span(reinterpret_cast<const std::uint8_t*>(ssid.data()), ssid.size()),
                      pmk),
            0);
        supplicant_->SetPmk(pmk);
        supplicant_->SetOwnAddress(kStation);
        supplicant_->SetProtocol(network.rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA);
        supplicant_->SetCiphers(network.ccmp ? CIPHER_CCMP : CIPHER_TKIP,
                                network.ccmp ? CIPHER_CCMP : CIPHER_TKIP);
        supplicant_->SetKeyManagement(KEY_MGMT_PSK);
        const std::uint32_t cipher = network.ccmp ? kCipherCcmp : kCipherTkip;
        // One cipher each way: the beacon's element is the one the station sends.
        const Bytes element = StationSecurityElement(network.rsn, cipher, cipher, kAkmPsk);
        ASSERT_EQ(supplicant_->SetOwnElement(element), 0);
        ASSERT_EQ(network.rsn ? supplicant_->SetApRsnElement(element)
                              : supplicant_->SetApWpaElement(element),
                  0);
        Join(device_, network.ssid,
             network.rsn ? Ndis802_11AuthModeWPA2PSK : Ndis802_11AuthModeWPAPSK,
             network.ccmp ? Ndis802_11Encryption3Enabled : Ndis802_11Encryption2Enabled);
    }

    // Hands the EAPOL frames the card received since the last call to the
    // supplicant (its answers may bring more).
    void Pump() {
        while (seen_ < sink_.events.size()) {
            const SinkEvent event = sink_.events[seen_++];
            if (event.kind != SinkEvent::Kind::Frame ||
                EtherTypeOf(event.frame) != kEtherTypeEapol) {
                continue;
            }
            eapol_.push_back(event.frame);
            if (supplicant_) {
                supplicant_->ReceiveEapol(bssid_, std::span(event.frame).subspan(14));
            }
        }
    }

    std::uint32_t SendEapol(std::span<const std::uint8_t> eapol) {
        Bytes frame(bssid_.begin(), bssid_.end());
        frame.insert(frame.end(), kStation.begin(), kStation.end());
        frame.insert(frame.end(), {0x88, 0x8E});
        frame.insert(frame.end(), eapol.begin(), eapol.end());
        return backend_->WriteFrame(device_, frame);
    }

    // Asks the gateway for its address; true when the answer arrives readable.
    bool GatewayAnswers(std::uint32_t gateway) {
        auto arpFrames = [this] {
            return std::count_if(sink_.events.begin(), sink_.events.end(), [](const auto& e) {
                return e.kind == SinkEvent::Kind::Frame && EtherTypeOf(e.frame) == kEtherTypeArp;
            });
        };
        const auto before = arpFrames();
        EXPECT_EQ(backend_->WriteFrame(device_, BuildArpRequest(kStation, 0, gateway)), 0u);
        return arpFrames() > before;
    }

    Result AddKey(std::span<const std::uint8_t> descriptor) override {
        const auto key = ParseKey(descriptor);
        EXPECT_TRUE(key);
        keys_.push_back(*key);
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

  private:
    SupplicantCallbacks Callbacks() {
        SupplicantCallbacks callbacks;
        callbacks.setKey = [this](int algorithm, const ndis::MacAddress& address, int index,
                                  bool transmit, std::span<const std::uint8_t> sequence,
                                  std::span<const std::uint8_t> key) {
            return installer_->SetKey(algorithm, address, index, transmit, sequence, key);
        };
        callbacks.sendFrame = [this](const ndis::MacAddress&, std::uint16_t,
                                     std::span<const std::uint8_t> frame) {
            return SendEapol(frame) == 0 ? 0 : -1;
        };
        return callbacks;
    }
};

struct HandshakeRow {
    const char* name;
    const Network* network;
    bool installPairwiseKey;
};

class SimHandshakeRun : public SimHandshake, public testing::WithParamInterface<HandshakeRow> {};

TEST_P(SimHandshakeRun, OpensThePortWithTheKeysTheStationInstalled) {
    const Network& network = *GetParam().network;
    dropPairwiseKey_ = !GetParam().installPairwiseKey;
    Connect(network, network.passphrase);
    RunTo(0.1);
    ASSERT_TRUE(Connected(device_));
    // The port is closed until the handshakes are done.
    EXPECT_FALSE(GatewayAnswers(network.gateway));
    Pump();
    EXPECT_TRUE(supplicant_->HasPtk());
    ASSERT_TRUE(Authenticator());
    const CApAuthenticator& authenticator = *Authenticator();
    ASSERT_TRUE(authenticator.IsAuthorized());
    // Pairwise, then group: what the authenticator holds.
    ASSERT_EQ(keys_.size(), 2u);
    const auto tk = authenticator.TemporalKey();
    EXPECT_EQ(keys_[0].keyMaterial, Bytes(tk.begin(), tk.end()));
    EXPECT_TRUE(keys_[0].keyIndex & kKeyIndexPairwise);
    EXPECT_EQ(keys_[1].keyMaterial, authenticator.GroupKey());
    EXPECT_EQ(keys_[1].keyIndex & kKeyIndexMask, 1u);
    // Message 1, 3 and for WPA the group message 1, each once.
    EXPECT_EQ(eapol_.size(), network.rsn ? 2u : 3u);

    const bool reachable = GetParam().installPairwiseKey;
    EXPECT_EQ(GatewayAnswers(network.gateway), reachable);
    RunTo(0.6);
    EXPECT_EQ(Address(device_).starts_with("169.254."), !reachable);
    if (reachable) {
        EXPECT_EQ(Address(device_), network.address);
    }
}

const HandshakeRow kHandshakeRows[] = {
    {"Wpa2Ccmp", &kWpa2Home, true},
    {"WpaTkipWithHexKey", &kWpaOffice, true},
    {"Wpa2WithoutThePairwiseKey", &kWpa2Home, false},
};

INSTANTIATE_TEST_SUITE_P(Authenticator, SimHandshakeRun, testing::ValuesIn(kHandshakeRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimHandshake, WrongPassphraseRetriesMessage1ThenDeauthenticates) {
    Connect(kWpa2Home, "wrong horse");
    for (int attempt = 0; attempt < CApAuthenticator::kAttempts; ++attempt) {
        RunTo(0.1 + attempt);
        Pump();
        ASSERT_EQ(eapol_.size(), attempt + 1u);
        // Each try counts up from the scenario's first counter; no message 3.
        EXPECT_EQ(CounterOf(eapol_.back()), 40u + attempt);
        EXPECT_EQ(eapol_.back()[14 + 5] & 0x01, 0);  // no MIC: a message 1
        EXPECT_EQ(MediaEvents(false), 0u);
    }
    RunTo(0.1 + CApAuthenticator::kAttempts);
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_EQ(Address(device_), "0.0.0.0");
    EXPECT_TRUE(keys_.empty());
}

TEST_F(SimHandshake, GroupRekeyDeliversANewGroupKey) {
    Connect(kWpa2Home, kWpa2Home.passphrase);
    RunTo(0.1);
    Pump();
    ASSERT_EQ(keys_.size(), 2u);
    const Bytes first = keys_[1].keyMaterial;
    RunTo(30.099);
    Pump();
    EXPECT_EQ(keys_.size(), 2u);
    for (const std::uint32_t index : {2u, 1u}) {
        RunTo(0.1 + 30 * (3 - index));
        Pump();
        ASSERT_EQ(keys_.size(), 5u - index);
        ASSERT_TRUE(Authenticator());
        EXPECT_EQ(keys_.back().keyMaterial, Authenticator()->GroupKey());
        EXPECT_EQ(keys_.back().keyIndex & (kKeyIndexPairwise | kKeyIndexMask), index);
        EXPECT_TRUE(Authenticator()->IsAuthorized());
    }
    EXPECT_NE(keys_[2].keyMaterial, first);
    EXPECT_EQ(Address(device_), kWpa2Home.address);
}

// A captured WPA2 handshake whose access point had the scenario's addresses,
// passphrase, ANonce and GTK: the frames sent are the captured ones.
TEST_F(SimHandshake, FramesMatchACapturedAccessPoint) {
    using Json = nlohmann::json;
    const Json vectors = Json::parse(std::ifstream(TARVIK_TESTDATA_DIR "/wpa/vectors.json"));
    Json frames;
    for (const Json& entry : vectors.at("handshakes")) {
        if (entry.at("name") == "aircrack-capture-wds-test1") frames = entry.at("frames");
    }
    ASSERT_TRUE(frames.is_object());
    auto frame = [&](const char* name) { return Hex(frames.at(name).get<std::string>()); };
    bssid_ = kRecordedAp;
    Join(device_, "test1", Ndis802_11AuthModeWPA2PSK, Ndis802_11Encryption3Enabled);
    RunTo(0.1);
    Pump();
    ASSERT_EQ(eapol_.size(), 1u);
    EXPECT_EQ(Bytes(eapol_[0].begin(), eapol_[0].begin() + 14),
              Hex("001122000001 001122000000 888e"));
    EXPECT_EQ(Bytes(eapol_[0].begin() + 14, eapol_[0].end()), frame("msg1"));

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
    ASSERT_TRUE(Authenticator());
    EXPECT_FALSE(Authenticator()->IsAuthorized());
    ASSERT_EQ(SendEapol(frame("msg4")), 0u);
    EXPECT_TRUE(Authenticator()->IsAuthorized());
    const auto tk = Authenticator()->TemporalKey();
    EXPECT_EQ(Bytes(tk.begin(), tk.end()), Hex("289604968a23a5b45e642a315a3a4262"));
}

}  // namespace
}  // namespace tarvik::driver::sim
