#include "driver/sim/SignalTimeline.h"

#include <cmath>
#include <numbers>

namespace tarvik::driver::sim {

namespace {

double LocalTime(const SignalTimeline& timeline, double seconds) {
    if (seconds < 0) seconds = 0;
    return timeline.repeat > 0 ? std::fmod(seconds, timeline.repeat) : seconds;
}

double Interpolate(const std::vector<SignalKeyframe>& keys, double t) {
    if (keys.empty()) return -60;
    if (t <= keys.front().time) return keys.front().rssi;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (t <= keys[i].time) {
            const SignalKeyframe& a = keys[i - 1];
            const SignalKeyframe& b = keys[i];
            return a.rssi + (b.rssi - a.rssi) * (t - a.time) / (b.time - a.time);
        }
    }
    return keys.back().rssi;
}

}  // namespace

bool IsOnAir(const SignalTimeline& timeline, double seconds) {
    if (timeline.visible.empty()) return true;
    const double t = LocalTime(timeline, seconds);
    for (const VisibleWindow& window : timeline.visible) {
        if (t >= window.from && (!window.to || t < *window.to)) return true;
    }
    return false;
}

int RssiAt(const SignalTimeline& timeline, double seconds) {
    double rssi = Interpolate(timeline.keyframes, LocalTime(timeline, seconds));
    if (timeline.driftAmplitude > 0) {
        const double phase = (seconds + timeline.driftPhase) / timeline.driftPeriod;
        rssi += timeline.driftAmplitude * std::sin(2 * std::numbers::pi * phase);
    }
    return static_cast<int>(std::lround(rssi));
}

}  // namespace tarvik::driver::sim
