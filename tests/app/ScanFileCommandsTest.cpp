// The File menu's scan-file commands through the main window's controller,
// on real files in a temporary folder; the dialogs, progress display and
// message boxes are recording fakes.
#include "app/ScanFileCommands.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik::testing {
namespace {

class FakeFileSeams : public IScanFileDialogs, public IProgressDisplay, public IMessageBoxes {
  public:
    std::optional<std::string> openPath;
    std::optional<std::string> savePath;
    SaveAnswer changesAnswer = SaveAnswer::Yes;
    bool cancelProgress = false;
    int reports = 0;
    std::vector<std::string> calls;
    std::string message;

    std::optional<std::string> AskOpenPath() override { return Call("AskOpen"), openPath; }
    std::optional<std::string> AskSavePath(const std::string& name) override {
        return Call("AskSave " + name), savePath;
    }
    SaveAnswer AskSaveChanges(const std::string& path) override {
        return Call("AskChanges " + path), changesAnswer;
    }
    void ShowOpenFileName(const std::string& name) override { Call("Title " + name); }
    void Begin(const std::string&) override {}
    bool Report(std::uint64_t, std::uint64_t) override { return ++reports, !cancelProgress; }
    void End() override {}
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        Call("Message " + caption);
        message = text;
    }

  private:
    void Call(std::string call) { calls.push_back(std::move(call)); }
};

// 5 December 2026, 21:42:51 in the test's time zone (UTC).
std::time_t FifthOfDecember() {
    std::tm time{};
    time.tm_year = 126, time.tm_mon = 11, time.tm_mday = 5;
    time.tm_hour = 21, time.tm_min = 42, time.tm_sec = 51;
    return ::timegm(&time);
}

class ScanFileCommandsTest : public MainDialogFixture {
  public:
    ScanFileCommandsTest() {
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        scanFilesUnderTest_ = &commands_;
        Create();
        commands_.SetScanCycle(&dialog_->ScanCycle());
        seams_.savePath = File();
        AddNetworks(0, 3);
    }
    ~ScanFileCommandsTest() override {
        dialog_.reset();
        ::unsetenv("TZ");
        ::tzset();
    }

    CApplicationOptions& Options() { return options_; }
    std::string File() const { return (folder_.Path() / "survey.tvk").string(); }
    std::string FileIn(const std::string& name) const { return (folder_.Path() / name).string(); }

    void AddNetworks(int first, int count) {
        std::vector<ndis::BssidEntry> entries;
        for (int i = first; i < first + count; ++i) {
            ndis::BssidEntryFields fields = testing_support::Fields(static_cast<std::uint8_t>(i));
            fields.macAddress[4] = static_cast<std::uint8_t>(i >> 8);
            entries.push_back(testing_support::Entry(fields));
        }
        networks_.MergeEntries(entries);
    }

    // The command as the menu runs it, then the main loop until its work ends.
    void Run(int id) {
        dialog_->ExecuteCommand(id);
        loop_.RunUntil([this] { return !commands_.IsBusy(); });
    }

    // The list saved to `path`, which is then the open file; calls so far
    // forgotten.
    void SaveAsOpenFile(const std::string& path) {
        seams_.savePath = path;
        Run(ID_FILE_SAVE_AS);
        ASSERT_TRUE(commands_.IsFileOpen());
        seams_.calls.clear();
    }

    // The list saved to `path` and closed, then emptied.
    void SaveClosedFile(const std::string& path) {
        SaveAsOpenFile(path);
        seams_.changesAnswer = SaveAnswer::No;
        Run(ID_FILE_CLOSE);
        dialog_->ExecuteCommand(ID_VIEW_CLEAR_ALL);
        seams_.changesAnswer = SaveAnswer::Yes;
        seams_.calls.clear();
    }

    static int RecordsIn(const std::string& path) {
        const ScanFileContents contents = ReadScanFileContents(path);
        return contents.status == ScanFileStatus::Read ? static_cast<int>(contents.records.size())
                                                       : -1;
    }

    FakeFileSeams seams_;
    CScanFileCommands commands_{ScanFileCommandParts{
        .networks = networks_,
        .loop = loop_,
        .dialogs = seams_,
        .progress = seams_,
        .messages = seams_,
        .clock = FifthOfDecember,
    }};
};

// "{file}" in expected texts stands for the test's file.
std::string WithFile(std::string text, const std::string& file) {
    if (const auto at = text.find("{file}"); at != std::string::npos) text.replace(at, 6, file);
    return text;
}

struct CommandRow {
    const char* name;
    // Runs after 3 networks were listed.
    std::function<void(ScanFileCommandsTest&)> arrange;
    int command;
    // Log lines (after "App: Info: ") in this order, others between.
    std::vector<std::string> log;
    // The fakes' calls after `arrange`, exactly.
    std::vector<std::string> calls;
    bool openAfter;
    bool autoSaveAfter;
    std::size_t listAfter;
    // Records in the test's file afterwards; -1: no readable scan file.
    int fileAfter;
};

