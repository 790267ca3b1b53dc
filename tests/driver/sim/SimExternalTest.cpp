// An access point played by a program on the outside socket: the test is
// that program (the daemon's own authenticator behind a SOCK_SEQPACKET
// client) and the card runs the station's own supplicant.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "SimHandshakeKit.h"
#include "connect/EapolMic.h"
#include "driver/sim/ExternalAuthenticator.h"

namespace tarvik::driver::sim {
namespace {

using nlohmann::json;
namespace layout = eapol_layout;
const Network kExt{"Ext-Net",    {0, 0x1e, 0x2a, 0x30, 0, 9}, true, "outside pass", 0xC0A80801,
                   "192.168.8.7"};
const Bytes kAnonce(32, 0xA5);

// A SOCK_SEQPACKET socket connected to `path`, or bound there (and listening).
int Socket(const std::string& path, bool connect, bool listening = false) {
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0);
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    EXPECT_EQ(connect ? ::connect(fd, raw, sizeof address) : ::bind(fd, raw, sizeof address), 0);
    if (listening) ::listen(fd, 1);
    return fd;
}

// 'E' and a frame from the access point to the station.
Bytes ToStation(const Bytes& etherType, const Bytes& payload) {
    return Bytes{'E'} + Bytes(kStation.begin(), kStation.end()) +
           Bytes(kExt.bssid.begin(), kExt.bssid.end()) + etherType + payload;
}

class SimExternal : public SimHandshake {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/tarvik-ext-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        folder_ = folder;
        path_ = folder_ + "/ap.sock";
        std::ofstream(folder_ + "/world.json")
            << R"({"adapters": [{"permanentMac": "00:11:22:00:00:01",
            "options": {"associationDelayMs": 10}}], "accessPoints": [{"bssid": "00:1e:2a:30:00:09",
            "ssid": "Ext-Net", "security": "wpa2-psk", "signal": {"rssi": -50}, "dhcp": {
            "address": "192.168.8.7", "gateway": "192.168.8.1"}, "authenticator": {"external": ")"
            << path_ << "\"}}]}";
        LoadWorld(folder_ + "/world.json");
        device_ = Device(0);
    }
    void TearDown() override {
        if (program_ >= 0) ::close(std::exchange(program_, -1));
        backend_.reset();
        std::filesystem::remove_all(folder_);
    }

    void SendRaw(const Bytes& packet) { ::send(program_, packet.data(), packet.size(), 0); }
    void Command(const char* name) {
        const std::string text = json{{"command", name}}.dump();
        SendRaw(Bytes{'J'} + Bytes(text.begin(), text.end()));
    }
    // The program's authenticator; message 1 goes out once the station is there.
    void StartAuthenticator(std::function<void(Bytes&)> breakMessage3 = {}, bool remic = true) {
        AuthenticatorSetup setup;
        setup.apElement = StationSecurityElement(true, kCipherCcmp, kCipherCcmp, kAkmPsk);
        setup.bssid = kExt.bssid;
        setup.station = kStation;
        setup.config.anonce = kAnonce;
        ASSERT_EQ(DerivePmk(kExt.passphrase, Bytes(kExt.ssid, kExt.ssid + 7), setup.pmk), 0);
        auth_ = std::make_unique<CApAuthenticator>(setup, [=, this](auto eapol) {
            Bytes frame(eapol.begin(), eapol.end());
            const bool install = frame[layout::kKeyInformation + 1] & 0x40;
            if (install && breakMessage3) {
                breakMessage3(frame);
                if (remic) Remic(setup.pmk, frame);
            }
            if (install) message3_ = frame;
            SendRaw(ToStation(Hex("888e"), frame));
        });
    }
    // A MIC that holds for a message 3 changed after it was made.
    void Remic(std::span<const std::uint8_t, kPmkLength> pmk, Bytes& eapol) {
        PairwiseKey ptk;
        ASSERT_EQ(DerivePairwiseKey(pmk, std::span<const std::uint8_t, 6>(kExt.bssid),
                                    std::span<const std::uint8_t, 6>(kStation),
                                    std::span<const std::uint8_t, 32>(kAnonce),
                                    std::span<const std::uint8_t, 32>(snonce_), ptk),
                  0);
        std::fill_n(eapol.begin() + layout::kKeyMic, 16, 0);
        ASSERT_EQ(WriteEapolMic(2, ptk.Kck(), eapol), 0);
    }
    // Runs the world and both sides until nothing more happens.
    void Drive() {
        for (int round = 0; round < 20; ++round) {
            RunTo(clock_ += 0.01);
            Pump();
            Bytes packet(4096);
            for (ssize_t n; (n = ::recv(program_, packet.data(), packet.size(), 0)) > 0;) {
                const Bytes content(packet.begin() + 1, packet.begin() + n);
                if (packet[0] == 'J') events_.push_back(json::parse(content));
                if (packet[0] == 'J' && events_.size() == 1 && auth_) auth_->Start(now_);
                if (packet[0] != 'E' || !auth_ || EtherTypeOf(content) != kEtherTypeEapol) continue;
                if (snonce_.empty() && content.size() >= 14 + layout::kKeyNonce + 32)
                    snonce_.assign(content.begin() + 14 + layout::kKeyNonce,
                                   content.begin() + 14 + layout::kKeyNonce + 32);
                auth_->Receive(std::span(content).subspan(14), now_);
            }
        }
    }
    void Restart() {
        TearDown();
        seen_ = 0;
        events_.clear();
        snonce_.clear();
        SetUp();
    }
    std::vector<json> Events(const std::string& event) const {
        std::vector<json> found;
        std::copy_if(events_.begin(), events_.end(), std::back_inserter(found),
                     [&](const json& e) { return e.value("event", "") == event; });
        return found;
    }

    std::string folder_, path_;
    int program_ = -1;
    double clock_ = 0;
    std::unique_ptr<CApAuthenticator> auth_;
    Bytes snonce_, message3_;
    std::vector<json> events_;
};

TEST_F(SimExternal, ProgramDrivesTheHandshakeAndOpensThePort) {
    Connect(kExt, kExt.passphrase);
    Drive();
    EXPECT_FALSE(Connected(device_));  // no program: no association
    program_ = Socket(path_, true);
    StartAuthenticator();
    Drive();
    ASSERT_TRUE(Connected(device_));
    const auto associated = Events("associated");
    ASSERT_EQ(associated.size(), 1u);
    EXPECT_EQ(associated[0].dump(), json({{"event", "associated"},
                                          {"station", "00:11:22:00:00:01"},
                                          {"bssid", "00:1e:2a:30:00:09"},
                                          {"ssid", kExt.ssid},
                                          {"ie", "30140100000fac040100000fac040100000fac020000"}})
                                        .dump());
    ASSERT_TRUE(auth_->IsAuthorized());
    const auto keys = Events("key");
    ASSERT_EQ(keys.size(), 2u);
    const auto tk = auth_->TemporalKey();
    EXPECT_EQ(keys[0].value("kind", ""), "pairwise");
    EXPECT_EQ(Hex(keys[0].value("key", "")), Bytes(tk.begin(), tk.end()));
    EXPECT_EQ(keys[0].value("length", 0), 16);
    EXPECT_EQ(keys[1].value("kind", ""), "group");
    EXPECT_EQ(Hex(keys[1].value("key", "")), auth_->GroupKey());
    EXPECT_EQ(keys[1].value("index", 0), auth_->GroupKeyIndex());
    EXPECT_EQ(keys[1].value("rsc", "").size(), 16u);
    // The port opens on the program's word, not on the keys.
    EXPECT_FALSE(GatewayAnswers(kExt.gateway));
    Command("authorized");
    Drive();
    EXPECT_TRUE(GatewayAnswers(kExt.gateway));
    RunTo(clock_ += 2);  // the lease comes 1.5 s after the port opens
    EXPECT_EQ(Address(device_), kExt.address);
    // A second program is shut out; the first one leaving ends the association.
    const int second = Socket(path_, true);
    Drive();
    char byte;
    EXPECT_EQ(::recv(second, &byte, 1, 0), 0);
    ::close(second);
    ::close(std::exchange(program_, -1));
    Drive();
    EXPECT_FALSE(Connected(device_));
}

// However message 3 is broken, even with a MIC that holds, the station
// installs no key from it; sent again, it installs none a second time.
TEST_F(SimExternal, Message3InstallsAtMostOneKey) {
    const struct {
        const char* name;
        std::function<void(Bytes&)> breakMessage3;
        bool remic;
    } rows[] = {
        {"Replayed", {}, true},
        {"BadMic", [](Bytes& e) { e[layout::kKeyMic] ^= 1; }, false},
        {"DescriptorVersion1", [](Bytes& e) { e[layout::kKeyInformation + 1] ^= 0x03; }, true},
        {"KeyDataPastTheBody", [](Bytes& e) { e[layout::kKeyDataLength] ^= 0x40; }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        program_ = Socket(path_, true);
        Connect(kExt, kExt.passphrase);
        StartAuthenticator(row.breakMessage3, row.remic);
        Drive();
        SendRaw(ToStation(Hex("888e"), message3_));
        Drive();
        const auto keys = Events("key");
        EXPECT_EQ(std::count_if(keys.begin(), keys.end(),
                                [](const json& key) { return key["kind"] == "pairwise"; }),
                  row.breakMessage3 ? 0 : 1);
        Restart();
    }
}

TEST_F(SimExternal, DropsHostilePacketsAndKeepsServing) {
    program_ = Socket(path_, true);
    Connect(kExt, kExt.passphrase);
    Drive();
    ASSERT_TRUE(Connected(device_));
    const Bytes hostile[] = {Bytes{},
                             Hex("58 00"),
                             Bytes{'J', '{'},
                             Bytes{'J', '[', ']'},
                             Bytes{'J'} + Hex("7b22636f6d6d616e64223a317d"),  // {"command":1}
                             Bytes{'E'} + Bytes(13, 0),
                             ToStation(Hex("0800"), Bytes(2387, 0)),
                             Bytes(9000, 'E')};
    const std::size_t before = sink_.Count(SinkEvent::Kind::Frame);
    for (const Bytes& packet : hostile) SendRaw(packet);
    SendRaw(ToStation(Hex("0800"), Bytes(2386, 0)));  // the largest frame passes
    Drive();
    EXPECT_TRUE(Connected(device_));
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Frame), before + 1);
    // A program that does not read gets what fits and no more.
    const Bytes arp = BuildArpRequest(kStation, 0, kExt.gateway);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(backend_->WriteFrame(device_, arp), 0u);
    std::size_t delivered = 0, got = 0;
    do {  // the daemon sends what waits on each look
        RunTo(clock_ += 0.01);
        Bytes packet(64);
        for (got = 0; ::recv(program_, packet.data(), packet.size(), 0) > 0;) ++got;
        delivered += got;
    } while (got > 0);
    EXPECT_LT(delivered, 3000u);
    // Sent away; the card then joins again, as it keeps looking for its network.
    Command("deauthenticate");
    Drive();
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_EQ(Events("disassociated").size(), 1u);
    EXPECT_EQ(Events("associated").size(), 2u);
}

