// The access point's side of the WPA-PSK and WPA2-PSK key handshakes
// (IEEE 802.11i): the 4-way handshake after association, then for WPA the
// group key handshake that hands out the GTK, and group key handshakes again
// on the rekey interval. Frames leave through the send function as EAPOL
// frames (from the version byte); frames from the station arrive through
// Receive. A message not answered is sent again each second with a new
// replay counter; after the last try the authenticator gives up and the
// station is to be deauthenticated.
//
// Runs on the world's one thread; time comes in with each call.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "connect/EapolKey.h"
#include "connect/PairwiseKey.h"
#include "driver/Backend.h"
#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

// What one association agreed on, and the keys to start from.
struct AuthenticatorSetup {
    bool rsn = true;                             // RSN (WPA2) or WPA descriptors
    std::uint32_t pairwiseCipher = kCipherCcmp;  // kCipherCcmp or kCipherTkip
    std::uint32_t groupCipher = kCipherCcmp;     // kCipherCcmp or kCipherTkip
    std::vector<std::uint8_t> apElement;         // the beacon's RSN or WPA element
    MacAddress bssid{};
    MacAddress station{};
    std::array<std::uint8_t, kPmkLength> pmk{};
    AuthenticatorConfig config;
};

class CApAuthenticator {
  public:
    using SendFunction = std::function<void(std::span<const std::uint8_t> eapol)>;

    // Tries per message before giving up, one second apart.
    static constexpr int kAttempts = 4;

    CApAuthenticator(AuthenticatorSetup setup, SendFunction send);
    ~CApAuthenticator();
    CApAuthenticator(const CApAuthenticator&) = delete;
    CApAuthenticator& operator=(const CApAuthenticator&) = delete;

    // Sends message 1 of the 4-way handshake.
    void Start(Clock::time_point now);
    // An EAPOL frame of the station; anything that is not the awaited
    // message with a valid MIC is ignored.
    void Receive(std::span<const std::uint8_t> frame, Clock::time_point now);
    std::optional<Clock::time_point> NextDeadline() const;
    void Run(Clock::time_point now);

    // True once the station holds both keys: the controlled port may open.
    bool IsAuthorized() const { return authorized_; }
    // True when a message went unanswered: the station is to be deauthenticated.
    bool HasFailed() const { return step_ == Step::Failed; }
    // The TK of the PTK (32 bytes TKIP, 16 CCMP); empty until message 2 checked.
    std::span<const std::uint8_t> TemporalKey() const;
    const std::vector<std::uint8_t>& GroupKey() const { return gtk_; }
    int GroupKeyIndex() const { return gtkIndex_; }

  private:
    enum class Step { Idle, AwaitMessage2, AwaitMessage4, AwaitGroup2, Done, Failed };

    int DescriptorVersion() const;
    std::uint8_t DescriptorType() const;
    std::uint16_t PairwiseKeyLength() const;
    std::uint16_t GroupKeyLength() const;

    void SendMessage1();
    void SendMessage3();
    void SendGroupMessage1();
    void Resend();
    void Send(EapolKeyFields fields, std::span<const std::uint8_t> keyData,
              std::span<const std::uint8_t, 16> iv, bool withMic);
    std::vector<std::uint8_t> EncryptKeyData(std::vector<std::uint8_t> plain,
                                             std::span<const std::uint8_t, 16> iv) const;
    std::vector<std::uint8_t> GtkKde() const;
    void Begin(Step step, Clock::time_point now);

    bool IsReply(const EapolKeyView& key, std::uint16_t required, std::uint16_t forbidden) const;
    bool TakeMessage2(const EapolKeyView& key);
    void OnMessage4(Clock::time_point now);
    void OnGroupMessage2(Clock::time_point now);
    void Authorize(Clock::time_point now);
    void NewGroupKey();
    void FillRandom(std::span<std::uint8_t> bytes);

    AuthenticatorSetup setup_;
    SendFunction send_;
    Step step_ = Step::Idle;
    std::uint64_t nextCounter_;
    std::uint64_t stepFirstCounter_ = 0;  // the replies of this step carry one of these
    std::uint64_t lastCounter_ = 0;
    int attempts_ = 0;
    std::optional<Clock::time_point> retryAt_;
    std::optional<Clock::time_point> rekeyAt_;
    bool authorized_ = false;

    std::array<std::uint8_t, kNonceLength> anonce_{};
    PairwiseKey ptk_;
    bool ptkSet_ = false;
    std::vector<std::uint8_t> gtk_;
    int gtkIndex_ = 1;
};

}  // namespace tarvik::driver::sim
