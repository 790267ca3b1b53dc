// Each export format written with hostile SSIDs and read back by readers that
// are not ours: xmllint against the formats' schemas and Python's xml.etree
// for KML and GPX, Python's csv module for the CSV formats.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "export/NetworkExport.h"
#include "tests/core/TempFolder.h"
#include "tests/export/ExportTestSupport.h"

namespace tarvik::testing {
namespace {

using namespace testing_support;

// Prints each network name the file holds, once, as hex of its UTF-8 bytes,
// then "rows N", "track N"; fails (exit 1) on a structural fault.
constexpr const char* kReader = R"PY(
import csv, sys, xml.etree.ElementTree as ET
path = sys.argv[1]
names, rows, track = [], 0, 0
def name(n):
    if n not in names: names.append(n)
if path.endswith('.kml'):
    ns = '{http://www.opengis.net/kml/2.2}'
    root = ET.parse(path).getroot()
    assert root.tag == ns + 'kml'
    for folder in root.iter(ns + 'Folder'):
        for p in folder.findall(ns + 'Placemark'):
            lon, lat, ele = map(float, p.find(ns + 'Point/' + ns + 'coordinates').text.split(','))
            assert -90 <= lat <= 90 and -180 <= lon <= 180
            assert p.find(ns + 'styleUrl').text.startswith('#')
            assert 'MAC: ' in p.find(ns + 'description').text
            name(p.find(ns + 'name').text or ''); rows += 1
elif path.endswith('.gpx'):
    ns = '{http://www.topografix.com/GPX/1/1}'
    root = ET.parse(path).getroot()
    assert root.tag == ns + 'gpx' and root.get('version') == '1.1'
    for w in root.findall(ns + 'wpt'):
        assert -90 <= float(w.get('lat')) <= 90 and -180 <= float(w.get('lon')) <= 180
        name(w.find(ns + 'name').text or ''); rows += 1
    track = len(root.findall(ns + 'trk/' + ns + 'trkseg/' + ns + 'trkpt'))
else:
    table = list(csv.reader(open(path, newline='', encoding='utf-8', errors='strict')))
    if table[0][0].startswith('WigleWifi-'):
        assert table[0][0] == 'WigleWifi-1.6' and table[0][-3:] == ['star=Sol', 'body=3', 'subBody=0']
        assert table[1] == ('MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,'
            'CurrentLongitude,AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type').split(',')
        for r in table[2:]:
            assert len(r) == 14 and r[13] == 'WIFI', r
            float(r[7]); float(r[8]); int(r[6])
            name(r[1]); rows += 1
    else:
        assert table[0] == ['Ssid', 'Channel', 'Encryption'], table[0]
        for r in table[1:]:
            assert len(r) == 3, r
            name(r[0]); rows += 1
for n in names: print(n.encode('utf-8').hex())
print('rows', rows); print('track', track)
)PY";

struct Hostile {
    std::string ssid;
    std::string geographic;  // the name as WiGLE CSV, KML and GPX give it
    std::string table;       // the Ssid cell of the table's CSV
};

const std::vector<Hostile>& HostileSsids() {
    static const std::vector<Hostile> kSsids = {
        {"<b>&amp;</b>", "<b>&amp;</b>", "<b>&amp;</b>"},
        {"say \"hi\", 'x'", "say \"hi\", 'x'", "say \"hi\", 'x'"},
        {"=cmd|' /C calc'!A0", "=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {std::string("nul\0after", 9), "nul\\x00after", "nul"},
        {"bad \xff utf8 \xc3\xa9", "bad \\xFF utf8 \xc3\xa9", "bad \\xFF utf8 \xc3\xa9"},
        {"]]><!-- -->", "]]><!-- -->", "]]><!-- -->"},
    };
    return kSsids;
}

std::string Hex(const std::string& text) {
    std::string hex;
    char pair[3];
    for (const unsigned char c : text) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    return hex + "\n";
}

struct FormatRow {
    const char* name;
    ExportFormat format;
    const char* file;
    const char* schema;  // XML formats: the schema in tests/export/schemas
};

void PrintTo(const FormatRow& row, std::ostream* out) {
    *out << row.name;
}

class ExportFormats : public ::testing::TestWithParam<FormatRow> {
  protected:
    ExportFormats() {
        std::uint8_t index = 1;
        for (const Hostile& hostile : HostileSsids())
            records_.push_back(SurveyRecord(index++, hostile.ssid, true));
        // With a control character XML cannot hold, and no position.
        records_.push_back(SurveyRecord(index, "new\nline", false));
        // A damaged position: on the 180th meridian, absurd height and error.
        records_.front()->SetPositionAtMaxRssi(Position(52.6, 180, kRecordTime + 60, 1e300, 1e300));
    }

    ExportRequest Request() {
        ExportRequest request;
        request.format = GetParam().format;
        request.columns = &columns_;
        request.tableColumns = {COLUMN_SSID, COLUMN_CHANNEL, COLUMN_ENCRYPTION};
        return request;
    }

    TempFolder temp_;
    CTestColumns columns_;
    std::vector<BssidRecord> records_;
};

TEST_P(ExportFormats, ReadBackByOutsideReaders) {
    const FormatRow& row = GetParam();
    const std::filesystem::path path = temp_.Path() / row.file;
    const ExportSummary summary = ExportNetworks(path, records_, Request());
    ASSERT_EQ(summary.status, ExportStatus::Written) << summary.error;

    const bool table = row.format == ExportFormat::TableCsv;
    std::string expected;
    for (const Hostile& hostile : HostileSsids())
        expected += Hex(table ? hostile.table : hostile.geographic);
    if (table) expected += Hex("new\nline");
    const std::size_t rows = row.format == ExportFormat::WigleCsv ? 12 : table ? 7 : 6;
    const bool gpx = row.format == ExportFormat::Gpx;
    expected += "rows " + std::to_string(rows) + "\ntrack " + (gpx ? "12" : "0") + "\n";

    const ToolRun read = RunPython(kReader, path, temp_.Path());
    EXPECT_EQ(read.status, 0) << read.out;
    EXPECT_EQ(read.out, expected);
    EXPECT_EQ(summary.withoutPosition, table ? 0u : 1u);
    EXPECT_EQ(summary.rows, rows);
    if (row.schema != nullptr) {
        const ToolRun lint = RunCommand(std::string("xmllint --noout --schema ") +
                                        TARVIK_SOURCE_DIR "/tests/export/schemas/" + row.schema +
                                        " '" + path.string() + "'");
        EXPECT_EQ(lint.status, 0) << lint.out;
    }
}

TEST_P(ExportFormats, CancelLeavesTheOldFile) {
    const std::filesystem::path path = temp_.Path() / GetParam().file;
    std::ofstream(path) << "old";
    ExportRequest request = Request();
    std::uint64_t reports = 0;
    request.progress = [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, records_.size());
        EXPECT_LE(done, total);
        return ++reports < 1;
    };
    EXPECT_EQ(ExportNetworks(path, records_, request).status, ExportStatus::Cancelled);
    EXPECT_EQ(ReadText(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.Path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Export, ExportFormats,
    ::testing::Values(FormatRow{"Wigle", ExportFormat::WigleCsv, "w.csv", nullptr},
                      FormatRow{"Kml", ExportFormat::Kml, "n.kml", "kml-2.2-subset.xsd"},
                      FormatRow{"Gpx", ExportFormat::Gpx, "n.gpx", "gpx-1.1-subset.xsd"},
                      FormatRow{"TableCsv", ExportFormat::TableCsv, "t.csv", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportProposal, NamedAfterTheSurveyWithTheFormatsExtension) {
    const struct {
        const char* survey;
        ExportFormat format;
        const char* proposed;
    } rows[] = {
        {"", ExportFormat::Kml, "survey.kml"},
        {"/data/walk.tvk", ExportFormat::WigleCsv, "/data/walk.csv"},
        {"/data/walk.tvk", ExportFormat::TableCsv, "/data/walk-table.csv"},
        {"/data/v1.2/walk", ExportFormat::Gpx, "/data/v1.2/walk.gpx"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ProposedExportPath(row.survey, row.format), row.proposed) << row.survey;
}

// A new export gets what the umask allows, as any new file; a replaced one
// keeps its mode.
TEST(ExportMode, FollowsTheUmaskOrTheReplacedFile) {
    TempFolder temp;
    CTestColumns columns;
    ExportRequest request;
    request.columns = &columns;
    const std::vector<BssidRecord> records = {SurveyRecord(1, "a", true)};
    const mode_t saved = ::umask(0077);
    const auto modeOf = [](const std::filesystem::path& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    ExportNetworks(temp.Path() / "private.csv", records, request);
    ::umask(0022);
    ExportNetworks(temp.Path() / "shared.csv", records, request);
    std::ofstream(temp.Path() / "kept.csv") << "old";
    ::chmod((temp.Path() / "kept.csv").c_str(), 0640);
    ExportNetworks(temp.Path() / "kept.csv", records, request);
    ::umask(saved);
    EXPECT_EQ(modeOf(temp.Path() / "private.csv"), 0600u);
    EXPECT_EQ(modeOf(temp.Path() / "shared.csv"), 0644u);
    EXPECT_EQ(modeOf(temp.Path() / "kept.csv"), 0640u);
    EXPECT_NE(ReadText(temp.Path() / "kept.csv"), "old");
}

TEST(ExportFailure, UnwritableFolderIsReportedNotWritten) {
    TempFolder temp;
    std::ofstream(temp.Path() / "file") << "x";
    CTestColumns columns;
    ExportRequest request;
    request.columns = &columns;
    const std::vector<BssidRecord> records = {SurveyRecord(1, "a", true)};
    const ExportSummary summary =
        ExportNetworks(temp.Path() / "file" / "out.csv", records, request);
    EXPECT_EQ(summary.status, ExportStatus::Failed);
    EXPECT_NE(SummaryText(summary, "out.csv").find("Cannot write out.csv: "), std::string::npos);
}

}  // namespace
}  // namespace tarvik::testing
