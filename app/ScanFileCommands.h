// The File menu's scan-file commands and the open scan file: Open, Merge,
// Save, Save As, Close, Auto Save, the auto-save tick and the exit checks.
//
// Reading runs on a worker thread (the list is untouched until the GUI
// thread applies what was read); writing serializes the records on the GUI
// thread, which is the one that changes them, a slice at a time with the
// next slice posted through the main loop, and replaces the file only when
// every record is written. A save whose outcome decides what happens next
// (closing the file, the exit) runs its slices at once.
//
// Threads: every member runs on the GUI thread.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "app/ExportCommands.h"
#include "app/MainLoop.h"
#include "app/MessageBoxes.h"
#include "app/ProgressDisplay.h"
#include "app/ScanFileDialogs.h"
#include "app/ScanFileService.h"
#include "core/ResultCodes.h"
#include "networks/NetworkList.h"
#include "networks/ScanCycle.h"
#include "networks/ScanFile.h"

namespace tarvik {

// Records serialized per step of a save.
inline constexpr std::size_t kSaveSliceRecords = 2000;

struct ScanFileCommandParts {
    CNetworkList& networks;
    IMainLoop& loop;
    IScanFileDialogs& dialogs;
    IProgressDisplay& progress;
    IMessageBoxes& messages;
    // Optional: seconds since 1970 for Save As's proposed name.
    std::function<std::time_t()> clock = nullptr;
};

class CScanFileCommands : public IScanFileService {
  public:
    explicit CScanFileCommands(const ScanFileCommandParts& parts);
    // Stops a running read and drops an unfinished save (the old file stays).
    ~CScanFileCommands() override;
    CScanFileCommands(const CScanFileCommands&) = delete;
    CScanFileCommands& operator=(const CScanFileCommands&) = delete;

    // The window's scan cycle: opening stops scanning and empties the table
    // through it, and the table is refreshed after a read. Without one the
    // list alone is changed.
    void SetScanCycle(CScanCycle* cycle) { cycle_ = cycle; }
    // File > Export...; without it the command is disabled.
    void SetExportCommands(CExportCommands* exporter) { exporter_ = exporter; }

    // IScanFileService
    bool IsFileOpen() const override { return open_; }
    bool IsAutoSaveOn() const override { return autoSave_; }
    // The auto-save tick: writes the open file silently, unless work runs.
    void SaveOpenFile() override;
    bool CloseFile(bool saveWithoutAsking) override;
    bool SaveAs() override;
    std::optional<FileCommandState> QueryFileCommand(int id) const override;
    void ExecuteFileCommand(int id) override;

    // The commands.
    void Open();
    void Merge();
    // RES_SAVE_CANCELLED when it became a cancelled Save As; otherwise
    // RES_SUCCESS once the save started.
    Result Save();
    // `atOnce`: the save runs to its end before this returns, and its
    // result is returned; otherwise RES_SUCCESS once it started.
    Result SaveAsCommand(bool atOnce);
    void Close();
    void ToggleAutoSave();
    // RES_FILE_CLOSED, RES_CLOSE_CANCELLED, -1 (no file open) or the write's
    // failure code.
    Result CloseFileResult(bool saveWithoutAsking);

    // Reads `path` into the list on a worker thread (`merge`: into the
    // list as it is); the result is applied from the main loop.
    void StartRead(const std::string& path, bool merge);
    // The same, read on this thread: 0 when the file was read whole (a scan
    // file is then the open file; a merged WiGLE CSV file never is),
    // otherwise -1.
    int ReadNow(const std::string& path, bool merge);
    // Writes the list to `path` at once: RES_FILE_SAVED, RES_FILE_OPEN_FAILED,
    // RES_ARCHIVE_FAILED or RES_SAVE_CANCELLED (Cancel on the progress).
    Result WriteNow(const std::string& path);

    // A read or a save runs.
    bool IsBusy() const { return read_ != nullptr || save_ != nullptr; }
    // The open file, or the last one open.
    const std::string& Path() const { return path_; }
    // Save As's proposed name for the current local time.
    std::string ProposedName() const;

  private:
    enum class SaveKind { Save, SaveAs, AutoSave, Close };
    struct ReadJob;
    struct SaveJob;

    void FinishRead(const std::shared_ptr<ReadJob>& job);
    // The worker's read: a scan file, or a WiGLE CSV file when merging.
    static ScanFileContents ReadSurvey(ReadJob& job, const ScanFileProgress& progress);
    void ApplyWigleMerge(ReadJob& job);
    int ApplyRead(const std::string& path, bool merge, ScanFileContents&& contents);
    void BeginSave(const std::string& path, SaveKind kind);
    // One slice; true when the save has ended.
    bool StepSave();
    void PostSaveStep();
    Result EndSave();
    void ReportSave(SaveKind kind, const std::string& path, Result result);
    // Runs a started save to its end.
    void FinishSaveNow();
    void SetOpenFile(const std::string& path);
    void SetClosed();

    CNetworkList& networks_;
    IMainLoop& loop_;
    IScanFileDialogs& dialogs_;
    IProgressDisplay& progress_;
    IMessageBoxes& messages_;
    std::function<std::time_t()> clock_;
    CScanCycle* cycle_ = nullptr;
    CExportCommands* exporter_ = nullptr;

    bool open_ = false;
    bool autoSave_ = false;
    std::string path_;
    std::shared_ptr<ReadJob> read_;
    std::unique_ptr<SaveJob> save_;
    // A save's progress report runs; the display may run the window's
    // events meanwhile.
    bool reporting_ = false;
    // Names each save, so a step posted for one never runs another.
    std::uint64_t saveSerial_ = 0;
    // Work posted to the loop checks it before it runs.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tarvik
