// Scan entries for the network-record tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ndis/BssidEntry.h"

#include "tests/support/HexBytes.h"

namespace tarvik::testing_support {

inline const Bytes kWpaPskTkip = Hex("dd160050f20101000050f20201000050f20201000050f202");
inline const Bytes kRsnPskCcmp = Hex("30140100000fac040100000fac040100000fac020000");
inline const Bytes kWmm = Hex("dd180050f2020101000003a4000027a4000042435e0062322f00");

inline ndis::BssidEntryFields Fields(std::uint8_t lastMacByte = 0x01, std::int32_t rssi = -50,
                                     std::uint32_t privacy = 0) {
    ndis::BssidEntryFields fields;
    fields.macAddress = {0x00, 0x0c, 0x41, 0x82, 0xb2, lastMacByte};
    fields.SetSsid("linksys");
    fields.privacy = privacy;
    fields.rssi = rssi;
    fields.configuration.dsConfig = 2437000;
    fields.supportedRates = {0x82, 0x84, 0x8b, 0x96, 0x0c, 0x12,
                             0x18, 0x24, 0x30, 0x48, 0x60, 0x6c};
    return fields;
}

// `fields` with the concatenation of `elements` appended to its tagged elements.
inline ndis::BssidEntryFields WithElements(ndis::BssidEntryFields fields,
                                           const std::vector<Bytes>& elements) {
    for (const Bytes& e : elements)
        fields.elements.insert(fields.elements.end(), e.begin(), e.end());
    return fields;
}

inline ndis::BssidEntry Entry(const ndis::BssidEntryFields& fields) {
    return ndis::BssidEntry::FromFields(fields);
}

// A private network whose tagged elements are the concatenation of `elements`.
inline ndis::BssidEntry SecuredEntry(const std::vector<Bytes>& elements) {
    return Entry(WithElements(Fields(0x01, -50, 1), elements));
}

}  // namespace tarvik::testing_support
