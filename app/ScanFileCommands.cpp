#include "app/ScanFileCommands.h"

#include <algorithm>
#include <atomic>
#include <span>
#include <thread>

#include "app/CommandIds.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "export/WigleCsvReader.h"

namespace tarvik {

struct CScanFileCommands::ReadJob {
    std::string path;
    bool merge = false;
    std::atomic<bool> cancel = false;
    std::atomic<std::uint64_t> done = 0;
    std::atomic<std::uint64_t> total = 0;
    // A progress report waits in the loop; the worker does not queue another.
    std::atomic<bool> reportQueued = false;
    // The worker's; read once it has been joined.
    ScanFileContents contents;
    // A WiGLE CSV file being merged, and its malformed rows.
    bool wigle = false;
    std::vector<std::string> skippedRows;
    std::thread worker;
};

struct CScanFileCommands::SaveJob {
    std::string path;
    SaveKind kind = SaveKind::Save;
    // The records as they were when the save began; a record taken out of
    // the list meanwhile stays alive here.
    NetworkSnapshot records;
    std::size_t next = 0;
    CScanFileWriter writer;
    bool ended = false;
    Result result = RES_SUCCESS;
    bool shown = false;
    std::uint64_t serial = 0;
};

namespace {

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace

CScanFileCommands::CScanFileCommands(const ScanFileCommandParts& parts)
    : networks_(parts.networks),
      loop_(parts.loop),
      dialogs_(parts.dialogs),
      progress_(parts.progress),
      messages_(parts.messages),
      clock_(parts.clock) {}

CScanFileCommands::~CScanFileCommands() {
    if (read_) {
        read_->cancel = true;
        if (read_->worker.joinable()) read_->worker.join();
        progress_.End();
    }
    if (save_ && save_->shown) progress_.End();
}

std::optional<FileCommandState> CScanFileCommands::QueryFileCommand(int id) const {
    switch (id) {
        case ID_FILE_OPEN:
        case ID_FILE_MERGE:
        case ID_FILE_SAVE:
        case ID_FILE_SAVE_AS:
        case ID_FILE_CLOSE:
            // One read or save at a time.
            return FileCommandState{!IsBusy(), false};
        case ID_FILE_AUTO_SAVE:
            return FileCommandState{true, autoSave_};
        case ID_FILE_EXPORT:
            return FileCommandState{exporter_ != nullptr && !IsBusy(), false};
        default:
            return std::nullopt;
    }
}

void CScanFileCommands::ExecuteFileCommand(int id) {
    switch (id) {
        case ID_FILE_OPEN:
            Open();
            break;
        case ID_FILE_MERGE:
            Merge();
            break;
        case ID_FILE_SAVE:
            Save();
            break;
        case ID_FILE_SAVE_AS:
            SaveAsCommand(false);
            break;
        case ID_FILE_CLOSE:
            Close();
            break;
        case ID_FILE_AUTO_SAVE:
            ToggleAutoSave();
            break;
        case ID_FILE_EXPORT:
            if (exporter_ && !IsBusy()) exporter_->Export(path_);
            break;
        default:
            break;
    }
}

void CScanFileCommands::Open() {
    LogInfo("Menu: Open called");
    // A failed save leaves the list as the only copy: it is not replaced.
    if (open_ && CloseFileResult(false) != RES_FILE_CLOSED) return;
    if (const auto path = dialogs_.AskOpenPath()) StartRead(*path, false);
}

void CScanFileCommands::Merge() {
    LogInfo("Menu merge called");
    if (const auto path = dialogs_.AskMergePath()) StartRead(*path, true);
}

Result CScanFileCommands::Save() {
    LogInfo("Menu save called");
    if (!open_) return SaveAsCommand(false);
    if (save_) return RES_SUCCESS;
    BeginSave(path_, SaveKind::Save);
    PostSaveStep();
    return RES_SUCCESS;
}

Result CScanFileCommands::SaveAsCommand(bool atOnce) {
    LogInfo("Menu save as called");
    if (save_) {
        if (!atOnce) return RES_SUCCESS;
        if (reporting_) return RES_SAVE_CANCELLED;
        FinishSaveNow();
    }
    const auto path = dialogs_.AskSavePath(ProposedName());
    if (!path) return RES_SAVE_CANCELLED;
    BeginSave(*path, SaveKind::SaveAs);
    if (!atOnce) {
        PostSaveStep();
        return RES_SUCCESS;
    }
    while (!StepSave()) {
    }
    return EndSave();
}

bool CScanFileCommands::SaveAs() {
    // A save that failed keeps the program running, so the list is not lost.
    return SaveAsCommand(true) == RES_FILE_SAVED;
}

void CScanFileCommands::Close() {
    if (open_) CloseFileResult(false);
}

void CScanFileCommands::ToggleAutoSave() {
    if (autoSave_) {
        LogInfo("Auto-save was on, turning if off");
        autoSave_ = false;
        return;
    }
    LogInfo("Auto-save was off, turning it on");
    if (Save() != RES_SAVE_CANCELLED) autoSave_ = true;
}

void CScanFileCommands::SaveOpenFile() {
    if (!open_ || save_) return;
    BeginSave(path_, SaveKind::AutoSave);
    PostSaveStep();
}

bool CScanFileCommands::CloseFile(bool saveWithoutAsking) {
    // A failed save ends the exit too; the file is closed, so the next exit
    // goes on.
    return CloseFileResult(saveWithoutAsking) == RES_FILE_CLOSED;
}

Result CScanFileCommands::CloseFileResult(bool saveWithoutAsking) {
    LogInfo("Closing open file");
    if (!open_) return -1;
    // Reached from inside a save's progress report: that save cannot be
    // finished from here.
    if (reporting_) return RES_CLOSE_CANCELLED;
    FinishSaveNow();
    bool save = true;
    if (autoSave_ || saveWithoutAsking) {
        LogInfo("Saving as auto-save is enabled");
    } else {
        switch (dialogs_.AskSaveChanges(path_)) {
            case SaveAnswer::Yes:
                LogInfo("User chose to save file");
                break;
            case SaveAnswer::No:
                LogInfo("User chose to discard file changes");
                save = false;
                break;
            case SaveAnswer::Cancel:
                LogInfo("User cancelled file save");
                return RES_CLOSE_CANCELLED;
        }
    }
    Result result = RES_FILE_CLOSED;
    if (save) {
        const Result written = WriteNow(path_);
        if (written == RES_SAVE_CANCELLED) {
            LogInfo("User cancelled file save");
            return RES_CLOSE_CANCELLED;
        }
        if (written != RES_FILE_SAVED) {
            result = written;
            messages_.ShowMessage("Could not save the changes to " + path_ +
                                      ". The file is closed as it was; the list is still here "
                                      "to be saved elsewhere with Save As.",
                                  "Save", MessageIcon::Information);
        }
    }
    LogInfo("File closed");
    SetStatusText("File closed: " + path_);
    SetClosed();
    return result;
}

Result CScanFileCommands::WriteNow(const std::string& path) {
    if (reporting_) return RES_SAVE_CANCELLED;
    FinishSaveNow();
    BeginSave(path, SaveKind::Close);
    while (!StepSave()) {
    }
    return EndSave();
}

std::string CScanFileCommands::ProposedName() const {
    const std::time_t now = clock_ ? clock_() : std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[32] = {};
    std::strftime(name, sizeof name, "%m-%d_%H-%M-%S", &local);
    return name;
}

void CScanFileCommands::SetOpenFile(const std::string& path) {
    open_ = true;
    path_ = path;
    dialogs_.ShowOpenFileName(FileNameOf(path));
}

void CScanFileCommands::SetClosed() {
    open_ = false;
    dialogs_.ShowOpenFileName("");
}

// Reading.

void CScanFileCommands::StartRead(const std::string& path, bool merge) {
    if (IsBusy()) return;
    auto job = std::make_shared<ReadJob>();
    job->path = path;
    job->merge = merge;
    read_ = job;
    progress_.Begin((merge ? "Merging " : "Opening ") + path + "...");
    const std::weak_ptr<int> alive = alive_;
    const std::weak_ptr<ReadJob> weak = job;
    ReadJob* own = job.get();
    // The worker holds no reference of its own: the job owns the thread.
    job->worker = std::thread([this, own, weak, alive] {
        IMainLoop& loop = loop_;
        own->contents = ReadSurvey(
            *own, [this, own, weak, alive, &loop](std::uint64_t done, std::uint64_t total) {
                own->done = done;
                own->total = total;
                if (!own->reportQueued.exchange(true)) {
                    loop.Post([this, weak, alive] {
                        const auto job = weak.lock();
                        if (!alive.lock() || !job) return;
                        job->reportQueued = false;
                        if (!progress_.Report(job->done, job->total)) job->cancel = true;
                    });
                }
                return !own->cancel.load();
            });
        loop.Post([this, weak, alive] {
            const auto job = weak.lock();
            if (alive.lock() && job) FinishRead(job);
        });
    });
}

void CScanFileCommands::FinishRead(const std::shared_ptr<ReadJob>& job) {
    if (job->worker.joinable()) job->worker.join();
    read_.reset();
    progress_.End();
    // Cancel pressed while the last of the file was read still counts.
    if (job->cancel) job->contents.status = ScanFileStatus::Cancelled;
    if (job->wigle && job->contents.status == ScanFileStatus::Read) {
        ApplyWigleMerge(*job);
        return;
    }
    ApplyRead(job->path, job->merge, std::move(job->contents));
}

ScanFileContents CScanFileCommands::ReadSurvey(ReadJob& job, const ScanFileProgress& progress) {
    job.wigle = job.merge && IsWigleCsvFile(job.path);
    if (!job.wigle) return ReadScanFileContents(job.path, progress);
    WigleCsvContents read = ReadWigleCsv(job.path, progress);
    job.skippedRows = std::move(read.skipped);
    return std::move(read.contents);
}

// A WiGLE CSV file only adds networks: it never becomes the open file, so no
// save writes a scan file over it.
void CScanFileCommands::ApplyWigleMerge(ReadJob& job) {
    const std::size_t added = ApplyScanFile(networks_, std::move(job.contents), true);
    if (cycle_) cycle_->ScanNetworks(false);
    SetStatusText("Merged WiGLE CSV file: " + job.path + " (" + std::to_string(added) +
                  " new networks).");
    if (job.skippedRows.empty()) return;
    constexpr std::size_t kShownRows = 10;
    std::string text = std::to_string(job.skippedRows.size()) + " malformed rows of " + job.path +
                       " were skipped:";
    for (std::size_t i = 0; i < job.skippedRows.size(); ++i) {
        LogWarn("%s: %s", job.path.c_str(), job.skippedRows[i].c_str());
        if (i < kShownRows) text += "\n" + job.skippedRows[i];
    }
    if (job.skippedRows.size() > kShownRows) text += "\n... (all of them are in the log)";
    messages_.ShowMessage(text, "Merge", MessageIcon::Information);
}

int CScanFileCommands::ReadNow(const std::string& path, bool merge) {
    ReadJob job;
    job.path = path;
    job.merge = merge;
    job.contents = ReadSurvey(job, {});
    if (job.wigle && job.contents.status == ScanFileStatus::Read) {
        ApplyWigleMerge(job);
        return 0;
    }
    return ApplyRead(path, merge, std::move(job.contents));
}

int CScanFileCommands::ApplyRead(const std::string& path, bool merge, ScanFileContents&& contents) {
    switch (contents.status) {
        case ScanFileStatus::Cancelled:
            SetStatusText("Reading " + path + " was cancelled; the list is as it was.");
            return -1;
        // The list stays as it was: a wrong pick must not lose a survey.
        case ScanFileStatus::CannotOpen:
        case ScanFileStatus::NotScanFile:
            SetStatusText(contents.message.empty() ? "Could not read " + path + "."
                                                   : contents.message);
            return -1;
        case ScanFileStatus::Read:
        case ScanFileStatus::Damaged:
            break;
    }
    const bool whole = contents.status == ScanFileStatus::Read;
    const std::string fault = contents.message;
    if (!merge) {
        if (cycle_) {
            if (cycle_->ChosenAdapter()) cycle_->StopScanning();
            cycle_->ClearAllNetworks();
        } else {
            networks_.Clear();
        }
    }
    const std::size_t added = ApplyScanFile(networks_, std::move(contents), merge);
    if (cycle_) cycle_->ScanNetworks(false);
    if (!whole) {
        // Not marked open, so no save or auto-save writes over the rest.
        LogWarn("%s", fault.c_str());
        messages_.ShowMessage(fault + "\n\nThe " + std::to_string(added) +
                                  " records before the fault were " +
                                  (merge ? "merged into the list" : "loaded") +
                                  "; the file is not open, so nothing is saved over it.",
                              merge ? "Merge" : "Open", MessageIcon::Information);
        return -1;
    }
    SetOpenFile(path);
    SetStatusText((merge ? "Merged file: " : "Opened file: ") + path);
    return 0;
}

// Saving.

void CScanFileCommands::BeginSave(const std::string& path, SaveKind kind) {
    save_ = std::make_unique<SaveJob>();
    SaveJob& job = *save_;
    job.path = path;
    job.kind = kind;
    job.serial = ++saveSerial_;
    job.records = networks_.Records();
    // The auto-save runs silently.
    job.shown = kind != SaveKind::AutoSave;
    if (job.shown) progress_.Begin("Saving " + path + "...");
    if (const Result begun = job.writer.Begin(path, networks_.ScanCounter());
        begun != RES_SUCCESS) {
        job.ended = true;
        job.result = begun;
    }
}

bool CScanFileCommands::StepSave() {
    SaveJob& job = *save_;
    if (job.ended) return true;
    const std::size_t count = std::min(kSaveSliceRecords, job.records.size() - job.next);
    const std::span<const BssidRecord> slice(job.records.data() + job.next, count);
    if (const Result appended = job.writer.Append(slice); appended != RES_SUCCESS) {
        job.writer.Abandon();
        job.ended = true;
        job.result = appended;
        return true;
    }
    job.next += count;
    reporting_ = true;
    const bool goOn = !job.shown || progress_.Report(job.next, job.records.size());
    reporting_ = false;
    if (!goOn) {
        job.writer.Abandon();
        job.ended = true;
        job.result = RES_SAVE_CANCELLED;
        return true;
    }
    if (job.next == job.records.size()) {
        job.result = job.writer.Commit();
        job.ended = true;
    }
    return job.ended;
}

void CScanFileCommands::PostSaveStep() {
    const std::weak_ptr<int> alive = alive_;
    const std::uint64_t serial = save_->serial;
    loop_.Post([this, alive, serial] {
        // A save finished at once meanwhile leaves nothing for this step.
        if (!alive.lock() || !save_ || save_->serial != serial) return;
        if (StepSave()) {
            EndSave();
        } else {
            PostSaveStep();
        }
    });
}

void CScanFileCommands::FinishSaveNow() {
    if (!save_) return;
    while (!StepSave()) {
    }
    EndSave();
}

Result CScanFileCommands::EndSave() {
    const std::unique_ptr<SaveJob> job = std::move(save_);
    if (job->shown) progress_.End();
    if (job->result != RES_FILE_SAVED && job->result != RES_SAVE_CANCELLED) {
        LogWarn("Could not save %s: %s", job->path.c_str(), job->writer.Error().c_str());
    }
    ReportSave(job->kind, job->path, job->result);
    return job->result;
}

void CScanFileCommands::ReportSave(SaveKind kind, const std::string& path, Result result) {
    if (kind == SaveKind::AutoSave || kind == SaveKind::Close) return;
    if (result == RES_SAVE_CANCELLED) {
        SetStatusText("Saving was cancelled; " + path + " is as it was.");
        return;
    }
    if (kind == SaveKind::Save) {
        if (result == RES_FILE_SAVED) {
            SetStatusText("Scan listing updated in: " + path);
        } else {
            SetStatusText("Error occured while saving: " + path);
            SetClosed();
        }
        return;
    }
    if (result == RES_FILE_OPEN_FAILED) {
        SetStatusText("Could not open file for writing.");
    } else if (result == RES_ARCHIVE_FAILED) {
        SetStatusText("Could not open archive for writing.");
    } else if (result == RES_FILE_SAVED) {
        SetStatusText("Scan listing saved to: " + path);
        SetOpenFile(path);
    }
}

}  // namespace tarvik
