// Every real receiver log replayed through the parser, one row per log. At
// the end of each epoch the fix must hold what the reference decoder reported
// (positions to 1e-6 degrees, speeds to 1 mm/s, printed values exactly, grid
// geoid values to 1 mm), and only the log's known problem lines may be
// dropped, every line with a wrong checksum among them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "gps/NmeaParser.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kLogs = fs::path(TARVIK_TESTDATA_DIR) / "nmea" / "logs";
constexpr double kPrinted = 1e-6;
constexpr double kGarminScale = 2.076271186440678;

// The member, or null when absent (a const json asserts on missing keys).
const json& At(const json& object, const char* key) {
    static const json kNull;
    return object.is_object() && object.contains(key) ? object[key] : kNull;
}

void ExpectNear(double actual, const json& object, const char* key, double tolerance = kPrinted,
                double scale = 1) {
    if (!At(object, key).is_number()) return;
    EXPECT_NEAR(actual, At(object, key).get<double>() * scale, tolerance) << key;
}

// Index of the epoch's last sentence of one of `types`, -1 if none.
int LastOf(const json& epoch, std::initializer_list<std::string_view> types) {
    int last = -1;
    for (int i = 0; i < static_cast<int>(At(epoch, "sentences").size()); ++i) {
        for (std::string_view type : types)
            last = At(epoch, "sentences")[i].get<std::string>().ends_with(type) ? i : last;
    }
    return last;
}

void CheckRmcAndGga(const json& epoch, const GpsFix& fix) {
    const json& expected = At(epoch, "fix");
    if (At(epoch, "rmc_status") == "A" && At(expected, "lat").is_number()) {
        ExpectNear(fix.latitude, expected, "lat");
        ExpectNear(fix.longitude, expected, "lon");
        ExpectNear(fix.speed, expected, "speed_mps", 1e-3);
        ExpectNear(fix.track, expected, "track_deg");
    }
    const json& quality = At(epoch, "gga_quality");
    if (!quality.is_string() || quality == "" || quality == "0") return;
    ExpectNear(fix.altitude, expected, "alt_msl");
    if (At(epoch, "gga_geoid_field_present") == true)
        ExpectNear(fix.geoidSeparation, expected, "geoid_sep");
    if (At(epoch, "gga_geoid_field_present") == false) {
        ExpectNear(fix.geoidSeparation, epoch, "geoid_sep_10deg_bilinear", 1e-3);
    }
    EXPECT_EQ(fix.status == FIX_STATUS_DIFFERENTIAL, quality == "2");
}

void CheckGsaAndPgrme(const json& epoch, const GpsFix& fix) {
    const json& raw = At(epoch, "pgrme_raw");
    ExpectNear(fix.horizontalError, raw, "hpe_m", kPrinted, kGarminScale);
    ExpectNear(fix.sphericalError, raw, "epe_m", kPrinted, kGarminScale);
    if (!At(epoch, "gsa_raw").is_array() || At(epoch, "gsa_raw").empty()) return;
    const json& gsa = At(epoch, "gsa_raw").back();
    ExpectNear(fix.pdop, gsa, "pdop");
    ExpectNear(fix.hdop, gsa, "hdop");
    ExpectNear(fix.vdop, gsa, "vdop");
    if (LastOf(epoch, {"GSA"}) > LastOf(epoch, {"GGA"})) {  // GGA also sets the count
        EXPECT_EQ(std::vector<int>(UsedPrns(fix).begin(), UsedPrns(fix).end()),
                  At(gsa, "prns").get<std::vector<int>>());
    }
    if (LastOf(epoch, {"GSA"}) > LastOf(epoch, {"RMC", "GGA"})) {
        EXPECT_EQ(fix.mode, std::stoi(At(gsa, "fix_type").get<std::string>()));
    }
}

// Every satellite in view is one the reference saw, with the same figures.
std::size_t CheckSatellites(const json& epoch, const GpsFix& fix) {
    const json& seenList = At(At(epoch, "sky"), "satellites");
    if (!seenList.is_array()) return 0;
    for (const GpsSatellite& sat : SatellitesInView(fix)) {
        // The reference leaves out an empty SNR, and the elevation with an empty azimuth.
        EXPECT_TRUE(
            std::any_of(seenList.begin(), seenList.end(),
                        [&](const json& seen) {
                            return (At(seen, "prn") == sat.prn || At(seen, "svid") == sat.prn) &&
                                   seen.value("az", 0.0) == sat.azimuth &&
                                   seen.value("el", double(sat.elevation)) == sat.elevation &&
                                   seen.value("snr", 0.0) == sat.snr;
                        }))
            << "satellite " << sat.prn;
    }
    return SatellitesInView(fix).size();
}

class NmeaLogReplay : public testing::TestWithParam<std::string> {};

TEST_P(NmeaLogReplay, MatchesTheReferenceAtEveryEpoch) {
    const json expected = json::parse(std::ifstream(kLogs / GetParam() / "expected.json"));
    std::ifstream log(kLogs / GetParam() / (GetParam() + ".log"), std::ios::binary);
    std::set<int> problemLines, badChecksumLines, droppedLines;
    for (const json& problem : At(expected, "problem_lines")) {
        problemLines.insert(At(problem, "line").get<int>());
        if (At(problem, "problem") == "checksum mismatch")
            badChecksumLines.insert(At(problem, "line").get<int>());
    }
    CNmeaParser parser;
    GpsFix fix;
    int lineNumber = 0;
    std::size_t satellitesChecked = 0;
    for (const json& epoch : At(expected, "epochs")) {
        SCOPED_TRACE("epoch ending at line " + At(epoch, "log_lines")[1].dump());
        // Lines go in as the port's reader hands them over: from the first '$' to the line end.
        for (std::string line; lineNumber < At(epoch, "log_lines")[1] && std::getline(log, line);) {
            ++lineNumber;
            const std::size_t dollar = line.find('$');
            if (line.starts_with('#') || dollar == std::string::npos) continue;
            if (parser.ParseSentence(std::string_view(line).substr(dollar), fix) == NMEA_DROPPED)
                droppedLines.insert(lineNumber);
        }
        CheckRmcAndGga(epoch, fix);
        CheckGsaAndPgrme(epoch, fix);
        satellitesChecked += CheckSatellites(epoch, fix);
    }
    EXPECT_GT(satellitesChecked, 0u);
    for (int line : droppedLines)
        EXPECT_TRUE(problemLines.contains(line)) << "sound line dropped: " << line;
    for (int line : badChecksumLines)
        EXPECT_TRUE(droppedLines.contains(line)) << "bad line kept: " << line;
}

std::vector<std::string> LogNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kLogs))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Logs, NmeaLogReplay, testing::ValuesIn(LogNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

}  // namespace
}  // namespace tarvik
