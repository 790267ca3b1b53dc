// tarvik-cli export, and merge taking a WiGLE CSV file, run as a user runs
// them on real files and without a driver.
#include <gtest/gtest.h>

#include "networks/ScanFile.h"
#include "tests/core/TempFolder.h"
#include "tests/export/ExportTestSupport.h"

namespace tarvik::testing {
namespace {

using namespace testing_support;

TEST(ExportCli, CommandsAnswerAsDocumented) {
    TempFolder temp;
    std::string error;
    const std::vector<BssidRecord> records = {SurveyRecord(1, "one", true),
                                              SurveyRecord(2, "two, \"2\"", true),
                                              SurveyRecord(3, "three", false)};
    ASSERT_EQ(WriteScanFileRecords(temp.Path() / "s.tvk", 9, records, error), RES_FILE_SAVED);
    std::ofstream(temp.Path() / "w.csv")
        << "WigleWifi-1.4,appRelease=1\n"
           "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude,CurrentLongitude,"
           "AltitudeMeters,AccuracyMeters,Type\n"
           "02:00:00:00:00:09,phone,[WEP][ESS],2024-01-01 00:00:00,1,-60,1,2,3,4,WIFI\n"
           "02:00:00:00:00:0a,bad,[ESS],2024-01-01 00:00:00,1,-60,1,200,3,4,WIFI\n";
    const struct {
        const char* args;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"export s.tvk --format kml --output s.kml",
         0,
         {"2 networks written to s.kml; 1 without a position left out."}},
        {"export s.tvk --format gpx --output s.gpx", 0, {"track of 4 receiver positions."}},
        {"export s.tvk --format csv --columns 'ssid,mac address' --output s.csv",
         0,
         {"3 networks written to s.csv."}},
        {"export s.tvk --format wigle --output w.csv/s.csv", 1, {"Cannot write w.csv/s.csv"}},
        // The texts follow the window's settings.
        {"options --set UseDbmOrPercentage=Percentages", 0, {}},
        {"export s.tvk --format csv --columns ssid,signal --output p.csv",
         0,
         {"3 networks written to p.csv."}},
        {"export s.tvk --format nope --output x", 2, {"unknown format 'nope'"}},
        {"export s.tvk --output x", 2, {"no --format given"}},
        {"export s.tvk --format csv --columns Ssid,Bogus --output x", 2, {"--columns names"}},
        {"export w.csv --format wigle --output back.csv",
         0,
         {"w.csv: line 4: bad position '1,200'", "1 network written to back.csv."}},
        {"merge s.tvk w.csv --output m.tvk", 0, {"w.csv: 1 of 1 records new", "m.tvk: 4 records"}},
        {"export --help", 0, {"usage: tarvik-cli export FILE --format wigle|kml|gpx|csv"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun run = RunCommand("cd '" + temp.Path().string() +
                                       "' && XDG_CONFIG_HOME=config TARVIK_MACHINE_HIVE=m.reg " +
                                       TARVIK_BINARY_DIR + "/bin/tarvik-cli " + c.args);
        EXPECT_EQ(run.status, c.status) << run.out;
        for (const std::string& text : c.says)
            EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
    }
    EXPECT_EQ(ReadText(temp.Path() / "s.csv").substr(0, 22), "Ssid,MAC Address\r\none,");
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "x"));
    EXPECT_NE(ReadText(temp.Path() / "p.csv").find("%"), std::string::npos);
}

}  // namespace
}  // namespace tarvik::testing
