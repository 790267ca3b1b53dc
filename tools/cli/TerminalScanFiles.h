// The scan-file commands' seams for a survey without a screen: the file is
// the one named on the command line, every question about saving is
// answered "save", progress is not shown, and messages go to stderr.
#pragma once

#include <string>

#include "app/MessageBoxes.h"
#include "app/ProgressDisplay.h"
#include "app/ScanFileDialogs.h"

namespace tarvik::cli {

class CTerminalScanFiles : public IScanFileDialogs, public IProgressDisplay, public IMessageBoxes {
  public:
    explicit CTerminalScanFiles(std::string path) : path_(std::move(path)) {}

    std::optional<std::string> AskOpenPath() override { return std::nullopt; }
    std::optional<std::string> AskSavePath(const std::string&) override { return path_; }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::Yes; }
    void ShowOpenFileName(const std::string&) override {}

    void Begin(const std::string&) override {}
    bool Report(std::uint64_t, std::uint64_t) override { return true; }
    void End() override {}

    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;

  private:
    std::string path_;
};

}  // namespace tarvik::cli
