// Hostile and repeated EAPOL-Key frames end to end: the test is the access
// point, played over tarvik-driverd's outside-authenticator socket with the
// daemon's own authenticator logic, and our station joins through its real
// receive thread, the WPA bridge and the supplicant. A row spoils or repeats
// frames and states what the station answered on the air, which keys it set
// in the adapter (the daemon's key events) and a line it logged.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "../adapter/AdapterTestSupport.h"
#include "../adapter/DaemonProcess.h"
#include "adapter/Adapter.h"
#include "connect/EapolMic.h"
#include "connect/PmkDerivation.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "connect/SupplicantState.h"
#include "connect/WpaBridge.h"
#include "driver/sim/ApAuthenticator.h"
#include "networks/NetworkList.h"
#include "profiles/NetworkKey.h"
#include "tests/support/HexBytes.h"

namespace tarvik::testing {
namespace {

using driver::Clock;
using nlohmann::json;
using testing_support::Bytes;
using testing_support::Hex;
namespace layout = eapol_layout;

const std::string kCard = "\\DEVICE\\{AD000071-0000-4000-8000-000000000071}";
const ndis::MacAddress kStation = {0x00, 0x13, 0xe8, 0x71, 0x00, 0x01};
const char* const kPassphrase = "adversary pass";

struct Network {
    const char* ssid;
    ndis::MacAddress bssid;
    bool rsn;
};
const Network kWpa2 = {"AdvWpa2", {0x00, 0x18, 0x39, 0x71, 0x00, 0x02}, true};
const Network kWpa = {"AdvWpa", {0x00, 0x18, 0x39, 0x71, 0x00, 0x01}, false};

// Both networks' access points are played on sockets in `folder`.
std::string WriteScenario(const std::filesystem::path& folder) {
    const std::string path = (folder / "world.json").string();
    std::ofstream(path) << R"({"adapters": [{"guid": "{AD000071-0000-4000-8000-000000000071}",
      "permanentMac": "00:13:e8:71:00:01", "options": {"associationDelayMs": 10}}],
      "accessPoints": [{"bssid": "00:18:39:71:00:02", "ssid": "AdvWpa2", "security": "wpa2-psk",
        "signal": {"rssi": -50}, "authenticator": {"external": ")"
                        << (folder / "AdvWpa2").string() << R"("}},
      {"bssid": "00:18:39:71:00:01", "ssid": "AdvWpa", "security": "wpa-psk",
        "signal": {"rssi": -50}, "authenticator": {"external": ")"
                        << (folder / "AdvWpa").string() << R"("}}]})";
    return path;
}

std::uint16_t InfoOf(const Bytes& eapol) {
    return static_cast<std::uint16_t>(eapol[layout::kKeyInformation] << 8 |
                                      eapol[layout::kKeyInformation + 1]);
}

void SetInfo(Bytes& eapol, std::uint16_t clear, std::uint16_t set) {
    const auto info = static_cast<std::uint16_t>((InfoOf(eapol) & ~clear) | set);
    eapol[layout::kKeyInformation] = static_cast<std::uint8_t>(info >> 8);
    eapol[layout::kKeyInformation + 1] = static_cast<std::uint8_t>(info);
}

Bytes NonceOf(const Bytes& eapol) {
    return Bytes(eapol.begin() + layout::kKeyNonce, eapol.begin() + layout::kKeyIv);
}

// "2" for message 2/4, "4" for 4/4, "g" for group 2/2.
char KindOf(const Bytes& answer) {
    if (!(InfoOf(answer) & KEY_INFO_PAIRWISE)) return 'g';
    return NonceOf(answer) == Bytes(kEapolKeyNonceLength, 0) ? '4' : '2';
}

class WpaAdversary;
using Play = std::function<void(WpaAdversary&)>;

struct AdversaryRow {
    const char* name;
    const Network* network;
    Play play;
    const char* answers;  // the station's frames, by KindOf
    const char* keys;     // key events: P pairwise, G group
    std::size_t snonces;  // distinct SNonces among the 2/4 answers
    const char* logged;
};

void PrintTo(const AdversaryRow& row, std::ostream* out) {
    *out << row.name;
}

