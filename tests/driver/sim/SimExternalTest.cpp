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

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return address;
}

int Client(const std::string& path) {
    const sockaddr_un address = AddressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// A socket bound at `path`, listening or left as a dead one would leave it.
int Bound(const std::string& path, bool listening) {
    const sockaddr_un address = AddressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (listening) ::listen(fd, 1);
    return fd;
}

class SimExternal : public SimHandshake {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/tarvik-ext-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        folder_ = folder;
        path_ = folder_ + "/ap.sock";
        std::ofstream(folder_ + "/world.json") << json{
            {"adapters",
             {{{"permanentMac", "00:11:22:00:00:01"}, {"options", {{"associationDelayMs", 10}}}}}},
            {"accessPoints",
             {{{"bssid", "00:1e:2a:30:00:09"},
               {"ssid", kExt.ssid},
               {"security", "wpa2-psk"},
               {"signal", {{"rssi", -50}}},
               {"authenticator", {{"external", path_}}},
               {"dhcp", {{"address", kExt.address}, {"gateway", "192.168.8.1"}}}}}}};
        LoadWorld(folder_ + "/world.json");
        device_ = Device(0);
    }
    void TearDown() override {
        if (program_ >= 0) ::close(program_);
        backend_.reset();
        std::filesystem::remove_all(folder_);
    }

    // The program's side: packets in, and the authenticator that answers.
    void SendRaw(const Bytes& packet) { ::send(program_, packet.data(), packet.size(), 0); }
    void Command(const char* name) {
        const std::string text = json{{"command", name}}.dump();
        SendRaw(Bytes{'J'} + Bytes(text.begin(), text.end()));
    }
    void StartAuthenticator() {
        AuthenticatorSetup setup;
        setup.apElement = StationSecurityElement(true, kCipherCcmp, kCipherCcmp, kAkmPsk);
        setup.bssid = kExt.bssid;
        setup.station = kStation;
        setup.config.anonce = Bytes(32, 0xA5);
        ASSERT_EQ(DerivePmk(kExt.passphrase, Bytes(kExt.ssid, kExt.ssid + 7), setup.pmk), 0);
        pmk_ = setup.pmk;
        auth_ = std::make_unique<CApAuthenticator>(setup, [this](std::span<const std::uint8_t> e) {
            Bytes eapol(e.begin(), e.end());
            if (eapol[layout::kKeyInformation + 1] & 0x40) MakeMessage3(eapol);  // install bit
            SendRaw(Bytes{'E'} + Bytes(kStation.begin(), kStation.end()) +
                    Bytes(kExt.bssid.begin(), kExt.bssid.end()) + Hex("888e") + eapol);
        });
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
                // Message 1 goes out once the station is there.
                if (auth_ && events_.size() == 1 && packet[0] == 'J') auth_->Start(now_);
                if (packet[0] != 'E' || !auth_) continue;
                if (EtherTypeOf(content) == kEtherTypeEapol && snonce_.empty())
                    snonce_.assign(content.begin() + 14 + layout::kKeyNonce,
                                   content.begin() + 14 + layout::kKeyNonce + 32);
                auth_->Receive(std::span(content).subspan(14), now_);
            }
        }
    }
    // Message 3 as the row wants it, its MIC made good again unless the row breaks it.
    void MakeMessage3(Bytes& eapol) {
        message3_ = eapol;
        if (!mutate_) return;
        mutate_(eapol);
        if (remic_) {
            PairwiseKey ptk;
            const Bytes anonce(32, 0xA5);
            ASSERT_EQ(DerivePairwiseKey(pmk_, std::span<const std::uint8_t, 6>(kExt.bssid),
                                        std::span<const std::uint8_t, 6>(kStation),
                                        std::span<const std::uint8_t, 32>(anonce),
                                        std::span<const std::uint8_t, 32>(snonce_), ptk),
                      0);
            std::fill_n(eapol.begin() + layout::kKeyMic, 16, 0);
            ASSERT_EQ(WriteEapolMic(2, ptk.Kck(), eapol), 0);
        }
    }
    std::vector<json> Events(const std::string& event) const {
        std::vector<json> found;
        for (const json& e : events_) {
            if (e.value("event", "") == event) found.push_back(e);
        }
        return found;
    }

    std::string folder_, path_;
    int program_ = -1;
    double clock_ = 0;
    std::array<std::uint8_t, kPmkLength> pmk_{};
    std::unique_ptr<CApAuthenticator> auth_;
    Bytes snonce_, message3_;
    std::function<void(Bytes&)> mutate_;
    bool remic_ = true;
    std::vector<json> events_;
};

