// The scan-file commands' file dialogs and question box over the main
// window, and the open file's name in its title.
#pragma once

#include <QWidget>

#include "app/ScanFileDialogs.h"

namespace tarvik::ui {

// The filter as Qt writes it: "Tarvik Files (*.tvk)".
QString QtScanFileFilter();

class QtScanFileDialogs : public IScanFileDialogs {
  public:
    // The window must outlive the object.
    explicit QtScanFileDialogs(QWidget* window) : window_(window) {}
    std::optional<std::string> AskOpenPath() override;
    std::optional<std::string> AskSavePath(const std::string& proposedName) override;
    SaveAnswer AskSaveChanges(const std::string& path) override;
    void ShowOpenFileName(const std::string& name) override;
    std::optional<std::string> AskMergePath() override;
    std::optional<ExportChoice> AskExport(bool filterActive,
                                          const std::string& surveyPath) override;

  private:
    QWidget* window_;
};

}  // namespace tarvik::ui
