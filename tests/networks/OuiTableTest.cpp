// The offline vendor table: the ieee-data CSV layout, longest-prefix
// look-ups, hostile rows left out, and the Vendor column filled from it.
#include <gtest/gtest.h>

#include <fstream>

#include "networks/OuiTable.h"
#include "networks/PrintableText.h"
#include "tests/core/TempFolder.h"
#include "tests/networks/ColumnsTestSupport.h"

namespace tarvik {
namespace {

const std::string kFixture =
    "Registry,Assignment,Organization Name,Organization Address\r\n"
    "MA-L,001122,\"Acme, Inc\",\"1 Road, Town\"\r\n"
    "MA-M,0011223,Middle Co,Somewhere\n"
    "MA-S,001122334,\"Small \"\"S\"\" Co\",\"multi\nline address\"\n"
    "IAB,0050C27D5,Old Block Co,\n"
    "MA-L,00000C,\"Cisco Systems, Inc\",170 WEST TASMAN DRIVE SAN JOSE CA US 95134-1706 \n"
    "MA-L,001122,Second Name Ignored,\n"
    "\n"
    // Dropped: bad digits, wrong length, unknown registry, no name, a name of
    // controls only, too many fields, an unterminated quote, a quote in the
    // middle, an overlong row.
    "MA-L,00X122,Bad Digits,\n"
    "MA-L,00112,Short,\n"
    "MA-Q,AABBCC,Unknown,\n"
    "MA-L,AABBCC\n"
    "MA-L,AABBCD,\"\x01\x02\",\n"
    "MA-L,AABBCE,a,b,c,d,e,f,g,h,i\n"
    "MA-L,AABBCF,\"Open quote,\n"
    "MA-L,AABBD0,\"Closed\"junk,\n"
    "MA-L,AABBD1,Long," +
    std::string(5000, 'y') + "\n";
constexpr std::size_t kFixtureDropped = 9;

struct FindRow {
    ndis::MacAddress mac;
    const char* vendor;  // nullptr: none
};

TEST(OuiTableTest, LongestAssignmentWinsAndHostileRowsAreLeftOut) {
    COuiTable table;
    const OuiFileReport report = table.AddCsv(kFixture);
    table.Finish();
    EXPECT_EQ(report.added, 6u);
    EXPECT_EQ(report.dropped, kFixtureDropped);
    EXPECT_EQ(table.Size(), 5u);
    EXPECT_FALSE(table.AddCsv("Name,Value\nMA-L,AABBCC,Acme\n").error.empty());
    EXPECT_FALSE(table.AddFile("/nonexistent/oui.csv").error.empty());
    const FindRow rows[] = {
        {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, "Small \"S\" Co"},
        {{0x00, 0x11, 0x22, 0x33, 0x54, 0x55}, "Middle Co"},
        {{0x00, 0x11, 0x22, 0x43, 0x44, 0x55}, "Acme, Inc"},
        {{0x00, 0x50, 0xC2, 0x7D, 0x50, 0x00}, "Old Block Co"},
        {{0x00, 0x50, 0xC2, 0x7D, 0x60, 0x00}, nullptr},
        {{0x00, 0x11, 0x23, 0x00, 0x00, 0x00}, nullptr},
        {{0xAA, 0xBB, 0xCC, 0x00, 0x00, 0x00}, nullptr},
    };
    for (const FindRow& row : rows) {
        SCOPED_TRACE(row.vendor ? row.vendor : "none");
        const std::optional<std::string_view> found = table.Find(row.mac);
        EXPECT_EQ(found.value_or("(none)"), row.vendor ? row.vendor : "(none)");
    }
}

// The installed IEEE file when the machine has it; the fixture's copy of the
// same row when it does not.
TEST(OuiTableTest, FindsCiscoInTheInstalledAssignments) {
    TempFolder fixture;
    std::filesystem::path folder = "/usr/share/ieee-data";
    if (!std::filesystem::exists(folder / "oui.csv")) {
        folder = fixture.Path();
        std::ofstream(folder / "oui.csv") << kFixture;
    }
    RecordProperty("folder", folder.string());
    const std::shared_ptr<const COuiTable> table = COuiTable::LoadFolder(folder);
    EXPECT_EQ(table->Find({0x00, 0x00, 0x0C, 0x12, 0x34, 0x56}), "Cisco Systems, Inc");
}

TEST(OuiTableTest, FillsTheVendorColumnWithoutALookup) {
    auto table = std::make_shared<COuiTable>();
    table->AddCsv(kFixture);
    table->Finish();
    testing_support::ColumnEnvironment columns;
    ndis::BssidEntryFields fields = testing_support::Fields();
    fields.macAddress = {0x00, 0x11, 0x22, 0x43, 0x44, 0x55};
    CBssid record(testing_support::Entry(fields), 1);
    EXPECT_TRUE(NeedsOuiLookup(record, columns.Context()));
    columns.vendors.SetOfflineTable(table);
    EXPECT_EQ(ColumnText(record, COLUMN_VENDOR, columns.Context()), "Acme, Inc");
    EXPECT_FALSE(NeedsOuiLookup(record, columns.Context()));
}

TEST(PrintableTextTest, DropsControlsAndCutsAtCharacters) {
    const std::tuple<const char*, std::size_t, const char*> rows[] = {
        {"  Acme\x01\x7f Corp\r", 64, "Acme Corp"},
        {"a\tb\n\nc", 64, "a b c"},
        {"caf\xc3\xa9", 4, "caf"},
        {"x\xc2\x85y", 64, "xy"},
        {"bad\xff\xc3(", 64, "bad?\x3f("},
        {"\xed\xa0\x80", 64, "???"},
    };
    for (const auto& [raw, max, shown] : rows) EXPECT_EQ(MakePrintableText(raw, max), shown) << raw;
}

}  // namespace
}  // namespace tarvik
