// WiGLE CSV import: our export read back into the same networks, files of
// the older version, and malformed rows reported by line and skipped.
#include <gtest/gtest.h>

#include "export/NetworkExport.h"
#include "export/RecordPosition.h"
#include "export/WigleAuthMode.h"
#include "export/WigleCsvReader.h"
#include "tests/core/TempFolder.h"
#include "tests/export/ExportTestSupport.h"

namespace tarvik::testing {
namespace {

using namespace testing_support;

constexpr const char* kHead16 =
    "WigleWifi-1.6,appRelease=2.70,model=Pixel 7,release=14,device=panther,display=x,board=y,"
    "brand=google,star=Sol,body=3,subBody=0\n"
    "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,CurrentLongitude,"
    "AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type\n";

TEST(WigleImport, ExportThenImportGivesTheSameNetworks) {
    TempFolder temp;
    CTestColumns columns;
    std::vector<BssidRecord> records = {
        SurveyRecord(1, "open, \"quoted\"", true),
        SurveyRecord(2, "wpa\xff", true, {kWpaPskTkip}),
        SurveyRecord(3, std::string("rsn\0x", 5), true, {kRsnPskCcmp}),
        // Outside the bands: the table's channel number is no channel.
        SurveyRecord(4, "odd band", true, {}, 1218000),
        // A frequency in 100 kHz units, as some drivers give it.
        SurveyRecord(5, "units", true, {}, 24370),
    };
    ExportRequest request;
    request.columns = &columns;
    const std::filesystem::path path = temp.Path() / "survey.csv";
    ASSERT_EQ(ExportNetworks(path, records, request).status, ExportStatus::Written);
    ASSERT_TRUE(IsWigleCsvFile(path));

    const WigleCsvContents read = ReadWigleCsv(path);
    ASSERT_EQ(read.contents.status, ScanFileStatus::Read) << read.contents.message;
    EXPECT_TRUE(read.skipped.empty());
    EXPECT_EQ(read.version, "1.6");
    ASSERT_EQ(read.contents.records.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        CBssid& before = *records[i];
        CBssid& after = *read.contents.records[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(after.Entry()->GetMacAddress(), before.Entry()->GetMacAddress());
        EXPECT_EQ(SsidText(after), SsidText(before));
        EXPECT_EQ(WigleAuthMode(after), WigleAuthMode(before));
        EXPECT_EQ(after.SecurityClass(), before.SecurityClass());
        EXPECT_EQ(ChannelOf(after), ChannelOf(before));
        EXPECT_EQ(after.RssiMin(), before.RssiMin());
        EXPECT_EQ(after.RssiMax(), before.RssiMax());
        EXPECT_EQ(after.FirstSeen(), before.FirstSeen());
        EXPECT_EQ(after.LastSeen(), before.LastSeen());
        for (auto which : {&CBssid::PositionAtMinRssi, &CBssid::PositionAtMaxRssi}) {
            const auto was = ReadPosition((before.*which)());
            const auto is = ReadPosition((after.*which)());
            ASSERT_TRUE(is.has_value());
            EXPECT_NEAR(is->latitude, was->latitude, 1e-7);
            EXPECT_NEAR(is->longitude, was->longitude, 1e-7);
            EXPECT_NEAR(is->altitude, was->altitude, 0.05);
        }
    }
}

TEST(WigleImport, OlderVersionAndOtherRadios) {
    const std::string text =
        "WigleWifi-1.4,appRelease=2.26,model=x,release=8,device=y,display=z,board=b,brand=c\n"
        "MAC,SSID,AuthMode,FirstSeen,Channel,RSSI,CurrentLatitude,CurrentLongitude,"
        "AltitudeMeters,AccuracyMeters,Type\n"
        "00:11:22:33:44:55,Cafe,[WPA2-EAP-CCMP][ESS],2019-03-01 "
        "10:00:00,36,-61,52.5,13.4,40,5,WIFI\n"
        "00:11:22:33:44:66,,[IBSS],2019-03-01 10:00:01,11,-80,52.5,13.4,40,5,WIFI\n"
        "aa:bb:cc:dd:ee:ff,Headset,Misc [Headphones],2019-03-01 "
        "10:00:02,10,-70,52.5,13.4,40,5,BT\n";
    const WigleCsvContents read = ParseWigleCsv(text, "old.csv");
    ASSERT_EQ(read.contents.status, ScanFileStatus::Read);
    EXPECT_EQ(read.version, "1.4");
    EXPECT_EQ(read.otherRows, 1u);
    ASSERT_EQ(read.contents.records.size(), 2u);
    CBssid& cafe = *read.contents.records[0];
    EXPECT_EQ(cafe.Entry()->GetConfiguration().dsConfig, 5180000u);
    EXPECT_EQ(ChannelOf(cafe), 36u);
    EXPECT_EQ(WigleAuthMode(cafe), "[WPA2-EAP-CCMP][ESS]");
    EXPECT_EQ(cafe.FirstSeen(), 1551434400);
    EXPECT_EQ(WigleAuthMode(*read.contents.records[1]), "[IBSS]");
    EXPECT_EQ(ChannelOf(*read.contents.records[1]), 11u);
}

TEST(WigleImport, MalformedRowsAreSkippedByLineNumber) {
    const char* const good =
        "00:11:22:33:44:55,ok,[ESS],2024-01-01 00:00:00,6,2437,-50,1,2,3,4,,,WIFI";
    const struct {
        const char* row;
        const char* reason;
    } cases[] = {
        {"00:11:22:33:44,short mac,[ESS],2024-01-01 00:00:00,6,2437,-50,1,2,3,4,,,WIFI",
         "bad MAC address '00:11:22:33:44'"},
        {"00:11:22:33:44:zz,x,[ESS],2024-01-01 00:00:00,6,2437,-50,1,2,3,4,,,WIFI",
         "bad MAC address '00:11:22:33:44:zz'"},
        {"00:11:22:33:44:55,x,[ESS],2024-02-30 00:00:00,6,2437,-50,1,2,3,4,,,WIFI",
         "bad time '2024-02-30 00:00:00'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01,6,2437,-50,1,2,3,4,,,WIFI", "bad time '2024-01-01'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,six,2437,-50,1,2,3,4,,,WIFI",
         "bad channel 'six'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,6,-1,-50,1,2,3,4,,,WIFI",
         "bad frequency '-1'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,6,2437,50dBm,1,2,3,4,,,WIFI",
         "bad RSSI '50dBm'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,6,2437,-50,91,2,3,4,,,WIFI",
         "bad position '91,2'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,6,2437,-50,nan,2,3,4,,,WIFI",
         "bad position 'nan,2'"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,6,2437,-50,1,2,high,4,,,WIFI",
         "bad altitude or accuracy"},
        {"00:11:22:33:44:55,0123456789012345678901234567890123,[ESS],2024-01-01 00:00:00,6,2437,"
         "-50,1,2,3,4,,,WIFI",
         "SSID longer than 32 bytes"},
        {"00:11:22:33:44:55,x,[ESS],2024-01-01 00:00:00,6", "5 fields where the header has 14"},
        {"00:11:22:33:44:55,x\"y,[ESS]", "a quote inside an unquoted field"},
        {"00:11:22:33:44:55,\"x\"y,[ESS]", "text after a closing quote"},
        {"\"never closed,\n", "a quoted field that never ends"},
    };
    std::string text = kHead16;
    std::vector<std::string> expected;
    std::size_t line = 3;
    for (const auto& c : cases) {
        text += std::string(good) + "\n" + c.row + "\n";
        expected.push_back("line " + std::to_string(line + 1) + ": " + c.reason);
        line += 2;
    }
    const WigleCsvContents read = ParseWigleCsv(text, "bad.csv");
    ASSERT_EQ(read.contents.status, ScanFileStatus::Read);
    EXPECT_EQ(read.skipped, expected);
    EXPECT_EQ(read.wifiRows, std::size(cases));
    ASSERT_EQ(read.contents.records.size(), 1u);
}

TEST(WigleImport, NotWigleCsv) {
    for (const char* text : {"", "MAC,SSID\n", "WigleWifi-1.6\nMAC,SSID,Type\n"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseWigleCsv(text, "x").contents.status, ScanFileStatus::NotScanFile);
    }
}

}  // namespace
}  // namespace tarvik::testing
