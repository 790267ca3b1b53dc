// The decoding rules, one row per behaviour: a few sentences in, the fields
// they must leave in the fix.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "NmeaTestSupport.h"
#include "gps/GeoidSeparation.h"
#include "gps/NmeaParser.h"

namespace tarvik {
namespace {

struct RuleRow {
    const char* name;
    std::vector<std::string> sentences;  // bodies; "$" and the checksum are added unless raw
    std::function<void(const GpsFix&)> check;
    bool raw = false;
};

const std::string kRmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230324,003.1,W";
const std::string kGga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
const std::string kGsa3d = "GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1";
constexpr double k20240323At123519 = 1711197319.0;

const std::vector<RuleRow> kRows = {
    {"CoordinatesInDegrees",
     {kRmc},
     [](const GpsFix& f) {
         EXPECT_NEAR(f.latitude, 48.1173, 1e-9);
         EXPECT_NEAR(f.longitude, 11.516666, 1e-6);
         EXPECT_NEAR(f.speed, 22.4 * 0.51444444, 1e-9);
         EXPECT_EQ(f.track, 84.4);
         EXPECT_EQ(f.status, FIX_STATUS_FIX);
         EXPECT_EQ(f.mode, FIX_MODE_2D);
     }},
    {"SouthAndWestAreNegative",
     {"GPGLL,3351.000,S,15112.000,W,225444,A"},
     [](const GpsFix& f) {
         EXPECT_NEAR(f.latitude, -33.85, 1e-9);
         EXPECT_NEAR(f.longitude, -151.2, 1e-9);
     }},
    {"FixTimeIsUtc",
     {kRmc},
     [](const GpsFix& f) {
         EXPECT_EQ(f.fixTime, k20240323At123519);
         EXPECT_EQ(f.dateTime.weekday, 6);
     }},
    {"RmcVoidDropsTheFixButKeepsThePosition",
     {kRmc, kGsa3d, "GPRMC,123520,V,0000.000,N,00000.000,E,,,230324,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.mode, FIX_MODE_NONE);
         EXPECT_EQ(f.status, FIX_STATUS_NONE);
         EXPECT_NEAR(f.latitude, 48.1173, 1e-9);
     }},
    {"GgaQualityZeroChangesOnlyTheStatus",
     {kRmc, "GPGGA,123520,5007.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.status, FIX_STATUS_NONE);
         EXPECT_NEAR(f.latitude, 48.1173, 1e-9);
         EXPECT_EQ(f.dateTime.second, 19);
         EXPECT_EQ(f.altitude + f.geoidSeparation + f.satellitesUsedCount, 0);
     }},
    {"GgaGeoidFieldAndClimb",
     {kRmc, kGga, "GPGGA,123521,4807.038,N,01131.000,E,2,08,0.9,555.4,M,46.9,M,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.geoidSeparation, 46.9);
         EXPECT_EQ(f.altitude, 555.4);
         EXPECT_EQ(f.status, FIX_STATUS_DIFFERENTIAL);
         EXPECT_NEAR(f.climb, 5.0, 1e-9);
         EXPECT_EQ(f.satellitesUsedCount, 8);
     }},
    {"GgaWithoutGeoidFieldUsesTheGrid",
     {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.geoidSeparation, GeoidSeparation(f.latitude, f.longitude));
     }},
    {"GgaWithoutAltitudeEndsA3dFix",
     {kGsa3d, "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,,M,,M,,"},
     [](const GpsFix& f) { EXPECT_EQ(f.mode, FIX_MODE_2D); }},
    {"MidnightAdvancesTheDay",
     {"GPRMC,235959,A,4807.038,N,01131.000,E,,,310194,,",
      "GPGGA,000001,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.dateTime.dayOfMonth, 1);
         EXPECT_EQ(f.dateTime.month, 1);
         EXPECT_EQ(f.fixTime - f.previousFixTime, 2.0);
     }},
    {"LaterDateMovesTheYear",
     {"GPRMC,235951,A,4807.038,N,01131.000,E,,,050180,,",
      "GPRMC,102523,A,4807.038,N,01131.000,E,,,210808,,"},
     [](const GpsFix& f) { EXPECT_EQ(f.dateTime.yearsSince1900, 108); }},
    {"ZdaSetsDateAndTime",
     {"GPZDA,201530.25,04,07,2002,00,00"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.dateTime.yearsSince1900, 102);
         EXPECT_EQ(f.dateTime.month, 6);
         EXPECT_EQ(f.secondFraction, 0.25);
         EXPECT_EQ(f.fixTime, 1025813730.25);
     }},
    {"AnyTalkerAndNoChecksum",
     {"$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.altitude, 545.4);
         EXPECT_STREQ(f.lastSentenceName.data(), "GGA");
         EXPECT_EQ(f.lastSentenceLength, 62);
     },
     true},
    {"IgnoredTypesRecordNothing",
     {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", "GPXYZ,1", "PGRMZ,93,f,3"},
     [](const GpsFix& f) { EXPECT_EQ(EncodeGpsFix(f), EncodeGpsFix(GpsFix{})); }},
    {"GsaListsUsedSatellitesAndDops",
     {kGsa3d},
     [](const GpsFix& f) {
         EXPECT_EQ(f.satellitesUsedCount, 5);
         EXPECT_EQ(f.usedPrns[4], 24);
         EXPECT_EQ(f.vdop, 2.1);
         EXPECT_EQ(f.mode, FIX_MODE_3D);
     }},
    {"GsaModeEAndShortGsa",
     {"GPGSA,A,E,,,,,,,,,,,,,,,", "GPGSA,A,3,04"},
     [](const GpsFix& f) { EXPECT_EQ(f.mode, FIX_MODE_NOT_SEEN); }},
    {"GsvGroupFillsTheTable",
     {"GPGSV,2,1,05,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45",
      "GPGSV,2,2,05,00,10,10,10,17,05,100,,1"},
     [](const GpsFix& f) {
         ASSERT_EQ(f.satellitesInViewCount, 5);
         EXPECT_EQ(f.satellitesInView[4], (GpsSatellite{17, 5, 100, 0}));
         EXPECT_EQ(f.gsvSentenceNumber, 2);
     }},
    {"GsvKeepsTheFirstTwelveOfMore",
     {"GPGSV,4,1,13,01,1,1,1,02,1,1,1,03,1,1,1,04,1,1,1",
      "GPGSV,4,2,13,05,1,1,1,06,1,1,1,07,1,1,1,08,1,1,1",
      "GPGSV,4,3,13,09,1,1,1,10,1,1,1,11,1,1,1,12,1,1,1", "GPGSV,4,4,13,13,1,1,1"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.satellitesInViewCount, 12);
         EXPECT_EQ(f.satellitesInView[11].prn, 12);
     }},
    {"GsvWithoutAzimuthsClears",
     {"GPGSV,1,1,02,01,40,,46,02,17,000,41"},
     [](const GpsFix& f) { EXPECT_EQ(f.satellitesInViewCount, 0); }},
    {"GllNeedsValidDataAndNamesDifferential",
     {"GPGLL,4807.038,N,01131.000,E,123519,V,A", "GPGLL,4807.038,N,01131.000,E,123519,A,N",
      "GPGLL,4916.45,N,12311.12,W,225444,A,D"},
     [](const GpsFix& f) {
         EXPECT_NEAR(f.latitude, 49.274166, 1e-6);
         EXPECT_EQ(f.status, FIX_STATUS_DIFFERENTIAL);
     }},
    {"PgrmeScalesTheErrors",
     {"PGRME,15.0,M,45.0,M,25.0,M"},
     [](const GpsFix& f) {
         EXPECT_EQ(f.horizontalError, 15.0 * 2.076271186440678);
         EXPECT_EQ(f.verticalError, 45.0 * 2.076271186440678);
         EXPECT_STREQ(f.lastSentenceName.data(), "PGRME");
     }},
};

void PrintTo(const RuleRow& row, std::ostream* out) {
    *out << row.name;
}

class NmeaRule : public testing::TestWithParam<RuleRow> {};

TEST_P(NmeaRule, LeavesTheExpectedFix) {
    // Local time far from UTC, so a conversion through the local zone shows.
    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    CNmeaParser parser;
    GpsFix fix;
    for (const std::string& body : GetParam().sentences) {
        parser.ParseSentence(GetParam().raw ? body : WithChecksum(body), fix);
    }
    EXPECT_EQ(parser.TotalDropCount(), 0u);
    GetParam().check(fix);
    ::unsetenv("TZ");
    ::tzset();
}

INSTANTIATE_TEST_SUITE_P(Rules, NmeaRule, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<RuleRow>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace tarvik