// Failures name the row, not its bytes.
void PrintTo(const CommandRow& row, std::ostream* out) {
    *out << row.name;
}

class FileCommand : public ScanFileCommandsTest,
                    public ::testing::WithParamInterface<CommandRow> {};

TEST_P(FileCommand, RunsItsPathWithItsTexts) {
    const CommandRow& row = GetParam();
    if (row.arrange) row.arrange(*this);
    const std::size_t logged = log_.Messages().size();
    Run(row.command);

    std::vector<std::string> log = log_.Messages();
    log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logged));
    std::vector<std::string> expected;
    for (const std::string& line : row.log)
        expected.push_back("App: Info: " + WithFile(line, File()));
    EXPECT_TRUE(InOrder(log, expected));
    std::vector<std::string> calls;
    for (const std::string& call : row.calls) calls.push_back(WithFile(call, File()));
    EXPECT_EQ(seams_.calls, calls);
    EXPECT_EQ(commands_.IsFileOpen(), row.openAfter);
    EXPECT_EQ(dialog_->QueryCommandState(ID_FILE_AUTO_SAVE).checked, row.autoSaveAfter);
    EXPECT_EQ(networks_.Size(), row.listAfter);
    EXPECT_EQ(RecordsIn(File()), row.fileAfter);
    EXPECT_TRUE(dialog_->QueryCommandState(ID_FILE_OPEN).enabled);
}

void MoreNetworks(ScanFileCommandsTest& t) {
    t.AddNetworks(10, 2);
}

const CommandRow kCommandRows[] = {
    {"SaveWithoutOpenFileProposesLocalTime",
     nullptr,
     ID_FILE_SAVE,
     {"Menu save called", "Menu save as called", "Scan listing saved to: {file}"},
     {"AskSave 12-05_21-42-51", "Title survey.tvk"},
     true,
     false,
     3,
     3},
    {"SaveAsCancelled",
     [](auto& t) { t.seams_.savePath.reset(); },
     ID_FILE_SAVE_AS,
     {"Menu save as called"},
     {"AskSave 12-05_21-42-51"},
     false,
     false,
     3,
     -1},
    {"SaveAsWhereNoFileCanBe",
     [](auto& t) { t.seams_.savePath = t.FileIn("absent/x.tvk"); },
     ID_FILE_SAVE_AS,
     {"Could not open file for writing."},
     {"AskSave 12-05_21-42-51"},
     false,
     false,
     3,
     -1},
    {"SaveUpdatesTheOpenFile",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         MoreNetworks(t);
     },
     ID_FILE_SAVE,
     {"Menu save called", "Scan listing updated in: {file}"},
     {},
     true,
     false,
     5,
     5},
    {"SaveFailingClosesTheFile",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         std::filesystem::remove(t.File());
         std::filesystem::create_directory(t.File());
     },
     ID_FILE_SAVE,
     {"Error occured while saving: {file}"},
     {"Title "},
     false,
     false,
     3,
     -1},
    {"CloseAnsweredYesSaves",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         MoreNetworks(t);
     },
     ID_FILE_CLOSE,
     {"Closing open file", "User chose to save file", "File closed", "File closed: {file}"},
     {"AskChanges {file}", "Title "},
     false,
     false,
     5,
     5},
    {"CloseAnsweredNoDiscards",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         MoreNetworks(t);
         t.seams_.changesAnswer = SaveAnswer::No;
     },
     ID_FILE_CLOSE,
     {"User chose to discard file changes", "File closed: {file}"},
     {"AskChanges {file}", "Title "},
     false,
     false,
     5,
     3},
    {"CloseCancelledKeepsTheFileOpen",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         MoreNetworks(t);
         t.seams_.changesAnswer = SaveAnswer::Cancel;
     },
     ID_FILE_CLOSE,
     {"Closing open file", "User cancelled file save"},
     {"AskChanges {file}"},
     true,
     false,
     5,
     3},
    {"CloseWithAutoSaveSavesWithoutAsking",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         t.Run(ID_FILE_AUTO_SAVE);
         MoreNetworks(t);
         t.seams_.changesAnswer = SaveAnswer::Cancel;
     },
     ID_FILE_CLOSE,
     {"Saving as auto-save is enabled", "File closed: {file}"},
     {"Title "},
     false,
     true,
     5,
     5},
    {"AutoSaveTurnedOnSaves",
     nullptr,
     ID_FILE_AUTO_SAVE,
     {"Auto-save was off, turning it on", "Menu save called", "Scan listing saved to: {file}"},
     {"AskSave 12-05_21-42-51", "Title survey.tvk"},
     true,
     true,
     3,
     3},
    {"AutoSaveStaysOffWhenSaveAsIsCancelled",
     [](auto& t) { t.seams_.savePath.reset(); },
     ID_FILE_AUTO_SAVE,
     {"Auto-save was off, turning it on"},
     {"AskSave 12-05_21-42-51"},
     false,
     false,
     3,
     -1},
    {"AutoSaveTurnedOff",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         t.Run(ID_FILE_AUTO_SAVE);
     },
     ID_FILE_AUTO_SAVE,
     {"Auto-save was on, turning if off"},
     {},
     true,
     false,
     3,
     3},
    {"OpenReplacesTheList",
     [](auto& t) {
         t.SaveClosedFile(t.File());
         MoreNetworks(t);
         t.seams_.openPath = t.File();
     },
     ID_FILE_OPEN,
     {"Menu: Open called", "Opened file: {file}"},
     {"AskOpen", "Title survey.tvk"},
     true,
     false,
     3,
     3},
    {"OpenAskedToCloseAndCancelledDoesNothing",
     [](auto& t) {
         t.SaveAsOpenFile(t.File());
         t.seams_.changesAnswer = SaveAnswer::Cancel;
     },
     ID_FILE_OPEN,
     {"Menu: Open called", "User cancelled file save"},
     {"AskChanges {file}"},
     true,
     false,
     3,
     3},
    {"MergeMakesTheMergedFileOpen",
     [](auto& t) {
         t.SaveClosedFile(t.File());
         t.AddNetworks(1, 2);  // one already in the file
         MoreNetworks(t);
         t.seams_.openPath = t.File();
     },
     ID_FILE_MERGE,
     {"Menu merge called", "Merged file: {file}"},
     {"AskOpen", "Title survey.tvk"},
     true,
     false,
     5,
     3},
    {"OpenOfAnotherFileKeepsTheList",
     [](auto& t) {
         std::ofstream(t.File()) << "not a scan file";
         t.seams_.openPath = t.File();
     },
     ID_FILE_OPEN,
     {"Menu: Open called"},
     {"AskOpen"},
     false,
     false,
     3,
     -1},
    {"OpenCancelledKeepsTheList",
     [](auto& t) { t.seams_.openPath.reset(); },
     ID_FILE_OPEN,
     {"Menu: Open called"},
     {"AskOpen"},
     false,
     false,
     3,
     -1},
};

