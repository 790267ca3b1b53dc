// WiGLE's bracket notation of a network's security and mode, such as
// "[WPA2-PSK-CCMP][ESS]", both ways.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "networks/Bssid.h"

namespace tarvik {

// The notation of a record: one bracket for the WPA or RSN summary ("WPA" or
// "WPA2", "PSK" or "EAP", the pairwise ciphers joined by "+"), "[WEP]" for a
// WEP network, then "[ESS]" or "[IBSS]".
std::string WigleAuthMode(const CBssid& record);

// What a scan entry needs to carry a notation's security: the privacy bit,
// ad hoc or not, and the security element to append (empty for none).
struct WigleSecurity {
    bool privacy = false;
    bool adHoc = false;
    std::vector<std::uint8_t> element;
};

// Reads the notation. Unknown brackets are ignored; WPA3 (SAE) and OWE read
// as the RSN element with PSK, the nearest this record can carry.
WigleSecurity ParseWigleAuthMode(std::string_view text);

}  // namespace tarvik
