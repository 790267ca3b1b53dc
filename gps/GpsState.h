// The GPS state the main window keeps and network records copy as position
// snapshots: when the last sentence arrived, the receiver's port and the
// decoded fix.
#pragma once

#include <ctime>

#include "gps/GpsFix.h"

namespace tarvik {

// What the GPS state needs to know of the serial port.
class IGpsPort {
  public:
    virtual ~IGpsPort() = default;
    virtual bool IsOpen() const = 0;
};

// Data older than this many seconds is stale.
inline constexpr double kGpsStaleSeconds = 5.0;

struct GpsState {
    std::time_t lastSentenceTime = 0;  // wall clock when the last sentence was handed over
    const IGpsPort* port = nullptr;
    GpsFix fix;
};

// Stores the port and starts from an empty fix with 12 channels.
void InitialiseGpsState(GpsState& state, const IGpsPort* port);
// More than 5 seconds since the last sentence, measured against `now`.
bool IsGpsDataStale(const GpsState& state, std::time_t now);
// The port is open, the data is fresh and the fix is two- or three-dimensional.
bool HasGpsFix(const GpsState& state, std::time_t now);

}  // namespace tarvik
