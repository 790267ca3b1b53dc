// What the GPS Output dialog shows about the receiver: the status sentence
// and the position texts of the current fix.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "gps/GpsState.h"

namespace tarvik {

struct GpsStatusTexts {
    std::string status;
    std::string latitude = "Not Available";
    std::string longitude = "Not Available";
    bool operator==(const GpsStatusTexts&) const = default;
};

// `portOpen` and `comPort` describe the serial port; `now` decides staleness.
GpsStatusTexts ComposeGpsStatus(const GpsState& state, bool portOpen, std::int32_t comPort,
                                std::int32_t angleFormat, std::time_t now);

}  // namespace tarvik
