#include "app/GpsStatusText.h"

#include "networks/CoordinateText.h"

namespace tarvik {

GpsStatusTexts ComposeGpsStatus(const GpsState& state, bool portOpen, std::int32_t comPort,
                                std::int32_t angleFormat, std::time_t now) {
    GpsStatusTexts texts;
    const std::string port = "COM" + std::to_string(comPort);
    if (!portOpen) {
        texts.status = "Selected GPS Port " + port + " is not open.";
        return texts;
    }
    if (IsGpsDataStale(state, now)) {
        texts.status = "Connected to " + port + " but no gps data received in the last 5 seconds.";
        return texts;
    }
    switch (state.fix.mode) {
        case FIX_MODE_NONE:
            texts.status = "Connected to gps but no satellites in view.";
            return texts;
        case FIX_MODE_2D:
            texts.status = "Connected to gps with 2D fix.";
            break;
        case FIX_MODE_3D:
            texts.status = "Connected to gps with 3d fix.";
            break;
        default:
            break;
    }
    FormatCoordinate(state.fix.latitude, true, angleFormat, texts.latitude);
    FormatCoordinate(state.fix.longitude, false, angleFormat, texts.longitude);
    return texts;
}

}  // namespace tarvik
