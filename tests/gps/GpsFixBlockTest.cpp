// The fix block's byte image against bytes worked out by hand from the layout
// (doubles chosen for short IEEE 754 patterns), and the fix/no-fix decision.
#include <gtest/gtest.h>

#include "gps/GpsState.h"

namespace tarvik {
namespace {

TEST(GpsFixBlock, PutsEveryFieldAtItsOffsetAndZeroesTheRest) {
    GpsFix fix;
    fix.mode = FIX_MODE_3D;
    fix.latitude = 1.0;
    fix.longitude = -2.0;
    fix.geoidSeparation = 0.5;
    fix.status = FIX_STATUS_DIFFERENTIAL;
    fix.usedPrns[2] = 17;
    fix.satellitesInView[13].snr = 0x123;
    fix.lastSentenceName = {'G', 'S', 'V'};
    fix.gsvSentenceCount = -1;
    fix.dateTime.month = 11;
    fix.secondFraction = 0.25;
    const std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> expected = {
        {0, {0x0C, 0, 0, 0}},      {16, {3, 0, 0, 0}},
        {38, {0xF0, 0x3F}},        {46, {0x00, 0xC0}},
        {150, {0xE0, 0x3F}},       {152, {2, 0, 0, 0}},
        {168, {17, 0, 0, 0}},      {488, {0x23, 0x01, 0, 0}},
        {492, {'G', 'S', 'V', 0}}, {1316, {0xFF, 0xFF, 0xFF, 0xFF}},
        {1336, {11, 0, 0, 0}},     {1366, {0xD0, 0x3F}}};
    const GpsFixBlock block = EncodeGpsFix(fix);
    long nonZero = 0;
    for (const auto& [offset, bytes] : expected) {
        EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + offset,
                                            block.begin() + offset + bytes.size()),
                  bytes)
            << "offset " << offset;
        nonZero += std::count_if(bytes.begin(), bytes.end(), [](auto b) { return b != 0; });
    }
    EXPECT_EQ(std::count_if(block.begin(), block.end(), [](auto b) { return b != 0; }), nonZero);
    EXPECT_EQ(DecodeGpsFix(block), fix);
}

TEST(GpsFixBlock, ReadsCountsFromAFileOnlyAsFarAsTheTablesGo) {
    GpsFixBlock block{};
    block[156] = 200;   // satellites used
    block[267] = 0x80;  // satellites in view, negative
    EXPECT_EQ(UsedPrns(DecodeGpsFix(block)).size(), kGpsSatelliteSlots);
    EXPECT_TRUE(SatellitesInView(DecodeGpsFix(block)).empty());
}

class FakePort : public IGpsPort {
  public:
    bool open = true;
    bool IsOpen() const override { return open; }
};

TEST(GpsState, HasAFixOnlyWithAnOpenPortFreshDataAndATwoOrThreeDimensionalFix) {
    // open port, seconds since the last sentence, fix mode, has a fix
    const std::tuple<bool, std::time_t, std::int32_t, bool> rows[] = {
        {true, 5, FIX_MODE_3D, true},
        {true, 0, FIX_MODE_2D, true},
        {true, 6, FIX_MODE_3D, false},
        {false, 0, FIX_MODE_3D, false},
        {true, 0, FIX_MODE_NONE, false}};
    FakePort port;
    for (const auto& [open, age, mode, hasFix] : rows) {
        GpsState state;
        InitialiseGpsState(state, &port);
        port.open = open;
        state.lastSentenceTime = 1000;
        state.fix.mode = mode;
        EXPECT_EQ(HasGpsFix(state, 1000 + age), hasFix) << open << " " << age << " " << mode;
    }
}

}  // namespace
}  // namespace tarvik
