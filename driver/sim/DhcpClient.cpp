#include "driver/sim/DhcpClient.h"

#include <cstdio>

namespace tarvik::driver::sim {

DhcpClient::DhcpClient(const Adapter& adapter, Clock::time_point start, std::int64_t wallStart)
    : adapter_(adapter), start_(start), wallStart_(wallStart) {
    if (adapter.staticIp) {
        const StaticIpConfig& ip = *adapter.staticIp;
        config_.dhcpEnabled = false;
        config_.addresses = {{ip.address, ip.mask}};
        if (!ip.gateway.empty()) config_.gateways = {ip.gateway};
        config_.dnsServers = ip.dns;
        return;
    }
    config_.dhcpEnabled = true;
    ClearAddress();
}

std::int64_t DhcpClient::WallTime(Clock::time_point now) const {
    return wallStart_ + std::chrono::duration_cast<std::chrono::seconds>(now - start_).count();
}

void DhcpClient::ClearAddress() {
    config_.dhcpServer.clear();
    config_.addresses = {{"0.0.0.0", "0.0.0.0"}};
    config_.gateways.clear();
    config_.dnsServers.clear();
    config_.primaryWins.clear();
    config_.secondaryWins.clear();
    config_.leaseObtained = 0;
    config_.leaseExpires = 0;
    config_.autoconfigActive = false;
}

void DhcpClient::Begin(Clock::time_point now, const DhcpConfig* server) {
    if (IsStatic()) return;
    server_ = server;
    serverAnswers_ = server && server->enabled && !server->fail;
    retransmits_ = 0;
    // Without an answer the client gives up after its own timeout and picks
    // an automatic private address; the scenario's delay stands in for it.
    const std::uint32_t delayMs = server ? server->delayMs : 3000;
    due_ = now + std::chrono::milliseconds(delayMs);
}

void DhcpClient::Settle(Clock::time_point now, const DhcpConfig* server) {
    if (IsStatic()) return;
    Begin(now, server);
    due_.reset();
    if (serverAnswers_) {
        ApplyLease(now, *server_);
    } else {
        ApplyAutoconfiguration();
    }
}

bool DhcpClient::Drop() {
    server_ = nullptr;
    due_.reset();
    if (IsStatic()) return false;
    const bool hadAddress = config_.addresses.empty() || config_.addresses[0].address != "0.0.0.0";
    ClearAddress();
    return hadAddress;
}

bool DhcpClient::Release() {
    // A released lease stays released until the next attachment.
    const bool hadAddress = Drop();
    return hadAddress;
}

bool DhcpClient::Run(Clock::time_point now, bool reachable) {
    if (!due_ || *due_ > now) return false;
    due_.reset();
    if (serverAnswers_ && reachable) {
        const bool renewal = config_.leaseObtained != 0;
        retransmits_ = 0;
        ApplyLease(now, *server_);
        return !renewal;
    }
    if (serverAnswers_ && retransmits_ < kRetransmits) {
        // A WPA2 port opens with the authenticator's last message, a moment
        // before the station installs its pairwise key: a request sent then
        // is lost, and the client sends it again.
        ++retransmits_;
        due_ = now + kRetransmitInterval;
        return false;
    }
    retransmits_ = 0;
    ApplyAutoconfiguration();
    return true;
}

void DhcpClient::ApplyLease(Clock::time_point now, const DhcpConfig& server) {
    config_.dhcpServer = server.server.empty() ? server.gateway : server.server;
    config_.addresses = {{server.address, server.mask}};
    config_.gateways = {server.gateway};
    config_.dnsServers = server.dns;
    config_.primaryWins = server.primaryWins;
    config_.secondaryWins = server.secondaryWins;
    config_.leaseObtained = WallTime(now);
    config_.leaseExpires = config_.leaseObtained + server.leaseSeconds;
    config_.autoconfigActive = false;
    // Renewed when the lease runs out, while still attached.
    due_ = now + std::chrono::seconds(server.leaseSeconds);
}

void DhcpClient::ApplyAutoconfiguration() {
    ClearAddress();
    // 169.254.x.y, picked from the card's address as the automatic private
    // addressing of the client does (x stays within 1-254).
    const MacAddress& mac = adapter_.currentMac;
    char address[16];
    std::snprintf(address, sizeof address, "169.254.%u.%u", 1u + mac[4] % 254u,
                  static_cast<unsigned>(mac[5]));
    config_.addresses = {{address, "255.255.0.0"}};
    config_.dhcpServer = "255.255.255.255";
    config_.autoconfigActive = true;
}

}  // namespace tarvik::driver::sim
