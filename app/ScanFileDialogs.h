// The questions the scan-file commands ask and the window title they set.
// The Qt window shows real file dialogs; the command line and tests answer
// without a screen.
#pragma once

#include <optional>
#include <string>

#include "app/MainWindowView.h"
#include "export/ExportFormat.h"

namespace tarvik {

inline constexpr const char* kScanFileFilter = "Tarvik Files (*.tvk)|*.tvk||";

// What File > Export... writes: the file, its format, and whether only the
// rows the result filter passes go into it.
struct ExportChoice {
    std::string path;
    ExportFormat format = ExportFormat::WigleCsv;
    bool visibleRowsOnly = false;
};

class IScanFileDialogs {
  public:
    virtual ~IScanFileDialogs() = default;
    // A file-open dialog for an existing .tvk file; nullopt when cancelled.
    virtual std::optional<std::string> AskOpenPath() = 0;
    // A file-save dialog proposing `proposedName` (no extension; .tvk is the
    // default), asking before an existing file is replaced.
    virtual std::optional<std::string> AskSavePath(const std::string& proposedName) = 0;
    // "Save changes to PATH?", caption "Save", Yes / No / Cancel.
    virtual SaveAnswer AskSaveChanges(const std::string& path) = 0;
    // The open file's name for the window title; empty when none is open.
    virtual void ShowOpenFileName(const std::string& name) = 0;
    // A file-open dialog for Merge, which also takes WiGLE CSV files.
    virtual std::optional<std::string> AskMergePath() { return AskOpenPath(); }
    // The export's format chooser and file-save dialog; `filterActive` offers
    // the visible-rows-only choice, and the file proposed is named after
    // `surveyPath` (the open scan file; empty when none is open). nullopt
    // when cancelled (and where the dialogs offer no export).
    virtual std::optional<ExportChoice> AskExport(bool filterActive,
                                                  const std::string& surveyPath) {
        (void)filterActive;
        (void)surveyPath;
        return std::nullopt;
    }
};

}  // namespace tarvik