class WpaAdversary : public ::testing::TestWithParam<AdversaryRow> {
  public:
    // The access point's authenticator; `rekeySeconds` 0 never rekeys.
    void StartAuthenticator(std::uint8_t anonceByte, std::uint64_t counter,
                            std::uint32_t rekeySeconds = 0) {
        const Network& n = *GetParam().network;
        driver::sim::AuthenticatorSetup setup;
        setup.rsn = n.rsn;
        const std::uint32_t cipher = n.rsn ? driver::sim::kCipherCcmp : driver::sim::kCipherTkip;
        setup.pairwiseCipher = setup.groupCipher = cipher;
        setup.apElement.resize(kSupplicantElementLimit);
        const int length = n.rsn ? BuildRsnElement(cipher, cipher, KEY_MGMT_PSK, setup.apElement)
                                 : BuildWpaElement(cipher, cipher, KEY_MGMT_PSK, setup.apElement);
        setup.apElement.resize(static_cast<std::size_t>(std::max(length, 0)));
        setup.bssid = n.bssid;
        setup.station = kStation;
        setup.pmk = pmk_;
        anonce_.assign(kEapolKeyNonceLength, anonceByte);
        setup.config = {anonce_, Bytes(n.rsn ? 16 : 32, 0x6B), counter, rekeySeconds, ""};
        auth_ = std::make_unique<driver::sim::CApAuthenticator>(
            setup, [this](std::span<const std::uint8_t> eapol) { FromAccessPoint(eapol); });
        auth_->Start(now_);
    }
    // The authenticator's clock moves on: retries and rekeys fall due.
    void Later(int seconds) {
        now_ += std::chrono::seconds(seconds);
        auth_->Run(now_);
    }
    // The whole handshake, message 1 to the port opening.
    void Handshake(std::uint32_t rekeySeconds = 0) {
        StartAuthenticator(0xA5, 1, rekeySeconds);
        ASSERT_TRUE(Until([this] { return auth_->IsAuthorized(); }));
    }
    void ToStation(const Bytes& eapol) {
        Bytes packet{'E'};
        packet.insert(packet.end(), kStation.begin(), kStation.end());
        const ndis::MacAddress& bssid = GetParam().network->bssid;
        packet.insert(packet.end(), bssid.begin(), bssid.end());
        packet.insert(packet.end(), {0x88, 0x8E});
        packet.insert(packet.end(), eapol.begin(), eapol.end());
        ASSERT_EQ(::send(program_, packet.data(), packet.size(), 0),
                  static_cast<ssize_t>(packet.size()));
    }
    // The access point's next message 3/4 goes out changed, signed again if asked.
    void Spoil(std::function<void(Bytes&)> edit, bool resign) {
        spoil_ = [=, this](Bytes& eapol) {
            const std::uint16_t message3 = KEY_INFO_PAIRWISE | KEY_INFO_MIC;
            if ((InfoOf(eapol) & message3) != message3) return false;
            edit(eapol);
            if (resign) Resign(eapol);
            return true;
        };
    }
    // The station's next answer of this kind does not reach the authenticator.
    void Withhold(char kind) { withhold_ = kind; }
    void SetUp() override {
        ASSERT_TRUE(daemon_.ready());
        const Network& n = *GetParam().network;
        const std::span ssid(reinterpret_cast<const std::uint8_t*>(n.ssid), std::strlen(n.ssid));
        ASSERT_EQ(DerivePmk(kPassphrase, ssid, pmk_), 0);
        program_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        (folder_.Path() / n.ssid).string().copy(address.sun_path, sizeof address.sun_path - 1);
        ASSERT_EQ(::connect(program_, reinterpret_cast<const sockaddr*>(&address), sizeof address),
                  0);
        Join(n);
    }
    void TearDown() override {
        adapter_.Close();
        ::close(program_);
    }

    void Join(const Network& n) {
        ASSERT_EQ(adapter_.OpenChannel(), 0);
        adapter_.ProbeSecurityCapabilities();
        ASSERT_EQ(adapter_.ScanAndFetchBssidList(false,
                                                 [&](std::span<const std::uint8_t> bytes) {
                                                     networks_.MergeBssidList(bytes);
                                                 }),
                  RES_BSSID_LIST_OBTAINED);
        const auto network = networks_.LookUpByMac(n.bssid);
        ASSERT_TRUE(network);
        ASSERT_EQ(adapter_.SetInfrastructureMode(1), 0);
        ASSERT_EQ(adapter_.SetAuthenticationMode(n.rsn ? 7 : 4), 0);
        ASSERT_EQ(adapter_.SetEncryptionStatus(n.rsn ? 6 : 4), 0);
        ASSERT_EQ(adapter_.SetSsid(n.ssid), 0);
        ASSERT_TRUE(Until([&] {
            adapter_.QueryMediaStatus();
            return adapter_.MediaStatus() == kMediaConnected;
        }));
        ASSERT_EQ(adapter_.StartReceive([this](CAdapter& card, std::span<const std::uint8_t> f) {
            bridge_.HandleEapol(card, f);
        }),
                  0);
        CNetworkKey profile;
        std::copy_n(kPassphrase, std::strlen(kPassphrase), profile.key.begin());
        profile.keyLength = static_cast<std::uint32_t>(std::strlen(kPassphrase));
        bridge_.Prepare(adapter_, network->entry, network->record->SecuritySummary(), profile);
    }

