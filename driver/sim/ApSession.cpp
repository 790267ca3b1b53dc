#include "driver/sim/ApSession.h"

#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

#include "driver/sim/ScenarioFields.h"
#include "driver/sim/SimFrames.h"

namespace tarvik::driver::sim {

namespace {

// Frames due at one moment beyond this are dropped, not sent in a burst
// (after the clock jumped, for example).
constexpr int kMaxFramesPerRun = 50;

std::uint32_t AddressOf(const std::string& text) {
    std::uint32_t address = 0;
    ParseIpv4(text, address);
    return address;
}

std::string FormatHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

// "00:11:22:33:44:55"
std::string FormatMac(const MacAddress& mac) {
    std::string text;
    for (const std::uint8_t byte : mac) {
        if (!text.empty()) text += ':';
        text += FormatHex(std::span(&byte, 1));
    }
    return text;
}

}  // namespace

ApSession::ApSession(const SimAccessPoint& ap, const MacAddress& station, IStationPort& port,
                     bool keyMatches)
    : ap_(ap), station_(station), port_(port), keyMatches_(keyMatches) {
    // A fixed seed per access point keeps the traffic reproducible.
    random_ = 0x9E3779B9u ^ (static_cast<std::uint32_t>(ap.Config().bssid[3]) << 16) ^
              (static_cast<std::uint32_t>(ap.Config().bssid[4]) << 8) ^ ap.Config().bssid[5];
}

ApSession::~ApSession() {
    if (!external_) return;
    external_->SendEvent(R"({"event":"disassociated"})");
    external_->Release();
}

std::uint32_t ApSession::NextRandom() {
    random_ = random_ * 1664525u + 1013904223u;
    return random_ >> 8;
}

void ApSession::OpenPort(Clock::time_point now) {
    portOpen_ = true;
    const double rate = ap_.Config().traffic.framesPerSecond;
    if (rate > 0 && !nextFrame_) {
        nextFrame_ = now + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(1.0 / rate));
    }
}

bool ApSession::KeyMatches() const {
    if (!authenticator_) return keyMatches_;
    const auto tk = authenticator_->TemporalKey();
    return !tk.empty() && port_.HoldsPairwiseKey(tk);
}

void ApSession::StartAuthenticator(AuthenticatorSetup setup, Clock::time_point now) {
    authenticator_ = std::make_unique<CApAuthenticator>(
        std::move(setup), [this](std::span<const std::uint8_t> eapol) { SendEapol(eapol); });
    authenticator_->Start(now);
}

