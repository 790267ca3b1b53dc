// Every real receiver log replayed through the parser, one row per log: at
// the end of each epoch the fix must hold the values the reference decoder
// reported for it, and only the log's known problem lines may be dropped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "gps/NmeaParser.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Tolerances: positions to 1e-6 degrees, speeds to 1 mm/s, the rest to what
// the logs print.
constexpr double kDegrees = 1e-6;
constexpr double kSpeed = 1e-3;
constexpr double kPrinted = 1e-6;
constexpr double kGeoidGrid = 1e-3;

fs::path LogsFolder() {
    return fs::path(TARVIK_TESTDATA_DIR) / "nmea" / "logs";
}

std::vector<std::string> ReadLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The member, or null when absent (const json asserts on missing keys).
const json& At(const json& object, const char* key) {
    static const json kNull;
    return object.is_object() && object.contains(key) ? object[key] : kNull;
}

bool IsPositive(const json& value) {
    return value.is_string() && !value.get<std::string>().empty() && value != "0";
}

// Index of the last sentence in the epoch whose address ends with one of `types`.
int LastOf(const json& epoch, std::initializer_list<std::string_view> types) {
    int last = -1;
    for (int i = 0; i < static_cast<int>(At(epoch, "sentences").size()); ++i) {
        const std::string address = At(epoch, "sentences")[i];
        for (std::string_view type : types) {
            if (address.ends_with(type)) last = i;
        }
    }
    return last;
}

