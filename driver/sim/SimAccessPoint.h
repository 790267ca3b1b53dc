// One access point (or ad hoc station) of the simulated world: what it puts
// on the air at a given moment, as a card's scan reports it.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/sim/Scenario.h"
#include "ndis/BssidEntry.h"
#include "ndis/Configuration.h"

namespace tarvik::driver::sim {

class CExternalAuthenticator;

class SimAccessPoint {
  public:
    explicit SimAccessPoint(const AccessPoint& config);

    // The program that plays this access point's side, if the scenario
    // names one (owned by the backend).
    CExternalAuthenticator* External() const { return external_; }
    void SetExternal(CExternalAuthenticator* external) { external_ = external; }

    const AccessPoint& Config() const { return config_; }
    bool IsOnAir(double seconds) const;
    int Rssi(double seconds) const;

    bool IsOpen() const { return !config_.privacy; }
    bool IsWep() const { return config_.privacy && !config_.wpa.present && !config_.rsn.present; }
    bool IsWpaFamily() const { return config_.wpa.present || config_.rsn.present; }

    // The NDIS_WLAN_BSSID_EX fields of this BSS as seen at `seconds` with `rssi`.
    ndis::BssidEntryFields ScanEntry(double seconds, int rssi) const;
    ndis::Configuration80211 Configuration() const;
    std::uint16_t CapabilityInfo() const;
    // Rates in 500 kbit/s units with the basic-rate flag, at most 16.
    const std::vector<std::uint8_t>& RateBytes() const { return rates_; }
    // The tagged elements of a beacon (SSID, rates, parameter sets, WPA/RSN).
    const std::vector<std::uint8_t>& BeaconElements() const { return elements_; }
    const std::vector<std::uint8_t>& WpaElement() const { return wpaElement_; }
    const std::vector<std::uint8_t>& RsnElement() const { return rsnElement_; }

  private:
    void BuildElements();

    const AccessPoint& config_;
    CExternalAuthenticator* external_ = nullptr;
    std::vector<std::uint8_t> rates_;
    std::vector<std::uint8_t> wpaElement_;
    std::vector<std::uint8_t> rsnElement_;
    std::vector<std::uint8_t> elements_;
};

}  // namespace tarvik::driver::sim
