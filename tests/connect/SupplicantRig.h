// A supplicant set up for one recorded handshake of the shared reference
// data (wpa/vectors.json): the station's address, PMK, ciphers and element
// of the recording, its SNonce as the random source, and a real key
// installer whose descriptors are kept. Frames come from the capture file
// when the recording has one, else from the vectors.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "connect/EapolKey.h"
#include "connect/EapolMic.h"
#include "connect/KeyInstaller.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "connect/WpaDebug.h"
#include "ndis/Keys.h"
#include "tests/support/EapolCapture.h"
#include "tests/support/HexBytes.h"

namespace tarvik::testing_support {

using Json = nlohmann::json;

inline const Json& Handshake(const std::string& name) {
    static const Json vectors = Json::parse(std::ifstream(TARVIK_TESTDATA_DIR "/wpa/vectors.json"));
    for (const Json& entry : vectors.at("handshakes")) {
        if (entry.at("name") == name) return entry;
    }
    throw std::runtime_error("no handshake " + name);
}

inline Bytes Field(const Json& entry, const std::string& name) {
    return Hex(entry.at(name).get<std::string>());
}

inline ndis::MacAddress Mac(const Json& entry, const std::string& name) {
    const Bytes bytes = Field(entry, name);
    ndis::MacAddress mac{};
    std::copy_n(bytes.begin(), mac.size(), mac.begin());
    return mac;
}

// A frame of the recording: the captured packet unless it was sent
// encrypted, else the vectors' copy.
inline Bytes Message(const Json& entry, const std::string& name) {
    if (entry.contains("capture")) {
        const Json& capture = entry.at("capture");
        const Json& packet = capture.at("packets").value(name, Json::object());
        if (packet.contains("index") && !packet.value("tkip", false)) {
            const auto file = ndis::testing_support::ReadPcap(
                TARVIK_TESTDATA_DIR "/wpa/" + capture.at("file").get<std::string>());
            if (file) {
                if (auto frame = ndis::testing_support::EapolOfPacket(*file, packet.at("index"))) {
                    return *frame;
                }
            }
            ADD_FAILURE() << name << " is not an EAPOL frame of " << capture.at("file");
        }
    }
    if (entry.at("frames").contains(name)) return Field(entry.at("frames"), name);
    return Field(entry.at("extra_frames"), name);
}

// Sets the replay counter to `counter` and signs the frame again with `kck`,
// as the authenticator would for a retransmission.
inline Bytes Resign(Bytes frame, const Bytes& kck, std::uint64_t counter) {
    for (int i = 0; i < 8; ++i) {
        frame[eapol_layout::kReplayCounter + i] =
            static_cast<std::uint8_t>(counter >> (56 - 8 * i));
    }
    const int version = frame[eapol_layout::kKeyInformation + 1] & KEY_INFO_VERSION_MASK;
    EXPECT_EQ(WriteEapolMic(version, std::span<const std::uint8_t, 16>(kck.data(), 16), frame), 0);
    return frame;
}

inline std::uint64_t CounterOf(const Bytes& frame) {
    std::uint64_t counter = 0;
    for (int i = 0; i < 8; ++i) counter = counter << 8 | frame[eapol_layout::kReplayCounter + i];
    return counter;
}

class SupplicantRig : public IAddKeyTarget {
  public:
    explicit SupplicantRig(const std::string& name)
        : entry(Handshake(name)),
          aa(Mac(entry, "aa")),
          kck(Field(entry, "kck")),
          supplicant(Callbacks()),
          installer_(*this, aa) {
        const Bytes pmk = Field(entry, "pmk");
        supplicant.SetPmk(std::span<const std::uint8_t, 32>(pmk.data(), 32));
        supplicant.SetOwnAddress(Mac(entry, "spa"));
        const bool rsn = entry.at("descriptor_type") == EAPOL_KEY_TYPE_RSN;
        supplicant.SetProtocol(rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA);
        auto cipher = [&](const char* field) {
            return entry.at(field) == "CCMP" ? CIPHER_CCMP : CIPHER_TKIP;
        };
        supplicant.SetCiphers(cipher("pairwise_cipher"), cipher("group_cipher"));
        supplicant.SetKeyManagement(KEY_MGMT_PSK);
        // The element the station sent, as the association information gives it.
        const Bytes msg2 = Field(entry.at("frames"), "msg2");
        EXPECT_EQ(supplicant.SetOwnElement(std::span(msg2).subspan(eapol_layout::kKeyData)), 0);
        SetWpaDebugObserver([this](int, const std::string& line) { messages.push_back(line); });
    }
    ~SupplicantRig() override { SetWpaDebugObserver({}); }

    int Feed(const Bytes& frame) { return supplicant.ReceiveEapol(aa, frame); }
    bool Logged(const std::string& text) const {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string& line) { return line.find(text) != line.npos; });
    }
    Result AddKey(std::span<const std::uint8_t> descriptor) override {
        keys.push_back(ndis::ParseKey(descriptor).value());
        return 0;
    }

    const Json& entry;
    const ndis::MacAddress aa;
    const Bytes kck;
    std::vector<Bytes> nonces{Field(entry, "snonce")};
    std::vector<Bytes> sent;
    std::vector<ndis::Key80211> keys;
    std::vector<int> states;
    std::vector<std::string> messages;
    CSupplicant supplicant;

  private:
    SupplicantCallbacks Callbacks() {
        SupplicantCallbacks callbacks;
        callbacks.setState = [this](int state) { states.push_back(state); };
        callbacks.getState = [this] { return states.empty() ? 0 : states.back(); };
        callbacks.setKey = [this](int algorithm, const ndis::MacAddress& address, int index,
                                  bool transmit, std::span<const std::uint8_t> sequence,
                                  std::span<const std::uint8_t> key) {
            return installer_.SetKey(algorithm, address, index, transmit, sequence, key);
        };
        callbacks.sendFrame = [this](const ndis::MacAddress& destination, std::uint16_t type,
                                     std::span<const std::uint8_t> frame) {
            EXPECT_EQ(destination, aa);
            EXPECT_EQ(type, ETHER_TYPE_EAPOL);
            sent.emplace_back(frame.begin(), frame.end());
            return 0;
        };
        // Each new SNonce is the next of `nonces`; the recorded one comes first.
        callbacks.randomBytes = [this](std::span<std::uint8_t> out) {
            if (drawn_ >= nonces.size()) return -1;
            std::copy_n(nonces[drawn_++].begin(), out.size(), out.begin());
            return 0;
        };
        return callbacks;
    }

    std::size_t drawn_ = 0;
    CKeyInstaller installer_;
};

}  // namespace tarvik::testing_support