    // Reads what the daemon sent the access point: frames and events.
    void Pump() {
        Bytes packet(4096);
        for (ssize_t n; (n = ::recv(program_, packet.data(), packet.size(), MSG_DONTWAIT)) > 0;) {
            const Bytes content(packet.begin() + 1, packet.begin() + n);
            const json event = packet[0] == 'J' ? json::parse(content) : json::object();
            if (event.value("event", "") == "key") {
                keys_ += event["kind"] == "pairwise" ? 'P' : 'G';
                lastKey_[keys_.back()] = Hex(event["key"]);
            }
            const bool eapol = content.size() >= kEthernetHeaderSize + kEapolKeyMinimumLength &&
                               content[12] == 0x88 && content[13] == 0x8E;
            if (packet[0] != 'E' || !eapol) continue;
            answers_.emplace_back(content.begin() + kEthernetHeaderSize, content.end());
            if (KindOf(answers_.back()) == withhold_) {
                withhold_ = 0;
            } else if (auth_) {
                auth_->Receive(answers_.back(), now_);
            }
        }
    }
    bool Until(const std::function<bool()>& done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            Pump();
            pollfd wait{program_, POLLIN, 0};
            ::poll(&wait, 1, 25);
        }
        return done();
    }
    // A message 1/4 of a new handshake; once it is answered, everything the
    // station did before has reached the access point.
    void Fence() {
        EapolKeyFields fields;
        fields.descriptorType = GetParam().network->rsn ? EAPOL_KEY_TYPE_RSN : EAPOL_KEY_TYPE_WPA;
        fields.keyInformation = static_cast<std::uint16_t>((GetParam().network->rsn ? 2 : 1) |
                                                           KEY_INFO_PAIRWISE | KEY_INFO_ACK);
        fields.replayCounter = {0x7F};
        fields.nonce.fill(0xFE);
        auth_.reset();
        ToStation(BuildEapolKey(fields, {}));
        const auto fence = [this] {
            return std::find_if(answers_.begin(), answers_.end(), [](const Bytes& answer) {
                return answer[layout::kReplayCounter] == 0x7F;
            });
        };
        ASSERT_TRUE(Until([&] { return fence() != answers_.end(); }));
        answers_.erase(fence());
    }

    void FromAccessPoint(std::span<const std::uint8_t> sent) {
        Bytes eapol(sent.begin(), sent.end());
        fromAp_.push_back(eapol);
        if (spoil_ && spoil_(eapol)) spoil_ = nullptr;
        ToStation(eapol);
    }
    // Signs as the access point does, with the PTK of the last 2/4 answer.
    void Resign(Bytes& eapol) const {
        const auto last = std::find_if(answers_.rbegin(), answers_.rend(),
                                       [](const Bytes& a) { return KindOf(a) == '2'; });
        ASSERT_NE(last, answers_.rend());
        const Bytes snonce = NonceOf(*last);
        PairwiseKey ptk;
        const ndis::MacAddress& bssid = GetParam().network->bssid;
        ASSERT_EQ(
            DerivePairwiseKey(pmk_, bssid, kStation, std::span<const std::uint8_t, 32>(anonce_),
                              std::span<const std::uint8_t, 32>(snonce), ptk),
            0);
        std::fill_n(eapol.begin() + layout::kKeyMic, kEapolKeyMicLength, 0);
        ASSERT_EQ(WriteEapolMic(InfoOf(eapol) & KEY_INFO_VERSION_MASK, ptk.Kck(), eapol), 0);
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{WriteScenario(folder_.Path())};
    CNetworkList networks_;
    CWpaBridge bridge_{nullptr, [](const std::string&) {}};
    CAdapter adapter_{kCard, log_.Settings()};
    int program_ = -1;
    std::array<std::uint8_t, kPmkLength> pmk_{};
    Bytes anonce_;
    Clock::time_point now_{};
    std::unique_ptr<driver::sim::CApAuthenticator> auth_;
    std::function<bool(Bytes&)> spoil_;
    char withhold_ = 0;
    std::vector<Bytes> fromAp_;  // what the access point sent, in order
    std::vector<Bytes> answers_;
    std::string keys_;               // the key events: P pairwise, G group
    std::map<char, Bytes> lastKey_;  // by kind
};

// Message 3/4 goes out changed; the authenticator's next try is sound.
Play SpoiltMessage3(std::function<void(Bytes&)> edit, bool resign = true) {
    return [=](WpaAdversary& t) {
        t.Spoil(edit, resign);
        t.StartAuthenticator(0xA5, 1);
        ASSERT_TRUE(t.Until([&] { return !t.spoil_; }));
        t.Later(1);
    };
}

// The handshake, then `frame` of what the access point sent goes out again.
Play Replay(std::size_t frame) {
    return [=](WpaAdversary& t) {
        t.Handshake();
        t.ToStation(t.fromAp_.at(frame));
    };
}

