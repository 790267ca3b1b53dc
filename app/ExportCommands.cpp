#include "app/ExportCommands.h"

#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "networks/ColumnIds.h"

namespace tarvik {

CExportCommands::CExportCommands(const ExportCommandParts& parts)
    : networks_(parts.networks),
      columns_(parts.columns),
      dialogs_(parts.dialogs),
      progress_(parts.progress),
      messages_(parts.messages),
      visibleColumns_(parts.visibleColumns) {}

std::vector<BssidRecord> CExportCommands::ChosenRecords(bool visibleRowsOnly) {
    std::vector<BssidRecord> records = networks_.Records();
    if (!visibleRowsOnly || filter_ == nullptr) return records;
    std::erase_if(records,
                  [this](const BssidRecord& record) { return !filter_->PassesFilter(*record); });
    return records;
}

ExportSummary CExportCommands::ExportTo(const ExportChoice& choice) {
    ExportRequest request;
    request.format = choice.format;
    request.columns = &columns_;
    if (visibleColumns_) {
        request.tableColumns = visibleColumns_();
    } else {
        for (int column = 0; column < kNetworkColumnCount; ++column)
            request.tableColumns.push_back(column);
    }
    request.progress = [this](std::uint64_t done, std::uint64_t total) {
        return progress_.Report(done, total);
    };
    const std::vector<BssidRecord> records = ChosenRecords(choice.visibleRowsOnly);
    progress_.Begin("Exporting " + choice.path + "...");
    const ExportSummary summary = ExportNetworks(choice.path, records, request);
    progress_.End();
    return summary;
}

void CExportCommands::Export(const std::string& surveyPath) {
    LogInfo("Menu export called");
    const std::optional<ExportChoice> choice = dialogs_.AskExport(filter_ != nullptr, surveyPath);
    if (!choice) return;
    const ExportSummary summary = ExportTo(*choice);
    const std::string text = SummaryText(summary, choice->path);
    SetStatusText(text);
    if (summary.status == ExportStatus::Failed) {
        LogWarn("%s", text.c_str());
        messages_.ShowMessage(text, "Export", MessageIcon::Information);
    }
}

}  // namespace tarvik
