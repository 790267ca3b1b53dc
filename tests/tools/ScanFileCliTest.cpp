// tarvik-cli open and merge run as a user runs them, on real scan files and
// without a driver.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "networks/ScanFile.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/core/TempFolder.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik::testing {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

constexpr std::int32_t kFirst = 1700000000;  // 2023-11-14 22:13:20 UTC

class ScanFileCli : public ::testing::Test {
  protected:
    ScanFileCli() {
        Write("a.tvk", 12, {1, 2, 3});
        Write("b.tvk", 40, {3, 4, 5});
        // Cut inside its second record.
        Write("cut.tvk", 7, {6, 7});
        fs::resize_file(Path("cut.tvk"), fs::file_size(Path("cut.tvk")) - 9);
        std::ofstream(Path("text.tvk")) << "not a scan file\n";
    }

    fs::path Path(const std::string& name) const { return temp_.Path() / name; }

    void Write(const std::string& name, std::uint32_t counter, std::vector<std::uint8_t> macs) {
        std::vector<BssidRecord> records;
        for (std::uint8_t mac : macs) {
            records.push_back(std::make_shared<CBssid>(Entry(Fields(mac)), 1, kFirst + mac));
        }
        std::string error;
        ASSERT_EQ(WriteScanFileRecords(Path(name), counter, records, error), RES_FILE_SAVED);
    }

    ToolRun Cli(const std::string& args) {
        return RunCommand("cd '" + temp_.Path().string() + "' && TZ=UTC " + TARVIK_BINARY_DIR +
                          "/bin/tarvik-cli " + args);
    }

    std::size_t RecordsIn(const std::string& name) {
        const ScanFileContents read = ReadScanFileContents(Path(name));
        EXPECT_EQ(read.status, ScanFileStatus::Read) << read.message;
        return read.records.size();
    }

    TempFolder temp_;
};

TEST_F(ScanFileCli, CommandsAnswerAsDocumented) {
    struct Case {
        const char* args;
        int status;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {"open a.tvk",
         0,
         {"Records:          3\n", "Scan counter:     12\n", "Record versions:  1.21 (3)\n",
          "First seen:       2023-11-14 22:13:21 UTC\n",
          "Last seen:        2023-11-14 22:13:23 UTC"}},
        {"open cut.tvk",
         1,
         {"Records:          1 (the header says 2)",
          "record 2 of 2 (counting from 1) at byte offset"}},
        {"open text.tvk", 1, {"tarvik-cli: text.tvk: not a scan file"}},
        {"open missing.tvk", 1, {"missing.tvk: cannot open: No such file"}},
        {"open", 2, {"no scan file given (see 'tarvik-cli open --help')"}},
        {"open --help", 0, {"usage: tarvik-cli open FILE"}},
        {"merge a.tvk", 2, {"no --output file given"}},
        {"merge a.tvk --output", 2, {"unknown or incomplete option '--output'"}},
        {"merge a.tvk cut.tvk --output out.tvk", 1, {"record 2 of 2", "nothing written"}},
        {"merge a.tvk b.tvk --output out.tvk",
         0,
         {"a.tvk: 3 of 3 records opened", "b.tvk: 2 of 3 records new",
          "out.tvk: 5 records written, scan counter 12"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun run = Cli(c.args);
        EXPECT_EQ(run.status, c.status) << run.out;
        for (const std::string& text : c.says) {
            EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
        }
    }
    EXPECT_EQ(RecordsIn("out.tvk"), 5u);
}

TEST_F(ScanFileCli, ForcedMergeTakesWhatCanBeRead) {
    const ToolRun run = Cli("merge missing.tvk cut.tvk text.tvk b.tvk --force --output out.tvk");
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char* text :
         {"skipped missing.tvk", "skipped text.tvk",
          "taking the 1 records before the damage in cut.tvk", "cut.tvk: 1 of 1 records opened",
          "out.tvk: 4 records written, scan counter 7"}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
    }
    EXPECT_EQ(RecordsIn("out.tvk"), 4u);
}

}  // namespace
}  // namespace tarvik::testing