TEST_F(SimExternal, ProgramDrivesTheHandshakeAndOpensThePort) {
    Connect(kExt, kExt.passphrase);
    Drive();
    EXPECT_FALSE(Connected(device_));  // no program: no association
    program_ = Client(path_);
    StartAuthenticator();
    Drive();
    ASSERT_TRUE(Connected(device_));
    const auto associated = Events("associated");
    ASSERT_EQ(associated.size(), 1u);
    EXPECT_EQ(associated[0]["station"], "00:11:22:00:00:01");
    EXPECT_EQ(associated[0]["bssid"], "00:1e:2a:30:00:09");
    EXPECT_EQ(associated[0]["ssid"], kExt.ssid);
    const Bytes element = StationSecurityElement(true, kCipherCcmp, kCipherCcmp, kAkmPsk);
    EXPECT_EQ(Hex(associated[0]["ie"].get<std::string>()), element);
    ASSERT_TRUE(auth_->IsAuthorized());
    const auto keys = Events("key");
    ASSERT_EQ(keys.size(), 2u);
    const auto tk = auth_->TemporalKey();
    EXPECT_EQ(keys[0]["kind"], "pairwise");
    EXPECT_EQ(Hex(keys[0]["key"].get<std::string>()), Bytes(tk.begin(), tk.end()));
    EXPECT_EQ(keys[0]["length"], 16);
    EXPECT_EQ(keys[1]["kind"], "group");
    EXPECT_EQ(Hex(keys[1]["key"].get<std::string>()), auth_->GroupKey());
    EXPECT_EQ(keys[1]["index"], auth_->GroupKeyIndex());
    EXPECT_EQ(keys[1]["rsc"].get<std::string>().size(), 16u);
    // The port opens on the program's word, not on the keys.
    EXPECT_FALSE(GatewayAnswers(kExt.gateway));
    Command("authorized");
    Drive();
    EXPECT_TRUE(GatewayAnswers(kExt.gateway));
    RunTo(clock_ += 2);  // the lease comes 1.5 s after the port opens
    EXPECT_EQ(Address(device_), kExt.address);
    // A second program is shut out; the first one leaving ends the association.
    const int second = Client(path_);
    Drive();
    char byte;
    EXPECT_EQ(::recv(second, &byte, 1, 0), 0);
    ::close(second);
    ::close(program_);
    program_ = -1;
    Drive();
    EXPECT_FALSE(Connected(device_));
}

struct Message3Row {
    const char* name;
    std::function<void(Bytes&)> mutate;
    bool remic;
    bool replay;
};
void PrintTo(const Message3Row& row, std::ostream* out) {
    *out << row.name;
}

class SimExternalMessage3 : public SimExternal, public testing::WithParamInterface<Message3Row> {};

// However message 3 is broken, the station installs no pairwise key from
// it, and a message 3 sent again installs none a second time.
TEST_P(SimExternalMessage3, InstallsAtMostOneKey) {
    program_ = Client(path_);
    mutate_ = GetParam().mutate;
    remic_ = GetParam().remic;
    Connect(kExt, kExt.passphrase);
    StartAuthenticator();
    Drive();
    if (GetParam().replay) {
        SendRaw(Bytes{'E'} + Bytes(kStation.begin(), kStation.end()) +
                Bytes(kExt.bssid.begin(), kExt.bssid.end()) + Hex("888e") + message3_);
        Drive();
    }
    std::size_t pairwise = 0;
    for (const json& key : Events("key")) pairwise += key["kind"] == "pairwise";
    EXPECT_EQ(pairwise, GetParam().mutate ? 0u : 1u);
}

