// Made-up networks for the benchmarks: distinct MAC addresses, signals and
// 2.4 GHz channels spread out, a third open and the rest WPA2-PSK with CCMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ndis/BssidEntry.h"

namespace tarvik::bench {

// An RSN (WPA2-PSK, CCMP) element, as most networks carry one.
inline const std::vector<std::uint8_t> kRsnElement = {
    0x30, 0x14, 0x01, 0x00, 0x00, 0x0f, 0xac, 0x04, 0x01, 0x00, 0x00,
    0x0f, 0xac, 0x04, 0x01, 0x00, 0x00, 0x0f, 0xac, 0x02, 0x00, 0x00};

// Network `index`, named "network-<ssidNumber>".
inline ndis::BssidEntryFields SyntheticNetworkFields(std::uint32_t index,
                                                     std::uint32_t ssidNumber) {
    ndis::BssidEntryFields fields;
    fields.macAddress = {0x02,
                         0x00,
                         0x00,
                         static_cast<std::uint8_t>(index >> 16),
                         static_cast<std::uint8_t>(index >> 8),
                         static_cast<std::uint8_t>(index)};
    fields.SetSsid("network-" + std::to_string(ssidNumber));
    fields.privacy = index % 3 == 0 ? 0 : 1;
    fields.rssi = -40 - static_cast<std::int32_t>(index % 50);
    fields.configuration.dsConfig = 2412000 + 5000 * (index % 11);
    fields.supportedRates = {0x82, 0x84, 0x8b, 0x96, 0x0c, 0x12, 0x18, 0x24};
    if (fields.privacy != 0) fields.elements = kRsnElement;
    return fields;
}

inline ndis::BssidEntryFields SyntheticNetworkFields(std::uint32_t index) {
    return SyntheticNetworkFields(index, index);
}

}  // namespace tarvik::bench
