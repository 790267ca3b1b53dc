// The fix block's byte image, checked against bytes worked out by hand from
// the layout (IEEE 754 doubles chosen to have short bit patterns).
#include <gtest/gtest.h>

#include "gps/GpsFix.h"
#include "gps/GpsState.h"

namespace tarvik {
namespace {

struct ExpectedBytes {
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
};

GpsFix Fixture() {
    GpsFix fix;
    fix.mode = FIX_MODE_3D;
    fix.latitude = 1.0;         // 0x3FF0000000000000
    fix.longitude = -2.0;       // 0xC000000000000000
    fix.geoidSeparation = 0.5;  // 0x3FE0000000000000
    fix.status = FIX_STATUS_DIFFERENTIAL;
    fix.usedPrns[2] = 17;
    fix.satellitesInView[13].snr = 0x123;
    fix.lastSentenceName = {'G', 'S', 'V'};
    fix.gsvSentenceCount = -1;
    fix.dateTime.month = 11;
    fix.secondFraction = 0.25;  // 0x3FD0000000000000
    return fix;
}

const std::vector<ExpectedBytes> kLayout = {
    {0, {0x0C, 0, 0, 0}},
    {16, {3, 0, 0, 0}},
    {32, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
    {40, {0, 0, 0, 0, 0, 0, 0x00, 0xC0}},
    {144, {0, 0, 0, 0, 0, 0, 0xE0, 0x3F}},
    {152, {2, 0, 0, 0}},
    {168, {17, 0, 0, 0}},
    {488, {0x23, 0x01, 0, 0}},
    {492, {'G', 'S', 'V', 0}},
    {1316, {0xFF, 0xFF, 0xFF, 0xFF}},
    {1336, {11, 0, 0, 0}},
    {1360, {0, 0, 0, 0, 0, 0, 0xD0, 0x3F}},
};

TEST(GpsFixBlock, PutsEveryFieldAtItsOffsetAndZeroesTheRest) {
    const GpsFixBlock block = EncodeGpsFix(Fixture());
    std::size_t namedNonZero = 0;
    for (const ExpectedBytes& row : kLayout) {
        SCOPED_TRACE("offset " + std::to_string(row.offset));
        const std::vector<std::uint8_t> actual(block.begin() + row.offset,
                                               block.begin() + row.offset + row.bytes.size());
        EXPECT_EQ(actual, row.bytes);
        for (std::uint8_t b : row.bytes) namedNonZero += b != 0;
    }
    EXPECT_EQ(static_cast<std::size_t>(
                  std::count_if(block.begin(), block.end(), [](auto b) { return b != 0; })),
              namedNonZero);
}

TEST(GpsFixBlock, ReadsBackWhatItWrote) {
    GpsFix fix = Fixture();
    fix.fixTime = 1.6e9 + 0.125;
    fix.satellitesInView[0] = {65, -3, 359, 0};
    EXPECT_EQ(DecodeGpsFix(EncodeGpsFix(fix)), fix);
    GpsFixBlock block{};
    block[16] = 2;
    block[1323] = 0x80;  // the second of the broken-down time, sign bit
    const GpsFix decoded = DecodeGpsFix(block);
    EXPECT_EQ(decoded.mode, FIX_MODE_2D);
    EXPECT_EQ(decoded.dateTime.second, INT32_MIN);
    EXPECT_EQ(decoded.channelCount, 0);
}

class FakePort : public IGpsPort {
  public:
    bool open = true;
    bool IsOpen() const override { return open; }
};

TEST(GpsState, HasAFixOnlyWithAnOpenPortFreshDataAndATwoOrThreeDimensionalFix) {
    struct Row {
        bool open;
        std::time_t age;
        std::int32_t mode;
        bool fix;
    };
    const Row rows[] = {{true, 5, FIX_MODE_3D, true},
                        {true, 0, FIX_MODE_2D, true},
                        {true, 6, FIX_MODE_3D, false},
                        {false, 0, FIX_MODE_3D, false},
                        {true, 0, FIX_MODE_NONE, false}};
    FakePort port;
    for (const Row& row : rows) {
        GpsState state;
        InitialiseGpsState(state, &port);
        EXPECT_EQ(state.fix.channelCount, kGpsChannelCount);
        port.open = row.open;
        state.lastSentenceTime = 1000;
        state.fix.mode = row.mode;
        EXPECT_EQ(HasGpsFix(state, 1000 + row.age), row.fix)
            << row.open << " " << row.age << " " << row.mode;
    }
}

}  // namespace
}  // namespace tarvik
