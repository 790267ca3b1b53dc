// File > Export...: asks for the format, the file and whether only the rows
// the result filter passes go into it, then writes the network list with
// progress and Cancel. The export runs on the GUI thread (the one that
// changes the records, whose texts it reads); the progress display handles
// the window's events meanwhile, so Cancel is seen.
#pragma once

#include <functional>
#include <vector>

#include "app/MessageBoxes.h"
#include "app/ProgressDisplay.h"
#include "app/ScanFileDialogs.h"
#include "export/NetworkExport.h"
#include "networks/NetworkList.h"
#include "networks/NetworkTable.h"

namespace tarvik {

struct ExportCommandParts {
    const CNetworkList& networks;
    INetworkColumns& columns;
    IScanFileDialogs& dialogs;
    IProgressDisplay& progress;
    IMessageBoxes& messages;
    // The table's visible columns in display order, for the table's CSV;
    // without it every column in the table's order.
    std::function<std::vector<int>()> visibleColumns = nullptr;
};

class CExportCommands {
  public:
    explicit CExportCommands(const ExportCommandParts& parts);

    // The result filter (null: none, every row passes; the visible-rows-only
    // choice is then not offered).
    void SetFilter(INetworkFilter* filter) { filter_ = filter; }

    // The menu command: asks (proposing a file named after `surveyPath`, the
    // open scan file), writes, and reports on the status line (and in a
    // message box when the file could not be written).
    void Export(const std::string& surveyPath = {});
    // Writes without asking.
    ExportSummary ExportTo(const ExportChoice& choice);

  private:
    std::vector<BssidRecord> ChosenRecords(bool visibleRowsOnly);

    const CNetworkList& networks_;
    INetworkColumns& columns_;
    IScanFileDialogs& dialogs_;
    IProgressDisplay& progress_;
    IMessageBoxes& messages_;
    std::function<std::vector<int>()> visibleColumns_;
    INetworkFilter* filter_ = nullptr;
};

}  // namespace tarvik
