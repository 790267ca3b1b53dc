// File > Export... and the WiGLE CSV merge through the main window's
// controller, on real files; the dialogs, progress and message boxes are
// recording fakes.
#include "app/ExportCommands.h"

#include <gtest/gtest.h>

#include <fstream>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/ScanFileCommands.h"
#include "export/WigleCsvReader.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik::testing {
namespace {

class FakeExportSeams : public IScanFileDialogs, public IProgressDisplay, public IMessageBoxes {
  public:
    std::optional<ExportChoice> choice;
    std::optional<std::string> mergePath;
    std::optional<std::string> savePath;
    bool offeredVisibleOnly = false;
    std::string surveyPath;
    bool cancel = false;
    std::string message;

    std::optional<std::string> AskOpenPath() override { return std::nullopt; }
    std::optional<std::string> AskSavePath(const std::string&) override { return savePath; }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    void ShowOpenFileName(const std::string&) override {}
    std::optional<std::string> AskMergePath() override { return mergePath; }
    std::optional<ExportChoice> AskExport(bool filterActive, const std::string& survey) override {
        offeredVisibleOnly = filterActive;
        surveyPath = survey;
        return choice;
    }
    void Begin(const std::string&) override {}
    bool Report(std::uint64_t, std::uint64_t) override { return !cancel; }
    void End() override {}
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override {
        message = text;
    }
};

// Passes the networks whose MAC address ends in an even byte.
class EvenFilter : public INetworkFilter {
  public:
    bool PassesFilter(CBssid& record) override {
        return record.Entry()->GetMacAddress()[5] % 2 == 0;
    }
};

class ExportCommandsTest : public MainDialogFixture {
  protected:
    ExportCommandsTest() {
        scanFilesUnderTest_ = &files_;
        Create();
        files_.SetScanCycle(&dialog_->ScanCycle());
        files_.SetExportCommands(&exports_);
        std::vector<ndis::BssidEntry> entries;
        for (std::uint8_t i = 1; i <= 5; ++i)
            entries.push_back(testing_support::Entry(testing_support::Fields(i)));
        networks_.MergeEntries(entries);
    }

    std::string Path(const char* name) const { return (folder_.Path() / name).string(); }

    void Run(int id) {
        dialog_->ExecuteCommand(id);
        loop_.RunQueued();
        loop_.RunUntil([this] { return !files_.IsBusy(); });
    }

    FakeExportSeams seams_;
    EvenFilter even_;
    CExportCommands exports_{ExportCommandParts{
        .networks = networks_,
        .columns = columns_,
        .dialogs = seams_,
        .progress = seams_,
        .messages = seams_,
        .visibleColumns =
            [] {
                return std::vector<int>{COLUMN_MAC_ADDRESS, COLUMN_SSID};
            },
    }};
    CScanFileCommands files_{ScanFileCommandParts{
        .networks = networks_,
        .loop = loop_,
        .dialogs = seams_,
        .progress = seams_,
        .messages = seams_,
    }};
};

std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(ExportCommandsTest, WritesTheChosenRowsOrKeepsTheOldFile) {
    const struct {
        const char* name;
        bool filter;
        bool visibleOnly;
        bool cancel;
        const char* file;
        std::size_t lines;  // in the file afterwards; 0: "old" is still there
        const char* message;
    } cases[] = {
        {"every row", false, false, false, "all.csv", 6, ""},
        {"the filter's rows", true, true, false, "even.csv", 3, ""},
        {"every row despite a filter", true, false, false, "all2.csv", 6, ""},
        {"cancelled", false, false, true, "old.csv", 0, ""},
        {"unwritable", false, false, false, "all.csv/x.csv", 0, "Cannot write "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        exports_.SetFilter(c.filter ? &even_ : nullptr);
        const std::string path = Path(c.file);
        std::ofstream(path) << "old";
        seams_.choice = ExportChoice{path, ExportFormat::TableCsv, c.visibleOnly};
        seams_.cancel = c.cancel;
        seams_.message.clear();
        Run(ID_FILE_EXPORT);
        EXPECT_EQ(seams_.offeredVisibleOnly, c.filter);
        const std::string text = Text(path);
        if (c.lines == 0) {
            EXPECT_TRUE(text.empty() || text == "old") << text;
        } else {
            EXPECT_TRUE(text.starts_with("MAC Address,Ssid\r\n00:0c:41:82:b2:0")) << text;
            EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')),
                      c.lines);
        }
        EXPECT_EQ(seams_.message.substr(0, std::string(c.message).size()), c.message);
    }
}

TEST_F(ExportCommandsTest, TheOpenScanFileNamesTheProposal) {
    seams_.choice.reset();
    Run(ID_FILE_EXPORT);
    EXPECT_EQ(seams_.surveyPath, "");
    seams_.savePath = Path("walk.tvk");
    Run(ID_FILE_SAVE_AS);
    ASSERT_TRUE(files_.IsFileOpen());
    Run(ID_FILE_EXPORT);
    EXPECT_EQ(seams_.surveyPath, Path("walk.tvk"));
}

TEST_F(ExportCommandsTest, MergeTakesAWigleFileWithoutOpeningIt) {
    const std::string path = Path("phone.csv");
    std::ofstream(path)
        << "WigleWifi-1.6,appRelease=1,model=m,release=1,device=d,display=d,board=b,"
           "brand=b,star=Sol,body=3,subBody=0\n"
           "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,"
           "CurrentLongitude,AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type\n"
           "00:0c:41:82:b2:01,known,[ESS],2024-01-01 00:00:00,6,2437,-50,1,2,3,4,,,WIFI\n"
           "02:00:00:00:00:09,new,[WPA2-PSK-CCMP][ESS],2024-01-01 00:00:00,1,2412,-60,"
           "1,2,3,4,,,WIFI\n"
           "02:00:00:00:00:0a,bad,[ESS],yesterday,1,2412,-60,1,2,3,4,,,WIFI\n";
    seams_.mergePath = path;
    Run(ID_FILE_MERGE);
    EXPECT_EQ(networks_.Size(), 6u);
    EXPECT_FALSE(files_.IsFileOpen());
    EXPECT_EQ(seams_.message,
              "1 malformed rows of " + path + " were skipped:\nline 5: bad time 'yesterday'");
}

}  // namespace
}  // namespace tarvik::testing
