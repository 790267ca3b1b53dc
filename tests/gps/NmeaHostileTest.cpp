// Malformed and hostile sentences: each is dropped whole, counted under its
// reason, and leaves the fix exactly as it was; drops are logged sparingly.
#include <gtest/gtest.h>

#include "gps/NmeaParser.h"
#include "tests/core/LogCapture.h"
#include "tests/core/TempFolder.h"

namespace tarvik {
namespace {

std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

struct HostileRow {
    const char* name;
    std::string sentence;
    NmeaDropReason reason;
};

const std::string kGoodRmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";
const std::string kGoodGga = "GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

const std::vector<HostileRow> kRows = {
    {"WrongChecksum", "$" + kGoodRmc + "*00", DROP_BAD_CHECKSUM},
    {"CutChecksum", WithChecksum(kGoodRmc).substr(0, 67), DROP_BAD_CHECKSUM},
    {"SplicedSentences", "$GPGSA,A,1" + WithChecksum(kGoodRmc), DROP_BAD_CHARACTER},
    {"NulBytes", "$GPRMC,123519,A,4807" + std::string(12, '\0') + "    ", DROP_BAD_CHARACTER},
    {"HighByte", WithChecksum(Replaced(kGoodRmc, "A", "\xC3")), DROP_BAD_CHARACTER},
    {"TooLong", WithChecksum(kGoodRmc + std::string(20, ',')), DROP_TOO_LONG},
    {"EmptyAddress", WithChecksum(",1,2"), DROP_NOT_A_SENTENCE},
    {"Empty", "", DROP_NOT_A_SENTENCE},
    {"LatitudeBeyond90", WithChecksum(Replaced(kGoodRmc, "4807.038", "9100.000")), DROP_BAD_FIELD},
    {"SixtyMinutes", WithChecksum(Replaced(kGoodRmc, "4807.038", "4860.000")), DROP_BAD_FIELD},
    {"LongitudeBeyond180", WithChecksum(Replaced(kGoodGga, "01131.000", "18100.500")),
     DROP_BAD_FIELD},
    {"UnknownHemisphere", WithChecksum(Replaced(kGoodRmc, ",N,", ",X,")), DROP_BAD_FIELD},
    {"ThirtyFirstFebruary", WithChecksum(Replaced(kGoodRmc, "230394", "310294")), DROP_BAD_FIELD},
    {"Hour25", WithChecksum(Replaced(kGoodRmc, "123519", "253519")), DROP_BAD_FIELD},
    {"TwoHundredSatellites", WithChecksum(Replaced(kGoodGga, ",08,", ",200,")), DROP_BAD_FIELD},
    {"QualityNine", WithChecksum(Replaced(kGoodGga, ",1,08", ",9,08")), DROP_BAD_FIELD},
    {"HugeAltitude", WithChecksum(Replaced(kGoodGga, "545.4", "99999999999999999")),
     DROP_BAD_FIELD},
    {"NegativeSpeed", WithChecksum(Replaced(kGoodRmc, "022.4", "-22.4")), DROP_BAD_FIELD},
    {"GsvNumberBeyondCount", WithChecksum("GPGSV,3,4,12,01,40,083,46"), DROP_BAD_FIELD},
    {"GsvElevation91", WithChecksum("GPGSV,1,1,01,01,91,083,46"), DROP_BAD_FIELD},
    {"GsaModeSeven", WithChecksum("GPGSA,A,7,04,05,,,,,,,,,,,2.5,1.3,2.1"), DROP_BAD_FIELD},
    {"ZdaTwentyNinthFebruary2023", WithChecksum("GPZDA,201530.00,29,02,2023,00,00"),
     DROP_BAD_FIELD},
    {"PgrmeNegative", WithChecksum("PGRME,-1.0,M,2.0,M,3.0,M"), DROP_BAD_FIELD},
};

void PrintTo(const HostileRow& row, std::ostream* out) {
    *out << row.name;
}

class NmeaHostile : public testing::TestWithParam<HostileRow> {};

TEST_P(NmeaHostile, IsDroppedCountedAndLeavesTheFixAlone) {
    CNmeaParser parser;
    GpsFix fix;
    ASSERT_EQ(parser.ParseSentence(WithChecksum(kGoodRmc), fix), NMEA_DECODED);
    ASSERT_EQ(parser.ParseSentence(WithChecksum(kGoodGga) + "\r\n", fix), NMEA_DECODED);
    const GpsFix before = fix;
    EXPECT_EQ(parser.ParseSentence(GetParam().sentence, fix), NMEA_DROPPED);
    EXPECT_EQ(parser.LastDropReason(), GetParam().reason);
    EXPECT_EQ(parser.DropCount(GetParam().reason), 1u);
    EXPECT_EQ(parser.TotalDropCount(), 1u);
    EXPECT_EQ(EncodeGpsFix(fix), EncodeGpsFix(before));
}

INSTANTIATE_TEST_SUITE_P(Sentences, NmeaHostile, testing::ValuesIn(kRows),
                         [](const auto& info) { return info.param.name; });

TEST(NmeaDropLog, LogsTheFirstFewDropsOfAReasonThenOneInAThousand) {
    TempFolder folder;
    LogCapture log(folder.Path());
    CNmeaParser parser;
    GpsFix fix;
    for (int i = 0; i < 2000; ++i) parser.ParseSentence("$GPGGA,*00", fix);
    parser.ParseSentence("$GPGGA,\x01", fix);
    const std::string text = ReadFileText(log.LogFile());
    const auto count = [&](const std::string& what) {
        long n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("App: Warn: Dropped an NMEA sentence (bad checksum, "), 7);
    EXPECT_EQ(count("(bad checksum, 2000 so far): $GPGGA,*00"), 1);
    EXPECT_EQ(count("(bad character, 1 so far): $GPGGA,?"), 1);
    EXPECT_EQ(parser.DropCount(DROP_BAD_CHECKSUM), 2000u);
}

}  // namespace
}  // namespace tarvik
