// The network a command names: a MAC address ("00:18:39:51:00:02", '-' also
// separates) or else an SSID, looked up in the network list.
#pragma once

#include <optional>
#include <string>

#include "ndis/NdisTypes.h"
#include "networks/NetworkList.h"

namespace tarvik::cli {

struct NetworkTarget {
    std::optional<ndis::MacAddress> mac;  // set when the text is a MAC address
    std::string ssid;                     // the text itself otherwise
};

NetworkTarget ParseNetworkTarget(const std::string& text);

// The record with that MAC address; for an SSID, the one with the strongest
// signal of those that bear it. Null when none does.
BssidRecord FindNetwork(const CNetworkList& networks, const NetworkTarget& target);

// A connection attempt's result code in words ("" for codes it never gives).
std::string ConnectResultText(Result result);

}  // namespace tarvik::cli