// The station's `kind` answer is lost once, so the access point tries again.
Play Lost(char kind) {
    return [=](WpaAdversary& t) {
        t.Withhold(kind);
        t.StartAuthenticator(0xA5, 1);
        ASSERT_TRUE(t.Until([&] { return t.withhold_ == 0; }));
        t.Later(1);
    };
}

const AdversaryRow kRows[] = {
    {"BadMic", &kWpa2, SpoiltMessage3([](Bytes& e) { e[layout::kKeyMic] ^= 1; }, false), "24", "PG",
     1, "WPA: Invalid EAPOL-Key MIC when using TPTK - ignoring TPTK"},
    {"DescriptorVersion1", &kWpa2, SpoiltMessage3([](Bytes& e) { SetInfo(e, 7, 1); }), "24", "PG",
     1, "WPA: CCMP is used, but EAPOL-Key descriptor version (1) is not 2."},
    // The bridge hands on only the bytes received; the body length claims more.
    {"TruncatedKeyData", &kWpa2, SpoiltMessage3([](Bytes& e) { e.resize(e.size() - 10); }, false),
     "24", "PG", 1, "WPA: EAPOL frame payload size 151 invalid (frame size 145)"},
    {"KeyDataLengthPastBody", &kWpa,
     SpoiltMessage3([](Bytes& e) { e[layout::kKeyDataLength + 1] += 1; }), "24g", "PG", 1,
     "WPA: Truncated EAPOL-Key packet: key_data_length=25 > extra_len=24"},
    {"RequestBit", &kWpa, SpoiltMessage3([](Bytes& e) { SetInfo(e, 0, KEY_INFO_REQUEST); }), "24g",
     "PG", 1, "WPA: EAPOL-Key with Request bit - dropped"},
    {"NoAck", &kWpa2, SpoiltMessage3([](Bytes& e) { SetInfo(e, KEY_INFO_ACK, 0); }), "24", "PG", 1,
     "WPA: No Ack bit in key_info"},
    {"ReplayedMessage3", &kWpa2, Replay(1), "24", "PG", 1,
     "WPA: EAPOL-Key replay counter did not increase - dropping packet"},
    {"RetransmittedMessage3", &kWpa2, Lost('4'), "244", "PG", 1,
     "WPA: Not reinstalling the PTK already in use."},
    {"ReplayedGroupMessage1", &kWpa, Replay(2), "24g", "PG", 1,
     "WPA: EAPOL-Key replay counter did not increase - dropping packet"},
    {"RetransmittedGroupMessage1", &kWpa, Lost('g'), "24gg", "PG", 1,
     "WPA: Not reinstalling the GTK already in use."},
    {"GroupRekey", &kWpa2,
     [](WpaAdversary& t) {
         t.Handshake(60);
         t.Later(60);
         ASSERT_TRUE(t.Until([&] { return t.answers_.size() == 3; }));
     },
     "24g", "PGG", 1, "WPA: RX message 1 of Group Key Handshake"},
    // Before message 3/4 a repeated message 1/4 gets the same SNonce.
    {"RepeatedMessage1", &kWpa2, Lost('2'), "224", "PG", 1, "WPA: RX message 1 of 4-Way Handshake"},
    // After it, a new handshake gets a new SNonce and gives a new PTK.
    {"NewANonceAfterMessage3", &kWpa2,
     [](WpaAdversary& t) {
         t.Handshake();
         t.StartAuthenticator(0x3C, 100);
     },
     "2424", "PGP", 2, "WPA: Not reinstalling the GTK already in use."},
};

TEST_P(WpaAdversary, AnswersAndInstallsOnlyWhatTheHandshakeAllows) {
    const AdversaryRow& row = GetParam();
    row.play(*this);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(Until([this] { return auth_->IsAuthorized(); }));
    const Bytes tk(auth_->TemporalKey().begin(), auth_->TemporalKey().end());
    const Bytes gtk = auth_->GroupKey();
    Fence();

    std::string answers;
    std::set<Bytes> snonces;
    for (const Bytes& answer : answers_) {
        answers += KindOf(answer);
        if (KindOf(answer) == '2') snonces.insert(NonceOf(answer));
    }
    EXPECT_EQ(answers, row.answers);
    EXPECT_EQ(keys_, row.keys);
    EXPECT_EQ(snonces.size(), row.snonces);
    // The keys in use are the access point's.
    EXPECT_EQ(lastKey_['P'], tk);
    EXPECT_EQ(lastKey_['G'], gtk);
    const auto lines = log_.Messages();
    EXPECT_TRUE(std::any_of(
        lines.begin(), lines.end(),
        [&](const std::string& line) { return line.find(row.logged) != std::string::npos; }))
        << "no line holds: " << row.logged;
}

INSTANTIATE_TEST_SUITE_P(Air, WpaAdversary, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::testing