TEST_F(SimExternal, ListensOnlyWhereNobodyElseCanBe) {
    const struct {
        const char* name;
        int (*prepare)(const std::string& path);  // a socket to close afterwards, or -1
        const char* refusal;                      // empty: it opens
    } rows[] = {
        {"Fresh", [](const std::string&) { return -1; }, ""},
        {"StaleSocket", [](const std::string& path) { return ::close(Socket(path, false)) - 1; },
         ""},
        {"LiveSocket", [](const std::string& path) { return Socket(path, false, true); },
         " is served by another program"},
        {"RegularFile", [](const std::string& path) { return (std::ofstream(path) << "x", -1); },
         " exists and is not a socket"},
        {"Symlink", [](const std::string& path) { return ::symlink("/tmp", path.c_str()) - 1; },
         " is a symbolic link"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder_ + "/" + row.name;
        const int held = row.prepare(path);
        std::string error;
        const auto external = CExternalAuthenticator::Open(path, error);
        if (held >= 0) ::close(held);
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0);
        EXPECT_TRUE(external ? !*row.refusal && (info.st_mode & 0777) == 0600
                             : *row.refusal && error.find(path + row.refusal) != std::string::npos)
            << error;
    }
}

}  // namespace
}  // namespace tarvik::driver::sim
