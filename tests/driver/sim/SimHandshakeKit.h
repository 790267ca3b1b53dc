// A card of handshake.json joining a WPA network with the station's own
// supplicant: the card's received EAPOL frames go to it, its answers go back
// through WriteFrame and its keys through OID_802_11_ADD_KEY.
#pragma once

#include "SimTestWorld.h"
#include "connect/KeyInstaller.h"
#include "connect/PmkDerivation.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "driver/sim/SimFrames.h"
#include "driver/sim/SimSecurity.h"
#include "tests/support/HexBytes.h"

namespace tarvik::driver::sim {

using namespace ndis;
using testing_support::Bytes;
using testing_support::Hex;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline constexpr MacAddress kStation{0x00, 0x11, 0x22, 0, 0, 1},
    kRecordedAp{0x00, 0x11, 0x22, 0, 0, 0};

// Of handshake.json; RSN networks are CCMP, WPA ones TKIP.
struct Network {
    const char* ssid;
    MacAddress bssid;
    bool rsn;
    const char* passphrase;
    std::uint32_t gateway;
    const char* address;
};
inline constexpr const char* kHexKey =
    "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
inline const Network kWpa2Home{
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

}  // namespace tarvik::driver::sim
