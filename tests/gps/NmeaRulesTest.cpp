// Decoding rules the receiver logs do not reach, one row per rule: sentences
// in (without checksums, which are optional), the fields they leave.
#include <gtest/gtest.h>

#include <functional>

#include "gps/NmeaParser.h"

namespace tarvik {
namespace {

struct RuleRow {
    const char* name;
    std::vector<std::string> sentences;
    std::function<void(const GpsFix&)> check;
};
void PrintTo(const RuleRow& row, std::ostream* out) {
    *out << row.name;
}

const std::string kRmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230324,003.1,W";
const std::string kGsa3d = "GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1";
const std::string kGga = "GPGGA,123520,4807.038,N,01131.000,E,";

const std::vector<RuleRow> kRows = {
    {"FixTimeIsUtc",
     {kRmc},
     [](const GpsFix& f) {
         EXPECT_EQ(f.fixTime, 1711197319.0);  // 2024-03-23 12:35:19 UTC
         EXPECT_EQ(f.dateTime.weekday, 6);
         EXPECT_EQ(f.mode * 10 + f.status, FIX_MODE_2D * 10 + FIX_STATUS_FIX);
     }},
    {"RmcVoidEndsTheFixButKeepsThePosition",
     {kRmc, kGsa3d, "GPRMC,123520,V,0000.000,N,00000.000,E,,,230324,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.mode * 10 + f.status, FIX_MODE_NONE * 10 + FIX_STATUS_NONE);
         EXPECT_NEAR(f.latitude, 48.1173, 1e-9);
     }},
    {"GgaQualityZeroChangesOnlyTheStatus",
     {kRmc, kGga + "0,08,0.9,545.4,M,46.9,M,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.status, FIX_STATUS_NONE);
         EXPECT_EQ(f.dateTime.second + f.altitude + f.geoidSeparation + f.satellitesUsedCount, 19);
     }},
    {"GgaClimbsOverTheTimeBetweenFixes",
     {kRmc, kGga + "1,08,0.9,545.4,M,,M,,", "GPGGA,123522,,,,,2,08,0.9,555.4,M,,M,,"},
     [](const GpsFix& f) { EXPECT_NEAR(f.climb, 5.0, 1e-9); }},
    {"GgaWithoutAltitudeEndsA3dFix",
     {kGsa3d, kGga + "1,08,0.9,,M,,M,,"},
     [](const GpsFix& f) { EXPECT_EQ(f.mode, FIX_MODE_2D); }},
    {"MidnightAdvancesTheDayIntoTheNextMonth",
     {"GPRMC,235959,A,4807.038,N,01131.000,E,,,310124,,",
      "GPGGA,000001,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.dateTime.dayOfMonth * 100 + f.dateTime.month, 101);
         EXPECT_EQ(f.fixTime - f.previousFixTime, 2.0);
     }},
    {"EveryDateSetsTheYear",
     {"GPRMC,235951,A,,,,,,,050180,,", "GPRMC,102523,A,,,,,,,210808,,"},
     [](const GpsFix& f) { EXPECT_EQ(f.dateTime.yearsSince1900, 108); }},
    {"ZdaSetsDateAndTime",
     {"GPZDA,201530.25,04,07,2002,00,00"},
     [](const GpsFix& f) { EXPECT_EQ(f.fixTime, 1025813730.25); }},
    {"AnyTalkerWithoutChecksum",
     {"GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.altitude, 545.4);
         EXPECT_STREQ(f.lastSentenceName.data(), "GGA");
         EXPECT_EQ(f.lastSentenceLength, 62);
     }},
    {"IgnoredTypesRecordNothing",
     {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", "GPXYZ,1", "PGRMZ,93,f,3"},
     [](const GpsFix& f) { EXPECT_EQ(EncodeGpsFix(f), EncodeGpsFix(GpsFix{})); }},
    {"GsaModeEAndShortGsa",
     {kGsa3d, "GPGSA,A,E,,,,,,,,,,,,,,,", "GPGSA,A,3,04"},
     [](const GpsFix& f) { EXPECT_EQ(f.mode * 10 + f.satellitesUsedCount, 0); }},
    {"GsvKeepsTheFirstTwelveOfMore",
     {"GPGSV,4,1,13,01,1,1,1,02,1,1,1,03,1,1,1,04,1,1,1",
      "GPGSV,4,2,13,05,1,1,1,06,1,1,1,07,1,1,1,08,1,1,1",
      "GPGSV,4,3,13,09,1,1,1,10,1,1,1,11,1,1,1,12,1,1,1", "GPGSV,4,4,13,13,1,1,1,1"},
     [](const GpsFix& f) { EXPECT_EQ(SatellitesInView(f).back().prn, 12); }},
    {"GsvWithoutAzimuthsClears",
     {"GPGSV,1,1,02,01,40,,46,02,17,000,41"},
     [](const GpsFix& f) { EXPECT_EQ(f.satellitesInViewCount, 0); }},
    {"GllNeedsValidDataAndNamesDifferential",
     {"GPGLL,4807.038,N,01131.000,E,123519,V,A", "GPGLL,4807.038,N,01131.000,E,123519,A,N",
      "GPGLL,4916.45,N,12311.12,W,225444,A,D"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.latitude > 49 && f.status == FIX_STATUS_DIFFERENTIAL, true);
     }},
};

class NmeaRule : public testing::TestWithParam<RuleRow> {};

TEST_P(NmeaRule, LeavesTheExpectedFix) {
    ::setenv("TZ", "America/New_York", 1);  // far from UTC, so local-time conversions show
    ::tzset();
    CNmeaParser parser;
    GpsFix fix;
    for (const std::string& body : GetParam().sentences) {
        parser.ParseSentence("$" + body, fix);
    }
    EXPECT_EQ(parser.TotalDropCount(), 0u);
    GetParam().check(fix);
    ::unsetenv("TZ");
    ::tzset();
}

INSTANTIATE_TEST_SUITE_P(Rules, NmeaRule, testing::ValuesIn(kRows),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvik
