#include <gtest/gtest.h>

#include "driver/sim/SignalTimeline.h"

namespace tarvik::driver::sim {
namespace {

TEST(SignalTimeline, InterpolatesHoldsRepeatsAndDrifts) {
    SignalTimeline ramp;
    ramp.keyframes = {{10, -50}, {30, -90}, {40, -70}};
    // Straight lines between keyframes, held before the first and after the last.
    const std::pair<double, int> points[] = {{0, -50},  {10, -50}, {15, -60},  {20, -70},
                                             {30, -90}, {35, -80}, {1000, -70}};
    for (const auto& [t, rssi] : points) EXPECT_EQ(RssiAt(ramp, t), rssi) << t;
    EXPECT_TRUE(IsOnAir(ramp, 0) && IsOnAir(ramp, 1e6));  // no windows: always

    SignalTimeline looped = ramp;
    looped.repeat = 50;
    looped.visible = {{5, 20}};
    EXPECT_EQ(RssiAt(looped, 65), RssiAt(ramp, 15));
    SignalTimeline open = ramp;
    open.visible = {{0, 10}, {100, std::nullopt}};
    const struct {
        const SignalTimeline& timeline;
        double t;
        bool onAir;
    } windows[] = {{looped, 4, false},  {looped, 5, true},  {looped, 19.9, true},
                   {looped, 20, false}, {looped, 57, true}, {looped, 71, false},
                   {open, 9, true},     {open, 50, false},  {open, 100, true},
                   {open, 1e6, true}};
    for (const auto& row : windows) EXPECT_EQ(IsOnAir(row.timeline, row.t), row.onAir) << row.t;

    SignalTimeline drifting;
    drifting.keyframes = {{0, -60}};
    drifting.driftAmplitude = 4;
    drifting.driftPeriod = 40;
    int lowest = 0, highest = -200;
    for (int t = 0; t < 80; ++t) {
        lowest = std::min(lowest, RssiAt(drifting, t));
        highest = std::max(highest, RssiAt(drifting, t));
    }
    EXPECT_EQ(lowest, -64);
    EXPECT_EQ(highest, -56);
    EXPECT_EQ(RssiAt(drifting, 10), -56);  // a quarter period in
}

}  // namespace
}  // namespace tarvik::driver::sim
