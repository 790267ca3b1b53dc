// The GPS receiver in the window: sentences out of the byte stream, the
// dialog's texts, positions on networks, and one run through a real
// pseudo-terminal mapped as COM3.
#include <gtest/gtest.h>

#include <cmath>

#include "../gps/serial/PtyPort.h"
#include "../networks/BssidTestSupport.h"
#include "MainWindowFakes.h"
#include "app/GpsAttach.h"
#include "app/GpsIntegration.h"
#include "app/GpsStatusText.h"
#include "networks/CoordinateText.h"
#include "networks/ScanFile.h"

namespace tarvik::testing {
namespace {

using namespace testing_support;

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230324,003.1,W\r";
constexpr std::time_t kNow = 1700000000;

// Counts the status refreshes; the log is read from the integration.
struct FakeGpsOutput : IGpsOutputView {
    explicit FakeGpsOutput(int& statusCount) : count(statusCount) {}
    void ShowOnTop() override {}
    void SetStatusTexts(const std::string&, const std::string&, const std::string&) override {
        ++count;
    }
    void SetSentenceLog(const std::string&) override {}
    int& count;
};

struct GpsSetup {
    FakeMainLoop loop;
    test::TempFolder folder;
    CApplicationOptions options{nullptr, (folder.Path() / "bin" / "tarvik").string()};
    CNetworkList networks;
    int statusCount = 0;
    CGpsIntegration gps{GpsIntegrationParts{
        .loop = loop,
        .options = options,
        .networks = networks,
        .createOutputView = [this] { return std::make_unique<FakeGpsOutput>(statusCount); },
        .clock = [] { return kNow; }}};
};

struct LineRow {
    const char* name;
    std::vector<std::string> reads;
    int sentences;  // parsed, each followed by a status update
    std::size_t fillAfter;
};

const std::vector<LineRow> kLineRows = {
    {"TwoSentencesInOneRead", {kRmc + "\n" + kRmc + "\n"}, 2, 0},
    {"PartialSentenceKept", {kRmc.substr(0, 20)}, 0, 20},
    {"PartialSentenceCompleted", {kRmc.substr(0, 20), kRmc.substr(20) + "\n"}, 1, 0},
    {"GarbageBeforeDollar", {"\x01\xff junk" + kRmc + "\n$GP"}, 1, 3},
    {"NinetyBytesTaken", {"$" + std::string(89, 'x') + "\n"}, 1, 0},
    {"NinetyOneBytesDiscarded", {"$" + std::string(90, 'x') + "\n" + kRmc}, 0, 0},
    // A wrong baud rate: no line feed ever. The full buffer is emptied, so
    // the receiver is heard again once it is right.
    {"FullBufferEmptied", {"$" + std::string(kGpsBufferSize, 'x'), kRmc + "\n"}, 1, 0},
};

TEST(GpsIntegrationTest, TakesSentencesFromTheStream) {
    for (const LineRow& row : kLineRows) {
        SCOPED_TRACE(row.name);
        GpsSetup setup;
        setup.gps.ShowOutput();
        const int before = setup.statusCount;
        for (const std::string& read : row.reads) setup.gps.ReceiveBytes(read);
        EXPECT_EQ(setup.gps.BufferFill(), row.fillAfter);
        EXPECT_EQ(setup.statusCount - before, row.sentences);
        const std::string& log = setup.gps.SentenceLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), row.sentences);
        EXPECT_TRUE(log.empty() || log[0] == '$') << log;
    }
}

// 25 sentences of 69 characters: cut to 1000 at the 19th and the 24th.
TEST(GpsIntegrationTest, LogKeepsTheNewestFirstAndIsCut) {
    GpsSetup setup;
    setup.gps.ShowOutput();
    const auto sentence = [](int i) {
        return "$GPTXT," + std::to_string(10 + i) + std::string(59, 'x');
    };
    for (int i = 0; i < 25; ++i) setup.gps.ReceiveBytes(sentence(i) + "\n");
    EXPECT_EQ(setup.gps.SentenceLog().size(), 1069u);
    EXPECT_EQ(setup.gps.SentenceLog().substr(0, 69), sentence(24) + "\n");
}

struct StatusRow {
    const char* name;
    bool open;
    std::time_t age;
    std::int32_t mode;
    std::int32_t angleFormat;
    GpsStatusTexts expected;
};

const std::vector<StatusRow> kStatusRows = {
    {"Closed", false, 0, FIX_MODE_3D, 2, {"Selected GPS Port COM3 is not open."}},
    {"Stale",
     true,
     6,
     FIX_MODE_3D,
     2,
     {"Connected to COM3 but no gps data received in the last 5 seconds."}},
    {"NoSatellites", true, 5, FIX_MODE_NONE, 2, {"Connected to gps but no satellites in view."}},
    {"Fix2dMinutes",
     true,
     0,
     FIX_MODE_2D,
     1,
     {"Connected to gps with 2D fix.", " 33 30.0000' S", "151 15.0000' W"}},
    {"Fix3dDegrees",
     true,
     0,
     FIX_MODE_3D,
     0,
     {"Connected to gps with 3d fix.", " 33.500000 S", "151.250000 W"}},
    {"NotSeenSeconds", true, 0, FIX_MODE_NOT_SEEN, 2, {"", " 33 30' 00.000\" S", "nan E"}},
};