INSTANTIATE_TEST_SUITE_P(Commands, FileCommand, ::testing::ValuesIn(kCommandRows),
                         [](const auto& info) { return std::string(info.param.name); });

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ScanFileCommandsTest, ADamagedFileLoadsUpToTheFaultAndIsNeverSavedOver) {
    SaveClosedFile(File());
    std::filesystem::resize_file(File(), std::filesystem::file_size(File()) - 5);
    const std::string damaged = Bytes(File());
    seams_.openPath = File();
    Run(ID_FILE_OPEN);
    EXPECT_EQ(networks_.Size(), 2u);
    EXPECT_FALSE(commands_.IsFileOpen());
    EXPECT_EQ(seams_.calls, (std::vector<std::string>{"AskOpen", "Message Open"}));
    EXPECT_NE(seams_.message.find("record 3 of 3"), std::string::npos) << seams_.message;
    EXPECT_NE(seams_.message.find("byte offset"), std::string::npos) << seams_.message;

    // The auto-save tick has no file; Save asks for one.
    commands_.SaveOpenFile();
    seams_.savePath.reset();
    Run(ID_FILE_SAVE);
    EXPECT_EQ(seams_.calls.back(), "AskSave 12-05_21-42-51");
    EXPECT_EQ(Bytes(File()), damaged);
}

TEST_F(ScanFileCommandsTest, CancelLeavesTheListAndTheFileAsTheyWere) {
    SaveClosedFile(File());
    AddNetworks(100, 3 * kSaveSliceRecords);
    const std::size_t listed = networks_.Size();
    seams_.cancelProgress = true;
    seams_.openPath = File();
    Run(ID_FILE_OPEN);
    EXPECT_EQ(networks_.Size(), listed);
    seams_.reports = 0;
    Run(ID_FILE_SAVE_AS);
    EXPECT_EQ(seams_.reports, 1);
    EXPECT_EQ(RecordsIn(File()), 3);
    EXPECT_FALSE(commands_.IsFileOpen());
    EXPECT_EQ(log_.Messages().back(),
              "App: Info: Saving was cancelled; " + File() + " is as it was.");
}

