// The File menu's scan-file commands through the main window's controller,
// on real files in a temporary folder; the dialogs, progress display and
// message boxes are recording fakes.
#include "app/ScanFileCommands.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik::testing {
namespace {

class FakeFileSeams : public IScanFileDialogs, public IProgressDisplay, public IMessageBoxes {
  public:
    std::optional<std::string> openPath, savePath;
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
        Call("Message " + caption), message = text;
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

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int RecordsIn(const std::string& path) {
    const ScanFileContents contents = ReadScanFileContents(path);
    return contents.status == ScanFileStatus::Read ? static_cast<int>(contents.records.size()) : -1;
}

class ScanFileCommandsTest : public MainDialogFixture {
  protected:
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

    std::string File() const { return (folder_.Path() / "survey.tvk").string(); }

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
        loop_.RunQueued();
        loop_.RunUntil([this] { return !commands_.IsBusy(); });
    }

    // One character a step (see the row table).
    void Arrange(std::string_view steps) {
        const std::map<char, std::function<void()>> run = {
            {'s', [&] { Run(ID_FILE_SAVE_AS); }},
            {'c', [&] { Arrange("Ns"), Run(ID_FILE_CLOSE), Run(ID_VIEW_CLEAR_ALL), Arrange("Y"); }},
            {'+', [&] { AddNetworks(10, 2); }},
            {'1', [&] { AddNetworks(1, 2); }},
            {'a', [&] { Run(ID_FILE_AUTO_SAVE); }},
            {'n', [&] { seams_.savePath.reset(); }},
            {'b', [&] { seams_.savePath = (folder_.Path() / "absent" / "x.tvk").string(); }},
            {'d',
             [&] { std::filesystem::remove(File()), std::filesystem::create_directory(File()); }},
            {'g', [&] { std::ofstream(File()) << "not a scan file"; }},
            {'o', [&] { seams_.openPath = File(); }},
            {'Y', [&] { seams_.changesAnswer = SaveAnswer::Yes; }},
            {'N', [&] { seams_.changesAnswer = SaveAnswer::No; }},
            {'C', [&] { seams_.changesAnswer = SaveAnswer::Cancel; }},
            {'y', [&] { view_.saveAnswer = SaveAnswer::Yes; }},
            {'x', [&] { view_.saveAnswer = SaveAnswer::Cancel; }},
            {'e', [&] { options_.AutoSaveOpenFileOnExit = 1; }},
        };
        for (const char step : steps) run.at(step)();
        seams_.calls.clear();
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

enum : int { kOpen = 1, kAutoSave = 2, kExits = 4 };

struct CommandRow {
    const char* name;
    // Steps after 3 networks were listed. s: Save As to the test's file;
    // c: the same, closed, the list emptied; +: networks 10 and 11; 1:
    // networks 1 and 2; a: Auto Save; n: the save dialog cancelled; b: it
    // names a missing folder; d: the file replaced by a folder; g: by other
    // bytes; o: the open dialog picks the file; N, C: "Save changes?" answered
    // No, Cancel; y, x: "Save scan results?" answered Yes, Cancel (else No);
    // e: the open file saved at exit without asking.
    const char* steps;
    int command;
    // Log lines (after "App: Info: ") in this order, others between;
    // "{file}" is the test's file.
    std::vector<std::string> log;
    // The fakes' calls after the steps, exactly.
    std::vector<std::string> calls;
    int state;
    std::size_t listAfter;
    int fileAfter;  // records in the file; -1: no readable scan file
};

void PrintTo(const CommandRow& row, std::ostream* out) {
    *out << row.name;
}

std::string WithFile(std::string text, const std::string& file) {
    if (const auto at = text.find("{file}"); at != std::string::npos) text.replace(at, 6, file);
    return text;
}

class FileCommand : public ScanFileCommandsTest,
                    public ::testing::WithParamInterface<CommandRow> {};

TEST_P(FileCommand, RunsItsPathWithItsTexts) {
    const CommandRow& row = GetParam();
    options_.PromptToSaveOnExit = 1;
    Arrange(row.steps);
    const std::size_t logged = log_.Messages().size();
    Run(row.command);

    const std::vector<std::string> log = log_.Messages();
    std::vector<std::string> expected;
    for (const auto& line : row.log) expected.push_back("App: Info: " + WithFile(line, File()));
    EXPECT_TRUE(InOrder({log.begin() + static_cast<std::ptrdiff_t>(logged), log.end()}, expected));
    std::vector<std::string> calls;
    for (const std::string& call : row.calls) calls.push_back(WithFile(call, File()));
    EXPECT_EQ(seams_.calls, calls);
    EXPECT_EQ(commands_.IsFileOpen(), (row.state & kOpen) != 0);
    EXPECT_EQ(commands_.IsAutoSaveOn(), (row.state & kAutoSave) != 0);
    EXPECT_EQ(dialog_->IsClosing(), (row.state & kExits) != 0);
    if (!dialog_->IsClosing()) {
        EXPECT_EQ(networks_.Size(), row.listAfter);
    }
    EXPECT_EQ(RecordsIn(File()), row.fileAfter);
}

const std::string kAskSave = "AskSave 12-05_21-42-51";

// clang-format off
const CommandRow kCommandRows[] = {
    {"SaveWithoutOpenFileProposesLocalTime", "", ID_FILE_SAVE, {"Menu save called", "Menu save as called", "Scan listing saved to: {file}"}, {kAskSave, "Title survey.tvk"}, kOpen, 3, 3},
    {"SaveAsCancelled", "n", ID_FILE_SAVE_AS, {"Menu save as called"}, {kAskSave}, 0, 3, -1},
    {"SaveAsWhereNoFileCanBe", "b", ID_FILE_SAVE_AS, {"Could not open file for writing."}, {kAskSave}, 0, 3, -1},
    {"SaveUpdatesTheOpenFile", "s+", ID_FILE_SAVE, {"Menu save called", "Scan listing updated in: {file}"}, {}, kOpen, 5, 5},
    {"SaveFailingClosesTheFile", "sd", ID_FILE_SAVE, {"Error occured while saving: {file}"}, {"Title "}, 0, 3, -1},
    {"CloseAnsweredYesSaves", "s+", ID_FILE_CLOSE, {"Closing open file", "User chose to save file", "File closed", "File closed: {file}"}, {"AskChanges {file}", "Title "}, 0, 5, 5},
    {"CloseAnsweredNoDiscards", "s+N", ID_FILE_CLOSE, {"User chose to discard file changes", "File closed: {file}"}, {"AskChanges {file}", "Title "}, 0, 5, 3},
    {"CloseCancelledKeepsTheFileOpen", "s+C", ID_FILE_CLOSE, {"Closing open file", "User cancelled file save"}, {"AskChanges {file}"}, kOpen, 5, 3},
    {"CloseWithAutoSaveSavesWithoutAsking", "sa+C", ID_FILE_CLOSE, {"Saving as auto-save is enabled", "File closed: {file}"}, {"Title "}, kAutoSave, 5, 5},
    {"AutoSaveTurnedOnSaves", "", ID_FILE_AUTO_SAVE, {"Auto-save was off, turning it on", "Menu save called", "Scan listing saved to: {file}"}, {kAskSave, "Title survey.tvk"}, kOpen | kAutoSave, 3, 3},
    {"AutoSaveStaysOffWhenSaveAsIsCancelled", "n", ID_FILE_AUTO_SAVE, {"Auto-save was off, turning it on"}, {kAskSave}, 0, 3, -1},
    {"AutoSaveTurnedOff", "sa", ID_FILE_AUTO_SAVE, {"Auto-save was on, turning if off"}, {}, kOpen, 3, 3},
    {"OpenReplacesTheList", "c+o", ID_FILE_OPEN, {"Menu: Open called", "Opened file: {file}"}, {"AskOpen", "Title survey.tvk"}, kOpen, 3, 3},
    {"OpenAskedToCloseAndCancelledDoesNothing", "sC", ID_FILE_OPEN, {"Menu: Open called", "User cancelled file save"}, {"AskChanges {file}"}, kOpen, 3, 3},
    {"MergeMakesTheMergedFileOpen", "c1+o", ID_FILE_MERGE, {"Menu merge called", "Merged file: {file}"}, {"AskOpen", "Title survey.tvk"}, kOpen, 5, 3},
    {"OpenOfAnotherFileKeepsTheList", "go", ID_FILE_OPEN, {"Menu: Open called"}, {"AskOpen"}, 0, 3, -1},
    {"OpenCancelledKeepsTheList", "", ID_FILE_OPEN, {"Menu: Open called"}, {"AskOpen"}, 0, 3, -1},
    {"ExitPromptCancelled", "x", ID_FILE_EXIT, {}, {}, 0, 3, -1},
    {"ExitPromptNo", "", ID_FILE_EXIT, {}, {}, kExits, 0, -1},
    {"ExitPromptYesSaves", "y", ID_FILE_EXIT, {"Menu save as called"}, {kAskSave, "Title survey.tvk"}, kOpen | kExits, 0, 3},
    {"ExitPromptYesWithSaveAsCancelled", "yn", ID_FILE_EXIT, {}, {kAskSave}, 0, 3, -1},
    {"ExitPromptYesWithAFailedSave", "yb", ID_FILE_EXIT, {"Could not open file for writing."}, {kAskSave}, 0, 3, -1},
    {"ExitWithOpenFileCancelled", "s+C", ID_FILE_EXIT, {"File is open, closing", "User cancelled file close"}, {"AskChanges {file}"}, kOpen, 5, 3},
    {"ExitWithOpenFileSaved", "s+", ID_FILE_EXIT, {"File is open, closing", "User chose to save file"}, {"AskChanges {file}", "Title "}, kExits, 0, 5},
    {"ExitWithOpenFileSavedWithoutAsking", "s+Ce", ID_FILE_EXIT, {"Saving as auto-save is enabled"}, {"Title "}, kExits, 0, 5},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Commands, FileCommand, ::testing::ValuesIn(kCommandRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanFileCommandsTest, ADamagedFileLoadsUpToTheFaultAndIsNeverSavedOver) {
    Arrange("c");
    std::filesystem::resize_file(File(), std::filesystem::file_size(File()) - 5);
    const std::string damaged = Bytes(File());
    Arrange("on");
    Run(ID_FILE_OPEN);
    EXPECT_EQ(networks_.Size(), 2u);
    EXPECT_FALSE(commands_.IsFileOpen());
    EXPECT_NE(seams_.message.find("record 3 of 3"), std::string::npos) << seams_.message;
    EXPECT_NE(seams_.message.find("byte offset"), std::string::npos) << seams_.message;
    // The auto-save tick has no file; Save asks for one.
    commands_.SaveOpenFile();
    Run(ID_FILE_SAVE);
    EXPECT_EQ(seams_.calls, (std::vector<std::string>{"AskOpen", "Message Open", kAskSave}));
    EXPECT_EQ(Bytes(File()), damaged);
}

TEST_F(ScanFileCommandsTest, CancelLeavesTheListAndTheFileAsTheyWere) {
    Arrange("co");
    AddNetworks(100, 3 * kSaveSliceRecords);
    seams_.cancelProgress = true;
    Run(ID_FILE_OPEN);
    EXPECT_EQ(networks_.Size(), 3 * kSaveSliceRecords);
    seams_.reports = 0;
    Run(ID_FILE_SAVE_AS);
    EXPECT_EQ(seams_.reports, 1);  // at the first slice
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
    EXPECT_FALSE(dialog_->QueryCommandState(ID_FILE_SAVE).enabled);  // no second save meanwhile
    dialog_->ExecuteCommand(ID_VIEW_CLEAR_ALL);
    AddNetworks(7000, 4);
    loop_.RunUntil([this] { return !commands_.IsBusy(); });
    EXPECT_EQ(RecordsIn(File()), static_cast<int>(listed));
}

TEST_F(ScanFileCommandsTest, TheAutoSaveTickWritesTheOpenFile) {
    StartDaemon();
    ASSERT_TRUE(dialog_->Initialize());
    EXPECT_TRUE(InOrder(loop_.timerCalls, {"Start 6 10000"}));
    Arrange("s");
    const int saved = RecordsIn(File());
    AddNetworks(300, 2);
    dialog_->OnTimer(TIMER_AUTO_SAVE);  // auto-save is off
    EXPECT_EQ(RecordsIn(File()), saved);
    Arrange("a");
    AddNetworks(400, 2);
    dialog_->OnTimer(TIMER_AUTO_SAVE);
    EXPECT_EQ(log_.Messages().back(), "App: Info: Auto-saving file");
    loop_.RunUntil([this] { return !commands_.IsBusy(); });
    EXPECT_EQ(RecordsIn(File()), static_cast<int>(networks_.Size()));
}

}  // namespace
}  // namespace tarvik::testing
