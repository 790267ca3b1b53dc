#include "gps/GpsState.h"

namespace tarvik {

void InitialiseGpsState(GpsState& state, const IGpsPort* port) {
    state = GpsState{};
    state.port = port;
}

bool IsGpsDataStale(const GpsState& state, std::time_t now) {
    return std::difftime(now, state.lastSentenceTime) > kGpsStaleSeconds;
}

bool HasGpsFix(const GpsState& state, std::time_t now) {
    const bool portOpen = state.port != nullptr && state.port->IsOpen();
    const bool modeIsFix = state.fix.mode == FIX_MODE_2D || state.fix.mode == FIX_MODE_3D;
    return portOpen && !IsGpsDataStale(state, now) && modeIsFix;
}

}  // namespace tarvik