TEST_F(ScanFileCommandsTest, ASaveWritesTheListAsItWasWhenItBegan) {
    AddNetworks(100, 2 * kSaveSliceRecords);
    const std::size_t listed = networks_.Size();
    dialog_->ExecuteCommand(ID_FILE_SAVE_AS);
    ASSERT_EQ(loop_.RunQueued(), 1);  // the first slice; the next one is queued
    ASSERT_TRUE(commands_.IsBusy());
    // No second save while one runs.
    EXPECT_FALSE(dialog_->QueryCommandState(ID_FILE_SAVE).enabled);
    dialog_->ExecuteCommand(ID_VIEW_CLEAR_ALL);
    AddNetworks(7000, 4);
    loop_.RunUntil([this] { return !commands_.IsBusy(); });
    EXPECT_EQ(RecordsIn(File()), static_cast<int>(listed));
    EXPECT_EQ(seams_.calls.size(), 2u);  // one Save As dialog, one title
}

TEST_F(ScanFileCommandsTest, TheAutoSaveTickWritesTheOpenFile) {
    StartDaemon();
    ASSERT_TRUE(dialog_->Initialize());
    EXPECT_TRUE(InOrder(loop_.timerCalls, {"Start 6 10000"}));
    SaveAsOpenFile(File());
    const int saved = RecordsIn(File());
    AddNetworks(300, 2);
    dialog_->OnTimer(TIMER_AUTO_SAVE);  // auto-save is off
    loop_.RunUntil([this] { return !commands_.IsBusy(); });
    EXPECT_EQ(RecordsIn(File()), saved);
    Run(ID_FILE_AUTO_SAVE);
    AddNetworks(400, 2);
    dialog_->OnTimer(TIMER_AUTO_SAVE);
    EXPECT_EQ(log_.Messages().back(), "App: Info: Auto-saving file");
    loop_.RunUntil([this] { return !commands_.IsBusy(); });
    EXPECT_EQ(RecordsIn(File()), static_cast<int>(networks_.Size()));
}

struct ExitRow {
    const char* name;
    std::function<void(ScanFileCommandsTest&)> arrange;
    SaveAnswer answer;  // "Save scan results?" when no file is open
    bool exits;
    std::vector<std::string> calls;
    int fileAfter;
};

void PrintTo(const ExitRow& row, std::ostream* out) {
    *out << row.name;
}

class FileAtExit : public ScanFileCommandsTest, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(FileAtExit, IsSavedOrTheExitStops) {
    const ExitRow& row = GetParam();
    options_.PromptToSaveOnExit = 1;
    if (row.arrange) row.arrange(*this);
    view_.saveAnswer = row.answer;
    dialog_->RequestExit();
    loop_.RunQueued();
    EXPECT_EQ(dialog_->IsClosing(), row.exits);
    std::vector<std::string> calls;
    for (const std::string& call : row.calls) calls.push_back(WithFile(call, File()));
    EXPECT_EQ(seams_.calls, calls);
    EXPECT_EQ(RecordsIn(File()), row.fileAfter);
}

void OpenFileAndMore(ScanFileCommandsTest& t) {
    t.SaveAsOpenFile(t.File());
    MoreNetworks(t);
}

const ExitRow kExitRows[] = {
    {"PromptCancelled", nullptr, SaveAnswer::Cancel, false, {}, -1},
    {"PromptNo", nullptr, SaveAnswer::No, true, {}, -1},
    {"PromptYesSaves",
     nullptr,
     SaveAnswer::Yes,
     true,
     {"AskSave 12-05_21-42-51", "Title survey.tvk"},
     3},
    {"PromptYesWithSaveAsCancelled",
     [](auto& t) { t.seams_.savePath.reset(); },
     SaveAnswer::Yes,
     false,
     {"AskSave 12-05_21-42-51"},
     -1},
    {"PromptYesWithAFailedSave",
     [](auto& t) { t.seams_.savePath = t.FileIn("absent/x.tvk"); },
     SaveAnswer::Yes,
     false,
     {"AskSave 12-05_21-42-51"},
     -1},
    {"OpenFileCloseCancelled",
     [](auto& t) {
         OpenFileAndMore(t);
         t.seams_.changesAnswer = SaveAnswer::Cancel;
     },
     SaveAnswer::Yes,
     false,
     {"AskChanges {file}"},
     3},
    {"OpenFileSavedWhenAnsweredYes",
     OpenFileAndMore,
     SaveAnswer::Cancel,
     true,
     {"AskChanges {file}", "Title "},
     5},
    {"OpenFileSavedWithoutAskingWhenSetSo",
     [](auto& t) {
         OpenFileAndMore(t);
         t.Options().AutoSaveOpenFileOnExit = 1;
     },
     SaveAnswer::Cancel,
     true,
     {"Title "},
     5},
};

INSTANTIATE_TEST_SUITE_P(Exit, FileAtExit, ::testing::ValuesIn(kExitRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::testing
