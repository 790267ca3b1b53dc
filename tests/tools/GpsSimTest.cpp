// The simulated receiver's parts without the program: sentence framing and
// field formats, epochs that the project's own parser decodes back to what
// went in, the route walk, log epochs against the reference counts, line
// damage and option checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "gps/NmeaParser.h"
#include "tools/gpssim/LineDamage.h"
#include "tools/gpssim/NmeaOutput.h"
#include "tools/gpssim/ReplayLog.h"
#include "tools/gpssim/RouteWalk.h"
#include "tools/gpssim/SimOptions.h"

namespace tarvik::gpssim {
namespace {

namespace fs = std::filesystem;

TEST(GpsSimOutput, FramesWithTheLogsChecksum) {
    // A sentence of the garmin48 log, checksum as the receiver sent it.
    EXPECT_EQ(FrameSentence("GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E"),
              "$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D\r\n");
    EXPECT_EQ(FormatNmeaTime(1000000000), "014640.00");  // 2001-09-09 01:46:40
    EXPECT_EQ(FormatNmeaDate(1000000000), "090901");
}

TEST(GpsSimOutput, AnglesAreDegreesAndMinutesWithHemisphere) {
    struct Row {
        double degrees;
        bool latitude;
        const char* text;
    } const rows[] = {
        {-45.4576333, true, "4527.4580,S"}, {52.5, true, "5230.0000,N"},
        {167.15275, false, "16709.1650,E"}, {-0.38, false, "00022.8000,W"},
        {10.99999999, true, "1100.0000,N"},  // minutes round up into the next degree
        {0, false, "00000.0000,E"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.latitude ? FormatLatitude(row.degrees) : FormatLongitude(row.degrees),
                  row.text);
    }
}

// Decodes every sentence of the epoch; all must be accepted.
GpsFix Decode(const SimEpoch& epoch) {
    CNmeaParser parser;
    GpsFix fix;
    for (const std::string& sentence : BuildEpochSentences(epoch))
        EXPECT_EQ(parser.ParseSentence(sentence, fix), NMEA_DECODED) << sentence;
    return fix;
}

TEST(GpsSimOutput, EpochsDecodeToWhatWentIn) {
    const Waypoint places[][2] = {{{52.5010, 13.4180}, {52.5000, 13.4230}},     // N E
                                  {{-33.8688, 151.2093}, {-33.87, 151.21}},     // S E
                                  {{-34.6037, -58.3816}, {-34.60, -58.38}},     // S W
                                  {{40.7128, -74.0060}, {40.7138, -74.0060}}};  // N W
    for (const auto& route : places) {
        SCOPED_TRACE(FormatLatitude(route[0].latitude) + " " + FormatLongitude(route[0].longitude));
        const SimEpoch epoch = CRouteWalk({route[0], route[1]}, 2.0).EpochAt(30, 1700000000);
        const GpsFix fix = Decode(epoch);
        EXPECT_NEAR(fix.latitude, epoch.latitude, 2e-6);
        EXPECT_NEAR(fix.longitude, epoch.longitude, 2e-6);
        EXPECT_NEAR(fix.altitude, epoch.altitude, 0.051);
        EXPECT_NEAR(fix.geoidSeparation, epoch.geoidSeparation, 0.051);
        EXPECT_NEAR(fix.speed, 2.0, 0.03);
        EXPECT_NEAR(fix.track, epoch.course, 0.051);
        EXPECT_DOUBLE_EQ(fix.fixTime, 1700000000);
        EXPECT_EQ(fix.mode, FIX_MODE_3D);
        EXPECT_EQ(fix.status, FIX_STATUS_FIX);
        EXPECT_EQ(fix.satellitesUsedCount, 7);
        EXPECT_EQ(fix.satellitesInViewCount, 10);
        EXPECT_DOUBLE_EQ(fix.hdop, epoch.hdop);
        EXPECT_DOUBLE_EQ(fix.pdop, epoch.pdop);
    }
}

TEST(GpsSimOutput, AnEpochWithoutFixSaysSo) {
    SimEpoch epoch = CRouteWalk({{52.5, 13.4}}, 0).EpochAt(0, 1700000000);
    epoch.fix = false;
    const GpsFix fix = Decode(epoch);
    EXPECT_EQ(fix.mode, FIX_MODE_NONE);
    EXPECT_EQ(fix.status, FIX_STATUS_NONE);
    EXPECT_EQ(fix.latitude, 0);
}

TEST(GpsSimRoute, WalksOutAndBackAtItsSpeed) {
    const Waypoint start{50.0, 10.0}, end{50.01, 10.0};  // 1112 m due north
    EXPECT_NEAR(DistanceMetres(start, end), 1111.95, 0.1);
    const CRouteWalk walk({start, end}, 10.0);
    const SimEpoch out = walk.EpochAt(50, 0);
    EXPECT_NEAR(DistanceMetres(start, {out.latitude, out.longitude}), 500, 0.5);
    EXPECT_NEAR(out.course, 0, 1e-6);
    const SimEpoch back = walk.EpochAt(161.195, 0);  // 500 m back from the far end
    EXPECT_NEAR(DistanceMetres(end, {back.latitude, back.longitude}), 500, 0.5);
    EXPECT_NEAR(back.course, 180, 1e-6);
}

TEST(GpsSimReplay, EpochsMatchTheReferenceCounts) {
    // Logs whose reference counts epochs by other rules: stretches without
    // time fields, a receiver clock jump, spliced and torn lines.
    const std::set<std::string> otherRules = {"foretrex-201", "gp-320fw-2019-04-07-coldboot",
                                              "rgm3800", "tomtom-mkII"};
    const fs::path logs = fs::path(TARVIK_TESTDATA_DIR) / "nmea" / "logs";
    int compared = 0;
    for (const auto& folder : fs::directory_iterator(logs)) {
        const std::string name = folder.path().filename().string();
        SCOPED_TRACE(name);
        std::ifstream log(folder.path() / (name + ".log"), std::ios::binary);
        std::ifstream expected(folder.path() / "expected.json");
        const auto epochs = SplitLogIntoEpochs(log);
        const auto count = nlohmann::json::parse(expected)["epoch_count"].get<std::size_t>();
        if (!otherRules.contains(name)) {
            EXPECT_EQ(epochs.size(), count);
        }
        EXPECT_NEAR(double(epochs.size()), double(count), 3);
        for (const Epoch& epoch : epochs)
            for (const std::string& line : epoch)
                EXPECT_TRUE(line.ends_with("\r\n") && line[0] != '#');
        ++compared;
    }
    EXPECT_EQ(compared, 17);
}

TEST(GpsSimDamage, DamagedSentencesAreRefusedForTheirReason) {
    const std::string good = FrameSentence("GPGSA,A,3,02,05,,,,,,,,,,,1.6,0.9,1.3");
    struct Row {
        double badRate, cutRate;
        NmeaOutcome outcome;
        NmeaDropReason reason;
    } const rows[] = {{0, 0, NMEA_DECODED, DROP_NONE},
                      {1, 0, NMEA_DROPPED, DROP_BAD_CHECKSUM},
                      {0, 1, NMEA_DROPPED, DROP_BAD_CHECKSUM}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.badRate << "/" << row.cutRate);
        CLineDamage damage(row.badRate, row.cutRate);
        for (int i = 0; i < 20; ++i) {
            const std::string sent = damage.Apply(good);
            CNmeaParser parser;
            GpsFix fix;
            EXPECT_EQ(parser.ParseSentence(sent, fix), row.outcome) << sent;
            EXPECT_EQ(parser.LastDropReason(), row.reason) << sent;
            EXPECT_TRUE(sent.ends_with("\r\n"));
        }
    }
}

TEST(GpsSimOptions, BadCommandLinesAreRefused) {
    const std::vector<std::vector<std::string>> rows = {
        {},
        {"--route", "52.5,13.4", "--replay", "x.log"},
        {"--route", "52.5"},
        {"--route", "95,13.4"},
        {"--route", "52.5,13.4", "--cut-lines", "2"},
        {"--route", "52.5,13.4", "--no-fix-every", "3", "--no-fix-for", "3"},
        {"--route", "52.5,13.4", "--no-fix-every", "2.5"},
        {"--route", "52.5,13.4", "--speed"},
        {"--replay", "x.log", "--bogus"},
    };
    for (const auto& args : rows) {
        std::string joined, error;
        for (const std::string& arg : args) joined += arg + " ";
        SCOPED_TRACE(joined);
        EXPECT_FALSE(ParseSimOptions(args, error));
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    const auto options = ParseSimOptions(
        {"--route", "52.5,13.4", "-33.9,151.2", "--speed", "3", "--silent-after", "4"}, error);
    ASSERT_TRUE(options) << error;
    ASSERT_EQ(options->route.size(), 2u);
    EXPECT_DOUBLE_EQ(options->route[1].longitude, 151.2);
    EXPECT_DOUBLE_EQ(options->speed, 3);
    EXPECT_DOUBLE_EQ(options->silentAfter, 4);
}

}  // namespace
}  // namespace tarvik::gpssim