void ApSession::StartExternal(std::span<const std::uint8_t> stationElement) {
    external_ = ap_.External();
    external_->Claim();
    nlohmann::json event = {{"event", "associated"},
                            {"station", FormatMac(station_)},
                            {"bssid", FormatMac(ap_.Config().bssid)},
                            {"ssid", ap_.Config().ssid},
                            {"ie", FormatHex(stationElement)}};
    // An SSID is bytes: what is not UTF-8 is replaced rather than thrown on.
    external_->SendEvent(event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void ApSession::ReportKey(bool pairwise, std::uint32_t index, std::uint64_t rsc,
                          std::span<const std::uint8_t> key) {
    if (!external_) return;
    std::uint8_t rscBytes[8];
    for (int i = 0; i < 8; ++i) rscBytes[i] = static_cast<std::uint8_t>(rsc >> (8 * i));
    const nlohmann::json event = {{"event", "key"},
                                  {"kind", pairwise ? "pairwise" : "group"},
                                  {"index", index},
                                  {"length", key.size()},
                                  {"rsc", FormatHex(rscBytes)},
                                  {"key", FormatHex(key)}};
    external_->SendEvent(event.dump());
}

void ApSession::RunExternal(Clock::time_point now) {
    while (!externalRejected_) {
        auto inbound = external_->TakeInbound();
        if (!inbound) return;
        switch (inbound->kind) {
            case CExternalAuthenticator::Inbound::Kind::Frame:
                port_.DeliverToStation(inbound->frame, true);
                break;
            case CExternalAuthenticator::Inbound::Kind::Authorized:
                if (!portOpen_) OpenPort(now);
                break;
            case CExternalAuthenticator::Inbound::Kind::Deauthenticate:
            case CExternalAuthenticator::Inbound::Kind::Gone:
                externalRejected_ = true;
                break;
        }
    }
}

void ApSession::SendEapol(std::span<const std::uint8_t> eapol) {
    std::vector<std::uint8_t> frame(station_.begin(), station_.end());
    frame.insert(frame.end(), ap_.Config().bssid.begin(), ap_.Config().bssid.end());
    frame.push_back(static_cast<std::uint8_t>(kEtherTypeEapol >> 8));
    frame.push_back(static_cast<std::uint8_t>(kEtherTypeEapol & 0xFF));
    frame.insert(frame.end(), eapol.begin(), eapol.end());
    port_.DeliverToStation(frame, true);
}

void ApSession::OnFrameFromStation(std::span<const std::uint8_t> frame, Clock::time_point now) {
    const auto etherType = EtherTypeOf(frame);
    if (!etherType) return;
    // The program hears everything the station sends to its access point.
    if (external_) external_->SendFrame(frame);
    if (*etherType == kEtherTypeEapol) {
        if (!authenticator_) return;
        authenticator_->Receive(frame.subspan(kEthernetHeaderSize), now);
        if (authenticator_->IsAuthorized() && !portOpen_) OpenPort(now);
        return;
    }
    if (!portOpen_) return;
    // The gateway answers ARP requests for its own address.
    const auto request = ParseArpRequest(frame);
    const std::uint32_t gateway = AddressOf(ap_.Config().dhcp.gateway);
    if (request && gateway != 0 && request->targetIp == gateway) {
        const auto reply =
            BuildArpReply(ap_.Config().bssid, gateway, request->senderMac, request->senderIp);
        port_.DeliverToStation(reply, KeyMatches());
    }
}

std::optional<Clock::time_point> ApSession::NextDeadline() const {
    std::optional<Clock::time_point> traffic = portOpen_ ? nextFrame_ : std::nullopt;
    const auto handshake =
        authenticator_ ? authenticator_->NextDeadline() : std::optional<Clock::time_point>();
    if (handshake && (!traffic || *handshake < *traffic)) return handshake;
    return traffic;
}

void ApSession::Run(Clock::time_point now) {
    if (authenticator_) authenticator_->Run(now);
    if (external_) RunExternal(now);
    if (!portOpen_ || !nextFrame_) return;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / ap_.Config().traffic.framesPerSecond));
    int sent = 0;
    while (*nextFrame_ <= now) {
        if (sent++ < kMaxFramesPerRun) SendTrafficFrame();
        *nextFrame_ += interval;
        if (sent > kMaxFramesPerRun) *nextFrame_ = now + interval;
    }
}

void ApSession::SendTrafficFrame() {
    const TrafficConfig& traffic = ap_.Config().traffic;
    const DhcpConfig& dhcp = ap_.Config().dhcp;
    const std::uint32_t gateway = AddressOf(dhcp.gateway);
    const std::uint32_t mask = AddressOf(dhcp.mask);
    const std::uint32_t network = gateway & mask;
    // Another host of the network, somewhere in .20 to .219.
    const std::uint32_t neighbour = network | ((20 + NextRandom() % 200) & ~mask);
    const double draw = (NextRandom() % 10000) / 10000.0;
    std::vector<std::uint8_t> frame;
    if (draw < traffic.arpShare) {
        frame = BuildArpRequest(ap_.Config().bssid, gateway, neighbour);
    } else {
        // A NetBIOS datagram broadcast, the chatter every office LAN carries.
        MacAddress source = ap_.Config().bssid;
        source[0] = 0x00;
        source[5] = static_cast<std::uint8_t>(neighbour);
        static constexpr char kPayload[] = "\x11\x02 TARVIK-SIM WORKGROUP";
        const std::span<const std::uint8_t> payload(reinterpret_cast<const std::uint8_t*>(kPayload),
                                                    sizeof kPayload - 1);
        frame = BuildUdpFrame(source, kBroadcastMac, neighbour, network | ~mask, 138, 138, payload);
    }
    const bool corrupted = (NextRandom() % 10000) / 10000.0 < traffic.receiveErrorShare;
    port_.DeliverToStation(frame, KeyMatches() && !corrupted);
}

}  // namespace tarvik::driver::sim