TEST(GpsIntegrationTest, StatusTexts) {
    for (const StatusRow& row : kStatusRows) {
        SCOPED_TRACE(row.name);
        GpsState state;
        state.lastSentenceTime = kNow - row.age;
        state.fix.mode = row.mode;
        state.fix.latitude = -33.5;
        state.fix.longitude = row.mode == FIX_MODE_NOT_SEEN ? NAN : -151.25;
        EXPECT_EQ(ComposeGpsStatus(state, row.open, 3, row.angleFormat, kNow), row.expected);
    }
}

struct AttachRow {
    const char* name;
    std::vector<std::int32_t> signal;  // the record's scans in order
    bool hadPositions;
    std::uint32_t status;
    std::time_t age;
    bool newMin, newMax;
};

const std::vector<AttachRow> kAttachRows = {
    {"FirstSeenGetsBoth", {-50}, false, STATUS_UNAVAILABLE, 0, true, true},
    {"BetweenKeepsBoth", {-40, -60, -50}, true, STATUS_NOT_CONNECTED, 0, false, false},
    {"NewLowestReplacesMin", {-40, -60}, true, STATUS_UNAVAILABLE, 0, true, false},
    {"NewHighestReplacesMax", {-60, -40}, true, STATUS_UNAVAILABLE, 5, false, true},
    {"NotDetectedGetsNone", {-50}, false, STATUS_NOT_DETECTED, 0, false, false},
    {"StaleFixAttachesNone", {-50}, false, STATUS_UNAVAILABLE, 6, false, false},
};

TEST(GpsIntegrationTest, AttachesPositions) {
    class OpenPort : public IGpsPort {
        bool IsOpen() const override { return true; }
    } port;
    GpsState state;
    InitialiseGpsState(state, &port);
    state.fix.mode = FIX_MODE_2D;
    const OptionalPosition old = PositionSnapshot{};
    for (const AttachRow& row : kAttachRows) {
        SCOPED_TRACE(row.name);
        auto record = std::make_shared<CBssid>(Entry(Fields(1, row.signal[0])), 0, 0);
        for (std::int32_t rssi : row.signal) record->UpdateFromEntry(Entry(Fields(1, rssi)), 0);
        record->SetConnectionStatus(row.status);
        if (row.hadPositions) {
            record->SetPositionAtMinRssi(old);
            record->SetPositionAtMaxRssi(old);
        }
        const std::vector<BssidRecord> records = {record, std::make_shared<CBssid>()};
        state.lastSentenceTime = kNow - row.age;
        AttachPositions(records, state, kNow);
        const bool hasNew[] = {
            record->PositionAtMinRssi() && !record->PositionAtMinRssi().SharesBlockWith(old),
            record->PositionAtMaxRssi() && !record->PositionAtMaxRssi().SharesBlockWith(old)};
        EXPECT_EQ(hasNew[0], row.newMin);
        EXPECT_EQ(hasNew[1], row.newMax);
        // One block for every record of the tick.
        EXPECT_EQ(record->PositionAtMinRssi().SharesBlockWith(records[1]->PositionAtMaxRssi()),
                  row.newMin);
    }
}

class GpsPortTest : public test::PtyPortTest {};

TEST_F(GpsPortTest, SentencesFromComThreeGivePositionsThatScanFilesKeep) {
    GpsSetup setup;
    setup.networks.MergeEntries(std::vector{Entry(Fields(1, -50))});
    setup.gps.OpenPort();
    ASSERT_TRUE(setup.gps.IsPortOpen());
    SendFromDevice("noise" + kRmc + "\n$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1\r\n");
    setup.loop.RunUntil([&] { return setup.gps.Parser().DecodedCount() == 2; });
    setup.gps.UpdateStatus();  // the one-second tick
    const BssidRecord record = setup.networks.Records().at(0);
    ASSERT_TRUE(record->PositionAtMinRssi() && record->PositionAtMaxRssi());
    EXPECT_NEAR(PositionLatitude(*record->PositionAtMinRssi()), 48.1173, 1e-9);

    const auto file = temp_.Path() / "walk.tvk";
    std::string error;
    ASSERT_EQ(WriteScanFileRecords(file, 1, setup.networks.Records(), error), RES_FILE_SAVED);
    const ScanFileContents read = ReadScanFileContents(file);
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0]->PositionAtMaxRssi(), record->PositionAtMaxRssi());
    EXPECT_NEAR(PositionLongitude(*read.records[0]->PositionAtMinRssi()), 11.516667, 1e-6);
    setup.gps.ClosePort();
    EXPECT_FALSE(setup.gps.IsPortOpen());
}

}  // namespace
}  // namespace tarvik::testing
