// The station side of the WPA-PSK / WPA2-PSK EAPOL-Key exchanges: the 4-way
// handshake and the group key handshake, for the WPA descriptor (254) and
// the RSN descriptor (2). One object per connection attempt; the receive path
// hands it every EAPOL frame, it answers through the callbacks, installs the
// keys through them and reports its progress as SupplicantState numbers.
//
// Two rules go beyond answering every well-formed frame (IEEE 802.11-2016
// 12.7.2 and the key reinstallation attacks): a frame whose replay counter is
// not greater than that of the last frame whose MIC was accepted is dropped,
// and a pairwise or group key equal to the one installed is not installed
// again (a retransmitted message 3/4 is still answered with 4/4).
//
// All members lock one mutex, so setters from the connecting thread and
// frames on the receive thread may meet; the callbacks run under it and must
// not call back into the same object.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "connect/EapolKey.h"
#include "connect/KeyData.h"
#include "connect/PairwiseKey.h"
#include "connect/SupplicantCallbacks.h"
#include "ndis/NdisTypes.h"

namespace tarvik {

// The largest own or AP element kept (the preparation step's buffer).
inline constexpr std::size_t kSupplicantElementLimit = 400;

class CSupplicant {
  public:
    // A new SNonce is drawn before the first message 2/4.
    explicit CSupplicant(SupplicantCallbacks callbacks);
    ~CSupplicant();
    CSupplicant(const CSupplicant&) = delete;
    CSupplicant& operator=(const CSupplicant&) = delete;

    // Sets the PMK and forgets any PTK, confirmed or not.
    void SetPmk(std::span<const std::uint8_t, kPmkLength> pmk);
    void SetOwnAddress(const ndis::MacAddress& address);
    // SECURITY_PROTOCOL_WPA or _RSN; CIPHER_ flags; KEY_MGMT_ flags.
    void SetProtocol(std::uint32_t protocol);
    void SetCiphers(std::uint32_t pairwiseCipher, std::uint32_t groupCipher);
    void SetKeyManagement(std::uint32_t keyManagement);
    // The whole element, header included; empty clears. -1 (nothing kept)
    // above kSupplicantElementLimit bytes.
    int SetOwnElement(std::span<const std::uint8_t> element);
    int SetApWpaElement(std::span<const std::uint8_t> element);
    int SetApRsnElement(std::span<const std::uint8_t> element);
    void ClearReplayCounter();

    // One EAPOL frame from its version byte; `source` is the network's BSSID.
    // 0 when the frame was answered or its keys taken, -1 when it was
    // dropped (the reason is in the debug output).
    int ReceiveEapol(const ndis::MacAddress& source, std::span<const std::uint8_t> frame);

    // True once a MIC confirmed the PTK of a message 2/4.
    bool HasPtk() const;

  private:
    struct Received;
    struct GroupCipher {
        std::size_t rscLength = 0;
        int algorithm = 0;
    };
    struct GroupKey {
        int keyIndex = 0;
        bool transmit = false;
        std::vector<std::uint8_t> key;
        GroupCipher cipher;
    };

    int Receive(const ndis::MacAddress& source, std::span<const std::uint8_t> frame);
    bool TakeFrame(std::span<const std::uint8_t> bytes, Received& frame) const;
    int CheckKeyFrame(const Received& frame) const;
    int Dispatch(const Received& frame);
    bool ReplayCounterIncreased(const EapolKeyView& key) const;
    bool VerifyMic(const EapolKeyView& key);
    bool DecryptKeyData(Received& frame) const;
    bool Rc4WithKek(const EapolKeyView& key, std::span<std::uint8_t> data) const;

    int ProcessMessage1(const Received& frame);
    int SendMessage2(const Received& frame);
    int ProcessMessage3(const Received& frame);
    int SendMessage4(const Received& frame);
    void InstallPtk(const Received& frame);
    int GtkFromPairwise(const Received& frame, std::span<const std::uint8_t> gtkElement);

    int ProcessGroupMessage1(const Received& frame);
    std::optional<GroupKey> RsnGroupKey(const Received& frame);
    std::optional<GroupKey> WpaGroupKey(const Received& frame);
    bool DecryptWpaGroupKey(const Received& frame, std::size_t largest,
                            std::vector<std::uint8_t>& plain) const;
    int SendGroupMessage2(const Received& frame);
    std::optional<GroupCipher> CheckGroupCipher(std::size_t keyLength, std::size_t largest) const;
    int InstallGtk(GroupKey gtk, std::span<const std::uint8_t, 8> rsc);
    void KeysComplete();

    std::uint8_t ReplyDescriptorType() const;
    std::uint16_t ReplyKeyLength(const EapolKeyView& key) const;
    int SendFrame(const Received& frame, const EapolKeyFields& fields,
                  std::span<const std::uint8_t> keyData, std::span<const std::uint8_t, 16> kck);
    void SetState(int state);
    int State() const;
    void IgnoreTxBit(bool& transmit) const;

    mutable std::mutex mutex_;
    SupplicantCallbacks callbacks_;

    std::array<std::uint8_t, kPmkLength> pmk_{};
    std::uint32_t pmkLength_ = 0;
    PairwiseKey ptk_;
    PairwiseKey tptk_;
    bool ptkSet_ = false;
    bool tptkSet_ = false;
    std::array<std::uint8_t, kNonceLength> snonce_{};
    std::array<std::uint8_t, kNonceLength> anonce_{};
    bool renewSnonce_ = true;
    std::array<std::uint8_t, kEapolReplayCounterLength> replayCounter_{};
    bool replayCounterSet_ = false;

    ndis::MacAddress ownAddress_{};
    std::uint32_t protocol_ = 0;
    std::uint32_t pairwiseCipher_ = 0;
    std::uint32_t groupCipher_ = 0;
    std::uint32_t keyManagement_ = 0;
    std::vector<std::uint8_t> ownElement_;
    std::vector<std::uint8_t> apWpaElement_;
    std::vector<std::uint8_t> apRsnElement_;

    // What was last handed to setKey, to refuse reinstalling the same key.
    std::vector<std::uint8_t> installedPtk_;
    std::vector<std::uint8_t> installedGtk_;
};

}  // namespace tarvik