double FixTimeOf(const std::string& date, const std::string& time) {
    std::tm tm{};
    tm.tm_year = std::stoi(date.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(date.substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(date.substr(8, 2));
    tm.tm_hour = std::stoi(time.substr(0, 2));
    tm.tm_min = std::stoi(time.substr(2, 2));
    return static_cast<double>(::timegm(&tm)) + std::stod(time.substr(4));
}

// Expects `actual` near the member `key` of `object` when the member is a number.
void ExpectNear(double actual, const json& object, const char* key, double tolerance,
                double scale = 1.0) {
    const json& value = At(object, key);
    if (value.is_number()) {
        EXPECT_NEAR(actual, value.get<double>() * scale, tolerance) << key;
    }
}

void CheckPosition(const json& epoch, const GpsFix& fix) {
    const json& expected = At(epoch, "fix");
    if (At(epoch, "rmc_status") != "A" || !At(expected, "lat").is_number()) return;
    ExpectNear(fix.latitude, expected, "lat", kDegrees);
    ExpectNear(fix.longitude, expected, "lon", kDegrees);
    ExpectNear(fix.speed, expected, "speed_mps", kSpeed);
    ExpectNear(fix.track, expected, "track_deg", kPrinted);
    const json& date = At(epoch, "nmea_date");
    if (date.is_string() && date.get<std::string>() >= "2000") {
        EXPECT_NEAR(fix.fixTime, FixTimeOf(date, At(epoch, "nmea_time")), 1e-3);
    }
}

void CheckGga(const json& epoch, const GpsFix& fix) {
    if (!IsPositive(At(epoch, "gga_quality"))) return;
    const json& expected = At(epoch, "fix");
    ExpectNear(fix.altitude, expected, "alt_msl", kPrinted);
    if (At(epoch, "gga_geoid_field_present") == true) {
        ExpectNear(fix.geoidSeparation, expected, "geoid_sep", kPrinted);
    } else {
        ExpectNear(fix.geoidSeparation, epoch, "geoid_sep_10deg_bilinear", kGeoidGrid);
    }
    EXPECT_EQ(fix.status == FIX_STATUS_DIFFERENTIAL, At(epoch, "gga_quality") == "2");
}

void CheckGsa(const json& epoch, const GpsFix& fix) {
    const json& all = At(epoch, "gsa_raw");
    if (!all.is_array() || all.empty()) return;
    const json& gsa = all.back();
    if (At(gsa, "prns").size() > kGpsChannelCount) return;
    ExpectNear(fix.pdop, gsa, "pdop", kPrinted);
    ExpectNear(fix.hdop, gsa, "hdop", kPrinted);
    ExpectNear(fix.vdop, gsa, "vdop", kPrinted);
    const std::vector<int> prns(UsedPrns(fix).begin(), UsedPrns(fix).end());
    if (LastOf(epoch, {"GSA"}) > LastOf(epoch, {"GGA"})) {
        EXPECT_EQ(prns, At(gsa, "prns").get<std::vector<int>>());
    }
    if (LastOf(epoch, {"GSA"}) > LastOf(epoch, {"RMC", "GGA"})) {
        EXPECT_EQ(fix.mode, std::stoi(At(gsa, "fix_type").get<std::string>()));
    }
}

// Every satellite in view is one the reference saw, with the same figures.
int CheckSatellites(const json& epoch, const GpsFix& fix) {
    const json& seenList = At(At(epoch, "sky"), "satellites");
    if (!seenList.is_array()) return 0;
    for (const GpsSatellite& sat : SatellitesInView(fix)) {
        bool found = false;
        for (const json& seen : seenList) {
            // The reference leaves out an empty SNR, and the elevation with an empty azimuth.
            found |= (At(seen, "prn") == sat.prn || At(seen, "svid") == sat.prn) &&
                     seen.value("el", double(sat.elevation)) == sat.elevation &&
                     seen.value("az", 0.0) == sat.azimuth && seen.value("snr", 0.0) == sat.snr;
        }
        EXPECT_TRUE(found) << "satellite " << sat.prn;
    }
    return fix.satellitesInViewCount;
}

void CheckPgrme(const json& epoch, const GpsFix& fix) {
    const json& raw = At(epoch, "pgrme_raw");
    ExpectNear(fix.horizontalError, raw, "hpe_m", kPrinted, 2.076271186440678);
    ExpectNear(fix.verticalError, raw, "vpe_m", kPrinted, 2.076271186440678);
    ExpectNear(fix.sphericalError, raw, "epe_m", kPrinted, 2.076271186440678);
}

class NmeaLogReplay : public testing::TestWithParam<std::string> {};

TEST_P(NmeaLogReplay, MatchesTheReferenceAtEveryEpoch) {
    const fs::path folder = LogsFolder() / GetParam();
    const json expected = json::parse(std::ifstream(folder / "expected.json"));
    const std::vector<std::string> lines = ReadLines(folder / (GetParam() + ".log"));
    std::set<int> problemLines, badChecksumLines, droppedLines;
    for (const json& problem : At(expected, "problem_lines")) {
        problemLines.insert(At(problem, "line").get<int>());
        if (At(problem, "problem") == "checksum mismatch")
            badChecksumLines.insert(At(problem, "line").get<int>());
    }
    CNmeaParser parser;
    GpsFix fix;
    std::size_t next = 0;
    int satellitesChecked = 0;
    for (const json& epoch : At(expected, "epochs")) {
        SCOPED_TRACE("epoch ending at line " +
                     std::to_string(At(epoch, "log_lines")[1].get<int>()));
        for (; next < static_cast<std::size_t>(At(epoch, "log_lines")[1].get<int>()); ++next) {
            const std::size_t dollar = lines[next].find('$');
            if (lines[next].starts_with('#') || dollar == std::string::npos) continue;
            if (parser.ParseSentence(std::string_view(lines[next]).substr(dollar), fix) ==
                NMEA_DROPPED)
                droppedLines.insert(static_cast<int>(next + 1));
        }
        CheckPosition(epoch, fix);
        CheckGga(epoch, fix);
        CheckGsa(epoch, fix);
        CheckPgrme(epoch, fix);
        satellitesChecked += CheckSatellites(epoch, fix);
    }
    EXPECT_GT(parser.DecodedCount(), 0u);
    EXPECT_GT(satellitesChecked, 0);
    for (int line : droppedLines)
        EXPECT_TRUE(problemLines.contains(line)) << "sound line dropped: " << line;
    for (int line : badChecksumLines)
        EXPECT_TRUE(droppedLines.contains(line)) << "bad line kept: " << line;
    EXPECT_EQ(parser.TotalDropCount(), droppedLines.size());
}

std::vector<std::string> LogNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(LogsFolder()))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Logs, NmeaLogReplay, testing::ValuesIn(LogNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

}  // namespace
}  // namespace tarvik
