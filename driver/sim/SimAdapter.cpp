#include "driver/sim/SimAdapter.h"

#include <algorithm>

#include "connect/PmkDerivation.h"
#include "core/ResultCodes.h"
#include "driver/sim/SimFrames.h"
#include "ndis/NdisTypes.h"

namespace tarvik::driver::sim {

namespace {

constexpr std::size_t kMaxFrame = 2400;
constexpr auto kRangeCheckInterval = std::chrono::seconds(1);

bool HasType(const AdapterCapabilities& caps, NetworkType type) {
    return std::find(caps.networkTypes.begin(), caps.networkTypes.end(), type) !=
           caps.networkTypes.end();
}

std::vector<std::uint8_t> SsidBytes(const std::string& ssid) {
    return std::vector<std::uint8_t>(ssid.begin(), ssid.end());
}

}  // namespace

SimAdapter::SimAdapter(const Adapter& config, const SimWorld& world, SinkRelay& sink)
    : config_(config),
      world_(world),
      sink_(sink),
      now_(world.start),
      dhcp_(config, world.start, world.wallStart),
      rssiTrigger_(config.options.sensitivityDbm) {
    counters_ = {config.counters.xmitOk, config.counters.rcvOk, config.counters.xmitError,
                 config.counters.rcvError, config.counters.rcvNoBuffer};
    if (config_.wireless) {
        // A card comes up with the list of the scan it made when it started.
        Scan();
        if (config_.options.autoRescanSeconds > 0) {
            nextRescan_ = now_ + std::chrono::seconds(config_.options.autoRescanSeconds);
        }
    } else if (config_.wiredDhcp.delayMs == 0) {
        dhcp_.Settle(now_, &config_.wiredDhcp);
    } else {
        dhcp_.Begin(now_, &config_.wiredDhcp);
    }
}

bool SimAdapter::CanHear(const SimAccessPoint& ap) const {
    const AdapterCapabilities& caps = config_.capabilities;
    switch (ap.Config().networkType) {
        case NetworkType::FH:
            return HasType(caps, NetworkType::FH);
        case NetworkType::DS:
        case NetworkType::OFDM24:
            // 802.11b and 802.11g cards hear each other's access points.
            return HasType(caps, NetworkType::DS) || HasType(caps, NetworkType::OFDM24);
        case NetworkType::OFDM5:
            return HasType(caps, NetworkType::OFDM5);
    }
    return false;
}

bool SimAdapter::InRange(const SimAccessPoint& ap, double seconds) const {
    return ap.IsOnAir(seconds) && ap.Rssi(seconds) >= config_.options.sensitivityDbm;
}

void SimAdapter::Scan() {
    const double seconds = Seconds(now_);
    std::vector<std::size_t> heard;
    for (std::size_t i = 0; i < world_.accessPoints.size(); ++i) {
        const SimAccessPoint& ap = world_.accessPoints[i];
        if (CanHear(ap) && InRange(ap, seconds)) heard.push_back(i);
    }
    // A card sweeps its channels in order and lists what it heard that way.
    std::stable_sort(heard.begin(), heard.end(), [&](std::size_t a, std::size_t b) {
        return world_.accessPoints[a].Config().channel < world_.accessPoints[b].Config().channel;
    });
    scanList_.clear();
    for (std::size_t i : heard) {
        const SimAccessPoint& ap = world_.accessPoints[i];
        scanList_.push_back(ap.ScanEntry(seconds, ap.Rssi(seconds)));
    }
}

bool SimAdapter::HasWepKey() const {
    return std::any_of(keys_.begin(), keys_.end(), [](const Key& key) {
        return !key.pairwise && (key.material.size() == 5 || key.material.size() == 13);
    });
}

bool SimAdapter::HasPairwiseKey() const {
    return std::any_of(keys_.begin(), keys_.end(), [](const Key& key) { return key.pairwise; });
}

bool SimAdapter::WepKeyMatches(const SimAccessPoint& ap) const {
    // The station sends with its transmit key (or key 0); the access point
    // decrypts with its own key of the same index.
    const Key* transmit = nullptr;
    for (const Key& key : keys_) {
        if (key.pairwise || (key.material.size() != 5 && key.material.size() != 13)) continue;
        if ((key.index & 0x80000000u) || (!transmit && (key.index & 0xFF) == 0)) transmit = &key;
    }
    if (!transmit) return false;
    const std::size_t index = transmit->index & 0xFF;
    return index < ap.Config().wepKeys.size() && ap.Config().wepKeys[index] == transmit->material;
}

bool SimAdapter::Fits(const SimAccessPoint& ap) const {
    if (!CanHear(ap)) return false;
    // An access point played by a program takes one station, and only while
    // the program is there.
    if (const auto* external = ap.External();
        external && (!external->HasProgram() || external->IsClaimed())) {
        return false;
    }
    const AccessPoint& config = ap.Config();
    if (config.adHoc ? infrastructureMode_ == ndis::Ndis802_11Infrastructure
                     : infrastructureMode_ == ndis::Ndis802_11IBSS) {
        return false;
    }
    const std::uint32_t auth = authenticationMode_;
    const std::uint32_t enc = encryptionStatus_;
    if (ap.IsOpen()) {
        return (auth == ndis::Ndis802_11AuthModeOpen ||
                auth == ndis::Ndis802_11AuthModeAutoSwitch) &&
               enc == ndis::Ndis802_11EncryptionDisabled;
    }
    if (ap.IsWep()) {
        if (enc != ndis::Ndis802_11Encryption1Enabled || !HasWepKey()) return false;
        // Shared-key authentication proves the key; open authentication
        // associates with any key, and the frames then fail to decrypt.
        if (auth == ndis::Ndis802_11AuthModeShared) return WepKeyMatches(ap);
        return auth == ndis::Ndis802_11AuthModeOpen || auth == ndis::Ndis802_11AuthModeAutoSwitch;
    }
    const bool rsn =
        auth == ndis::Ndis802_11AuthModeWPA2 || auth == ndis::Ndis802_11AuthModeWPA2PSK;
    const bool wpa = auth == ndis::Ndis802_11AuthModeWPA || auth == ndis::Ndis802_11AuthModeWPAPSK;
    if (!rsn && !wpa) return false;
    const SecurityElement& element = rsn ? config.rsn : config.wpa;
    if (!element.present) return false;
    const bool psk =
        auth == ndis::Ndis802_11AuthModeWPAPSK || auth == ndis::Ndis802_11AuthModeWPA2PSK;
    if (!(element.keyManagement & (psk ? kAkmPsk : kAkm8021X))) return false;
    std::uint32_t allowed = 0;
    if (enc == ndis::Ndis802_11Encryption3Enabled) allowed = kCipherTkip | kCipherCcmp;
    if (enc == ndis::Ndis802_11Encryption2Enabled) allowed = kCipherTkip;
    if (!(element.pairwiseCiphers & allowed)) return false;
    return (element.groupCipher & (allowed | kCipherWep40 | kCipherWep104)) != 0;
}

void SimAdapter::LookForNetwork(Clock::time_point now) {
    if (!desiredSsid_) return;
    const double seconds = Seconds(now);
    std::optional<std::size_t> best;
    int bestRssi = -1000;
    for (std::size_t i = 0; i < world_.accessPoints.size(); ++i) {
        const SimAccessPoint& ap = world_.accessPoints[i];
        // An empty SSID asks for any network that fits.
        if (!desiredSsid_->empty() && SsidBytes(ap.Config().ssid) != *desiredSsid_) continue;
        if (desiredBssid_ && ap.Config().bssid != *desiredBssid_) continue;
        if (!InRange(ap, seconds) || !Fits(ap)) continue;
        const int rssi = ap.Rssi(seconds);
        if (!best || rssi > bestRssi) {
            best = i;
            bestRssi = rssi;
        }
    }
    if (best) {
        pendingAssociation_ = std::make_pair(
            now + std::chrono::milliseconds(config_.options.associationDelayMs), *best);
    }
}

void SimAdapter::CompleteAssociation(Clock::time_point now, std::size_t apIndex) {
    const SimAccessPoint& ap = world_.accessPoints[apIndex];
    const bool keyMatches = !ap.IsWep() || WepKeyMatches(ap);
    session_ = std::make_unique<ApSession>(ap, config_.currentMac, *this, keyMatches);
    associationInfo_ = BuildAssociationInfo(ap);
    if (world_.monitor) world_.monitor->OnAssociation(ap, config_.currentMac, RequestElements(ap));
    sink_.OnMediaEvent(DeviceName(), config_.vendorDescription, true);
    if (!ap.IsWpaFamily()) {
        session_->OpenPort(now);
        StartDhcp(now);
    } else if (ap.External()) {
        session_->StartExternal(StationElement(ap));
    } else if (auto setup = HandshakeSetup(ap)) {
        session_->StartAuthenticator(std::move(*setup), now);
    }
}

std::optional<AuthenticatorSetup> SimAdapter::HandshakeSetup(const SimAccessPoint& ap) const {
    const AccessPoint& config = ap.Config();
    const bool rsn = authenticationMode_ == ndis::Ndis802_11AuthModeWPA2PSK;
    if (config.passphrase.empty() ||
        (!rsn && authenticationMode_ != ndis::Ndis802_11AuthModeWPAPSK)) {
        return std::nullopt;
    }
    const SecurityElement& element = rsn ? config.rsn : config.wpa;
    AuthenticatorSetup setup;
    setup.rsn = rsn;
    // The ciphers the station's association request named.
    setup.pairwiseCipher = encryptionStatus_ == ndis::Ndis802_11Encryption3Enabled &&
                                   (element.pairwiseCiphers & kCipherCcmp)
                               ? kCipherCcmp
                               : kCipherTkip;
    setup.groupCipher = element.groupCipher == kCipherCcmp ? kCipherCcmp : kCipherTkip;
    setup.apElement = rsn ? ap.RsnElement() : ap.WpaElement();
    setup.bssid = config.bssid;
    setup.station = config_.currentMac;
    setup.config = config.authenticator;
    const std::span<const std::uint8_t> ssid(
        reinterpret_cast<const std::uint8_t*>(config.ssid.data()), config.ssid.size());
    if (DerivePmk(config.passphrase, ssid, setup.pmk) != 0) return std::nullopt;
    return setup;
}

bool SimAdapter::HoldsPairwiseKey(std::span<const std::uint8_t> temporalKey) const {
    return std::any_of(keys_.begin(), keys_.end(), [&](const Key& key) {
        return key.pairwise && std::equal(key.material.begin(), key.material.end(),
                                          temporalKey.begin(), temporalKey.end());
    });
}

void SimAdapter::StartDhcp(Clock::time_point now) {
    // With an authenticator, whether the exchange gets through is decided
    // when it happens (the station installs its key after the last message).
    const bool reachable =
        session_ && (session_->Authenticator() != nullptr || session_->KeyMatches());
    dhcp_.Begin(now, reachable ? &session_->Ap().Config().dhcp : nullptr);
}

void SimAdapter::Disassociate() {
    pendingAssociation_.reset();
    if (!session_) return;
    session_.reset();
    // Pairwise keys belong to the association; WEP keys stay with the card.
    std::erase_if(keys_, [](const Key& key) { return key.pairwise; });
    sink_.OnMediaEvent(DeviceName(), config_.vendorDescription, false);
    if (dhcp_.Drop()) sink_.OnAddressChanged(DeviceName());
}

bool SimAdapter::SettleInitialAssociation() {
    if (!config_.association || !config_.wireless) return false;
    std::size_t index = 0;
    while (index < world_.accessPoints.size() &&
           world_.accessPoints[index].Config().bssid != config_.association->bssid) {
        ++index;
    }
    if (index == world_.accessPoints.size()) return false;
    const SimAccessPoint& ap = world_.accessPoints[index];
    const AccessPoint& config = ap.Config();
    const AdapterCapabilities& caps = config_.capabilities;
    infrastructureMode_ = config.adHoc ? ndis::Ndis802_11IBSS : ndis::Ndis802_11Infrastructure;
    authenticationMode_ = ndis::Ndis802_11AuthModeOpen;
    encryptionStatus_ = ndis::Ndis802_11EncryptionDisabled;
    if (ap.IsWep()) {
        encryptionStatus_ = ndis::Ndis802_11Encryption1Enabled;
        if (!config.wepKeys.empty()) keys_.push_back({0x80000000u, config.wepKeys[0], false});
    } else if (ap.IsWpaFamily()) {
        // The keys were negotiated before the daemon started.
        const bool rsn = config.rsn.present && caps.wpa2;
        const SecurityElement& element = rsn ? config.rsn : config.wpa;
        const bool psk = element.keyManagement & kAkmPsk;
        authenticationMode_ =
            rsn ? (psk ? ndis::Ndis802_11AuthModeWPA2PSK : ndis::Ndis802_11AuthModeWPA2)
                : (psk ? ndis::Ndis802_11AuthModeWPAPSK : ndis::Ndis802_11AuthModeWPA);
        const bool aes =
            (element.pairwiseCiphers & kCipherCcmp) && caps.bestEncryption == BestEncryption::AES;
        encryptionStatus_ =
            aes ? ndis::Ndis802_11Encryption3Enabled : ndis::Ndis802_11Encryption2Enabled;
        keys_.push_back({0xC0000000u, std::vector<std::uint8_t>(aes ? 16 : 32, 0), true});
    }
    if (CheckAuthenticationMode(authenticationMode_) != 0 ||
        CheckEncryptionStatus(encryptionStatus_) != 0 || !Fits(ap)) {
        keys_.clear();
        return false;
    }
    desiredSsid_ = SsidBytes(config.ssid);
    session_ = std::make_unique<ApSession>(ap, config_.currentMac, *this, true);
    associationInfo_ = BuildAssociationInfo(ap);
    session_->OpenPort(now_);
    dhcp_.Settle(now_, &config.dhcp);
    return true;
}

std::optional<Clock::time_point> SimAdapter::NextDeadline() const {
    std::optional<Clock::time_point> next;
    auto consider = [&next](std::optional<Clock::time_point> t) {
        if (t && (!next || *t < *next)) next = t;
    };
    if (pendingAssociation_) consider(pendingAssociation_->first);
    if (session_) consider(session_->NextDeadline());
    consider(dhcp_.NextDeadline());
    consider(nextRescan_);
    // The association's signal and a wanted network are checked every second.
    if (session_ || (desiredSsid_ && !pendingAssociation_)) consider(now_ + kRangeCheckInterval);
    return next;
}

void SimAdapter::Advance(Clock::time_point now) {
    if (now < now_) now = now_;
    now_ = now;
    const double seconds = Seconds(now);
    if (pendingAssociation_ && pendingAssociation_->first <= now) {
        const std::size_t index = pendingAssociation_->second;
        pendingAssociation_.reset();
        const SimAccessPoint& ap = world_.accessPoints[index];
        if (InRange(ap, seconds) && Fits(ap)) CompleteAssociation(now, index);
    }
    if (session_ && !InRange(session_->Ap(), seconds)) {
        // Lost the access point; the card keeps looking for the same SSID.
        Disassociate();
    }
    if (session_) {
        const bool wasOpen = session_->PortOpen();
        session_->Run(now);
        if (!wasOpen && session_->PortOpen()) StartDhcp(now);
    }
    // A station that never proved the passphrase, or that its access point's
    // program sent away, is deauthenticated.
    if (session_ && session_->IsRejected()) Disassociate();
    if (dhcp_.Run(now, !session_ || session_->KeyMatches())) sink_.OnAddressChanged(DeviceName());
    if (nextRescan_ && *nextRescan_ <= now) {
        Scan();
        nextRescan_ = now + std::chrono::seconds(config_.options.autoRescanSeconds);
    }
    if (!session_ && !pendingAssociation_) LookForNetwork(now);
}

bool SimAdapter::SendsProtected() const {
    return session_ && session_->Ap().Config().privacy && session_->PortOpen();
}

void SimAdapter::MonitorData(bool toAp, std::span<const std::uint8_t> frame) const {
    if (world_.monitor && session_) {
        world_.monitor->OnData(session_->Ap(), toAp, frame, SendsProtected());
    }
}

void SimAdapter::DeliverToStation(std::span<const std::uint8_t> frame, bool readable) {
    MonitorData(false, frame);
    if (!readable) {
        ++counters_.rcvError;
        return;
    }
    if (!sink_.Connected()) {
        ++counters_.rcvNoBuffer;
        return;
    }
    ++counters_.rcvOk;
    sink_.OnFrameReceived(DeviceName(), frame);
}

std::uint32_t SimAdapter::WriteFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() < kEthernetHeaderSize || frame.size() > kMaxFrame) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!config_.wireless) {
        ++counters_.xmitOk;
        return 0;
    }
    if (!session_) {
        ++counters_.xmitError;
        return ERROR_GEN_FAILURE;
    }
    ++counters_.xmitOk;
    MonitorData(true, frame);
    const bool wasOpen = session_->PortOpen();
    session_->OnFrameFromStation(frame, now_);
    if (!wasOpen && session_->PortOpen()) StartDhcp(now_);
    return 0;
}

std::uint32_t SimAdapter::ReleaseAddress() {
    if (dhcp_.IsStatic()) return ERROR_NOT_SUPPORTED;
    if (dhcp_.Release()) sink_.OnAddressChanged(DeviceName());
    return 0;
}

}  // namespace tarvik::driver::sim
