#include <gtest/gtest.h>

#include "driver/sim/SignalTimeline.h"

namespace tarvik::driver::sim {
namespace {

SignalTimeline Ramp() {
    SignalTimeline timeline;
    timeline.keyframes = {{10, -50}, {30, -90}, {40, -70}};
    return timeline;
}

TEST(SignalTimeline, InterpolatesBetweenKeyframesAndHoldsAtTheEnds) {
    const SignalTimeline timeline = Ramp();
    EXPECT_EQ(RssiAt(timeline, 0), -50);
    EXPECT_EQ(RssiAt(timeline, 10), -50);
    EXPECT_EQ(RssiAt(timeline, 15), -60);
    EXPECT_EQ(RssiAt(timeline, 20), -70);
    EXPECT_EQ(RssiAt(timeline, 30), -90);
    EXPECT_EQ(RssiAt(timeline, 35), -80);
    EXPECT_EQ(RssiAt(timeline, 1000), -70);
}

TEST(SignalTimeline, RepeatLoopsKeyframesAndWindows) {
    SignalTimeline timeline = Ramp();
    timeline.repeat = 50;
    timeline.visible = {{5, 20}};
    EXPECT_EQ(RssiAt(timeline, 65), RssiAt(timeline, 15));
    EXPECT_FALSE(IsOnAir(timeline, 4));
    EXPECT_TRUE(IsOnAir(timeline, 5));
    EXPECT_TRUE(IsOnAir(timeline, 19.9));
    EXPECT_FALSE(IsOnAir(timeline, 20));
    EXPECT_TRUE(IsOnAir(timeline, 57));
    EXPECT_FALSE(IsOnAir(timeline, 71));
}

TEST(SignalTimeline, OpenEndedWindowsAndNoWindows) {
    SignalTimeline timeline = Ramp();
    EXPECT_TRUE(IsOnAir(timeline, 0));
    EXPECT_TRUE(IsOnAir(timeline, 1e6));
    timeline.visible = {{0, 10}, {100, std::nullopt}};
    EXPECT_TRUE(IsOnAir(timeline, 9));
    EXPECT_FALSE(IsOnAir(timeline, 50));
    EXPECT_TRUE(IsOnAir(timeline, 100));
    EXPECT_TRUE(IsOnAir(timeline, 1e6));
}

TEST(SignalTimeline, DriftStaysWithinItsAmplitudeAndMoves) {
    SignalTimeline timeline;
    timeline.keyframes = {{0, -60}};
    timeline.driftAmplitude = 4;
    timeline.driftPeriod = 40;
    int lowest = 0, highest = -200;
    for (int t = 0; t < 80; ++t) {
        const int rssi = RssiAt(timeline, t);
        lowest = std::min(lowest, rssi);
        highest = std::max(highest, rssi);
    }
    EXPECT_EQ(lowest, -64);
    EXPECT_EQ(highest, -56);
    EXPECT_EQ(RssiAt(timeline, 10), -56);  // a quarter period in
}

}  // namespace
}  // namespace tarvik::driver::sim