void SetKeyDataLength(Bytes& eapol, std::size_t length) {
    eapol[layout::kKeyDataLength] = static_cast<std::uint8_t>(length >> 8);
    eapol[layout::kKeyDataLength + 1] = static_cast<std::uint8_t>(length);
}

INSTANTIATE_TEST_SUITE_P(
    Program, SimExternalMessage3,
    testing::Values(Message3Row{"BadMic", [](Bytes& e) { e[layout::kKeyMic] ^= 1; }, false, false},
                    Message3Row{"DescriptorVersion1",
                                [](Bytes& e) { e[layout::kKeyInformation + 1] ^= 0x03; }, true,
                                false},
                    Message3Row{"KeyDataPastTheBody",
                                [](Bytes& e) { SetKeyDataLength(e, e.size()); }, true, false},
                    Message3Row{"Replayed", nullptr, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimExternal, DropsHostilePacketsAndKeepsServing) {
    program_ = Client(path_);
    Connect(kExt, kExt.passphrase);
    Drive();
    ASSERT_TRUE(Connected(device_));
    const Bytes header = Bytes(kStation.begin(), kStation.end()) +
                         Bytes(kExt.bssid.begin(), kExt.bssid.end()) + Hex("0800");
    const Bytes hostile[] = {Hex("58 00"),
                             Bytes{'J', '{'},
                             Bytes{'J', '[', ']'},
                             Bytes{'J'} + Hex("7b22636f6d6d616e64223a317d"),  // {"command":1}
                             Bytes{'E'} + Bytes(13, 0),
                             Bytes{'E'} + header + Bytes(2387, 0),
                             Bytes(9000, 'E')};
    const std::size_t before = sink_.Count(SinkEvent::Kind::Frame);
    for (const Bytes& packet : hostile) SendRaw(packet);
    Drive();
    EXPECT_TRUE(Connected(device_));
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Frame), before);
    // The largest frame still passes.
    SendRaw(Bytes{'E'} + header + Bytes(2386, 0));
    Drive();
    EXPECT_EQ(sink_.Count(SinkEvent::Kind::Frame), before + 1);
    // Sent away; the card then joins again, as it keeps looking for its network.
    Command("deauthenticate");
    Drive();
    EXPECT_EQ(MediaEvents(false), 1u);
    EXPECT_EQ(Events("disassociated").size(), 1u);
    EXPECT_EQ(Events("associated").size(), 2u);
}

struct PathRow {
    const char* name;
    int (*prepare)(const std::string& path);  // a socket to close afterwards, or -1
    bool opens;
};

void PrintTo(const PathRow& row, std::ostream* out) {
    *out << row.name;
}

class ExternalSocketPath : public SimExternal, public testing::WithParamInterface<PathRow> {};

TEST_P(ExternalSocketPath, RefusesWhatIsNotAStaleSocketOfOurs) {
    backend_.reset();  // frees the scenario's socket
    const std::string path = folder_ + "/other.sock";
    const int held = GetParam().prepare(path);
    std::string error;
    const auto external = CExternalAuthenticator::Open(path, error);
    if (held >= 0) ::close(held);
    ASSERT_EQ(external != nullptr, GetParam().opens) << error;
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    // Made private, or refused with a message naming the path.
    EXPECT_TRUE(external ? (info.st_mode & 0777) == 0600 : error.find(path) != std::string::npos)
        << error;
}

INSTANTIATE_TEST_SUITE_P(
    Program, ExternalSocketPath,
    testing::Values(
        PathRow{"Fresh", [](const std::string&) { return -1; }, true},
        PathRow{"StaleSocket", [](const std::string& path) { return ::close(Bound(path, false)); },
                true},
        PathRow{"LiveSocket", [](const std::string& path) { return Bound(path, true); }, false},
        PathRow{"RegularFile",
                [](const std::string& path) { return (std::ofstream(path) << "x", -1); }, false},
        PathRow{"Symlink", [](const std::string& path) { return ::symlink("/tmp", path.c_str()); },
                false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::driver::sim
