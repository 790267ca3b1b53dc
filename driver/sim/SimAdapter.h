// One simulated network card. A wireless card keeps the 802.11 settings it is
// given, the list of its last scan, and at most one association; it answers
// OID queries and sets with the published NDIS layouts and errors, as a
// real card's driver would. A wired card answers the general and Ethernet
// objects and refuses the 802.11 ones.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/Backend.h"
#include "driver/sim/ApSession.h"
#include "driver/sim/DhcpClient.h"
#include "driver/sim/Scenario.h"
#include "driver/sim/SimWorld.h"
#include "ndis/AssociationInformation.h"
#include "ndis/BssidEntry.h"

namespace tarvik::driver::sim {

class SimAdapter final : public IStationPort {
  public:
    SimAdapter(const Adapter& config, const SimWorld& world, SinkRelay& sink);

    const Adapter& Config() const { return config_; }
    const std::string& DeviceName() const { return config_.deviceName; }

    std::uint32_t QueryOid(std::uint32_t oid, std::size_t capacity, std::vector<std::uint8_t>& out,
                           std::size_t& needed);
    std::uint32_t SetOid(std::uint32_t oid, std::span<const std::uint8_t> data);
    std::uint32_t WriteFrame(std::span<const std::uint8_t> frame);

    const IpConfig& GetIpConfig() const { return dhcp_.Config(); }
    std::uint32_t ReleaseAddress();

    // The world's clock: the next moment this card wants to run, and running
    // it up to `now` (every moment in between must have been run in order).
    std::optional<Clock::time_point> NextDeadline() const;
    void Advance(Clock::time_point now);

    // The key handshakes of the current association, if it has any.
    const CApAuthenticator* Authenticator() const {
        return session_ ? session_->Authenticator() : nullptr;
    }

    // Puts the card into the association the scenario says it has when the
    // daemon starts. False when the card cannot join that access point.
    bool SettleInitialAssociation();

    void DeliverToStation(std::span<const std::uint8_t> frame, bool readable) override;
    bool HoldsPairwiseKey(std::span<const std::uint8_t> temporalKey) const override;

  private:
    struct Key {
        std::uint32_t index = 0;  // with the transmit/pairwise flags
        std::vector<std::uint8_t> material;
        bool pairwise = false;
    };
    struct Counters {
        std::uint32_t xmitOk = 0, rcvOk = 0, xmitError = 0, rcvError = 0, rcvNoBuffer = 0;
    };

    // OID surface (SimAdapterOids.cpp).
    std::uint32_t QueryData(std::uint32_t oid, std::size_t capacity,
                            std::vector<std::uint8_t>& data);
    bool TakeScenarioReply(std::uint32_t oid, std::vector<std::uint8_t>& data);
    std::uint32_t SetWireless(std::uint32_t oid, std::span<const std::uint8_t> data);
    std::uint32_t SetAuthenticationMode(std::uint32_t mode);
    std::uint32_t SetEncryptionStatus(std::uint32_t status);
    std::uint32_t SetSsid(std::span<const std::uint8_t> data);
    std::uint32_t AddKey(std::span<const std::uint8_t> data);
    std::uint32_t AddWep(std::span<const std::uint8_t> data);
    std::uint32_t RemoveKey(std::uint32_t index);
    std::uint32_t ReportedEncryptionStatus() const;
    std::uint32_t CheckAuthenticationMode(std::uint32_t mode) const;
    std::uint32_t CheckEncryptionStatus(std::uint32_t status) const;
    std::vector<std::uint8_t> SupportedRatesReply(std::size_t capacity) const;
    std::uint32_t LinkSpeed() const;
    std::vector<std::uint8_t> BuildAssociationInfo(const SimAccessPoint& ap) const;
    std::vector<std::uint8_t> RequestElements(const SimAccessPoint& ap) const;
    std::vector<std::uint8_t> StationElement(const SimAccessPoint& ap) const;

    // Card behaviour (SimAdapter.cpp).
    bool CanHear(const SimAccessPoint& ap) const;
    bool InRange(const SimAccessPoint& ap, double seconds) const;
    void Scan();
    bool Fits(const SimAccessPoint& ap) const;
    bool WepKeyMatches(const SimAccessPoint& ap) const;
    void LookForNetwork(Clock::time_point now);
    void CompleteAssociation(Clock::time_point now, std::size_t apIndex);
    void Disassociate();
    void StartDhcp(Clock::time_point now);
    std::optional<AuthenticatorSetup> HandshakeSetup(const SimAccessPoint& ap) const;
    bool HasWepKey() const;
    bool HasPairwiseKey() const;
    // Frames of the association go out encrypted (WEP, or WPA once keyed).
    bool SendsProtected() const;
    void MonitorData(bool toAp, std::span<const std::uint8_t> frame) const;
    double Seconds(Clock::time_point t) const { return world_.SecondsAt(t); }

    const Adapter& config_;
    const SimWorld& world_;
    SinkRelay& sink_;
    Clock::time_point now_;  // the last moment run

    // 802.11 settings as last set.
    std::uint32_t infrastructureMode_ = 1;
    std::uint32_t authenticationMode_ = 0;
    std::uint32_t encryptionStatus_ = 1;
    std::vector<Key> keys_;
    std::optional<std::vector<std::uint8_t>> desiredSsid_;
    std::optional<MacAddress> desiredBssid_;

    std::vector<ndis::BssidEntryFields> scanList_;
    std::optional<Clock::time_point> nextRescan_;
    std::optional<std::pair<Clock::time_point, std::size_t>> pendingAssociation_;
    std::unique_ptr<ApSession> session_;
    std::vector<std::uint8_t> associationInfo_;  // of the last association

    DhcpClient dhcp_;
    Counters counters_;
    std::int32_t rssiTrigger_;
    // How many of each OID's scenario replies were given.
    std::map<std::uint32_t, std::size_t> repliesGiven_;
};

}  // namespace tarvik::driver::sim
