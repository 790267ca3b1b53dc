// The geoid grid against the reference table and interpolation cases.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "gps/GeoidSeparation.h"

namespace tarvik {
namespace {

using nlohmann::json;

json ReadReference(const char* name) {
    return json::parse(std::ifstream(std::string(TARVIK_TESTDATA_DIR) + "/nmea/" + name));
}

TEST(GeoidSeparation, GivesEveryNodeOfTheReferenceGrid) {
    const json grid = ReadReference("geoid_grid.json");
    for (std::size_t i = 0; i < grid["grid"].size(); ++i) {
        for (std::size_t j = 0; j < grid["grid"][i].size(); ++j) {
            const double lat = -90.0 + 10.0 * i, lon = -180.0 + 10.0 * j;
            EXPECT_EQ(GeoidSeparation(lat, lon), grid["grid"][i][j].get<double>())
                << lat << " " << lon;
        }
    }
}

TEST(GeoidSeparation, InterpolatesLikeTheReferenceCases) {
    const json cases = ReadReference("geoid_crosscheck.json");
    int checked = 0;
    for (const auto& [group, key, tolerance] :
         {std::tuple{"interpolation_cases", "gpsd_10deg_expected", 1e-3},
          std::tuple{"computed_here_cases", "bilinear_this_grid", 1e-4}}) {
        for (const json& point : cases[group]["cases"]) {
            SCOPED_TRACE(point.dump());
            EXPECT_NEAR(GeoidSeparation(point["lat"], point["lon"]), point[key].get<double>(),
                        tolerance);
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
    // Outside the grid: clamped; not a number: 0.
    EXPECT_EQ(GeoidSeparation(95.0, -200.0), GeoidSeparation(90.0, -180.0));
    EXPECT_EQ(GeoidSeparation(std::nan(""), 0.0), 0.0);
}

}  // namespace
}  // namespace tarvik
