// The look of a network's signal graph: the line colour by the last byte of
// its MAC address, the texts around the plot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/SignalGraphView.h"
#include "networks/Bssid.h"

namespace tarvik {

inline constexpr const char* kSignalAxisLabel = "Signal (dBm)";

// Green up to 0x3F, light blue up to 0x7F, orange up to 0xBF; none (the
// plot's default) from 0xC0.
std::optional<GraphColour> SignalLineColour(std::uint8_t lastMacByte);

// "<SSID> <MAC>", the colour, width 2, filled, "Signal (dBm)" on both sides
// with numbers on the right, and "Tarvik <version>" below.
SignalGraphLook SignalGraphLookOf(CBssid& record);

}  // namespace tarvik
