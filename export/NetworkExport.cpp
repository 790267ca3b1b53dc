#include "export/NetworkExport.h"

#include <algorithm>

#include "export/ExportWriters.h"
#include "platform/AtomicFile.h"

namespace tarvik {

bool ReportExportProgress(const ExportRequest& request, std::size_t done, std::size_t total) {
    if (!request.progress) return true;
    if (done % kProgressStep != 0 && done != total) return true;
    return request.progress(done, total);
}

bool ForEachPlacedNetwork(const std::vector<BssidRecord>& records, const ExportRequest& request,
                          ExportSummary& summary,
                          const std::function<void(CBssid&, const PositionFacts&)>& place) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!ReportExportProgress(request, i, records.size())) return false;
        CBssid& record = *records[i];
        if (record.Entry() == nullptr) continue;
        const std::optional<PositionFacts> position = StrongestPosition(record);
        if (!position) {
            ++summary.withoutPosition;
            continue;
        }
        place(record, *position);
        ++summary.networks;
        ++summary.rows;
    }
    return true;
}

std::string SsidBytes(const CBssid& record) {
    const ndis::BssidEntry* entry = record.Entry();
    if (entry == nullptr) return {};
    const auto ssid = entry->Ssid();
    const std::size_t length = std::min<std::size_t>(entry->SsidLength(), ssid.size());
    return std::string(reinterpret_cast<const char*>(ssid.data()), length);
}

std::string TableText(const ExportRequest& request, CBssid& record, int column) {
    return request.columns != nullptr ? request.columns->ColumnText(record, column) : std::string();
}

bool RenderExport(const std::vector<BssidRecord>& records, const ExportRequest& request,
                  std::string& text, ExportSummary& summary) {
    switch (request.format) {
        case ExportFormat::WigleCsv:
            return WriteWigleCsv(records, request, text, summary);
        case ExportFormat::Kml:
            return WriteKml(records, request, text, summary);
        case ExportFormat::Gpx:
            return WriteGpx(records, request, text, summary);
        case ExportFormat::TableCsv:
            return WriteTableCsv(records, request, text, summary);
    }
    return false;
}

ExportSummary ExportNetworks(const std::filesystem::path& path,
                             const std::vector<BssidRecord>& records,
                             const ExportRequest& request) {
    ExportSummary summary;
    std::string text;
    if (!RenderExport(records, request, text, summary)) {
        summary.status = ExportStatus::Cancelled;
        return summary;
    }
    if (!WriteFileAtomically(path, text, DocumentMode(path), summary.error)) {
        summary.status = ExportStatus::Failed;
        return summary;
    }
    summary.status = ExportStatus::Written;
    return summary;
}

std::string SummaryText(const ExportSummary& summary, const std::string& path) {
    switch (summary.status) {
        case ExportStatus::Cancelled:
            return "Export to " + path + " cancelled; nothing written.";
        case ExportStatus::Failed:
            return "Cannot write " + path + ": " + summary.error;
        case ExportStatus::Written:
            break;
    }
    std::string text = std::to_string(summary.networks) +
                       (summary.networks == 1 ? " network" : " networks") + " written to " + path;
    if (summary.withoutPosition > 0) {
        text += "; " + std::to_string(summary.withoutPosition) + " without a position left out";
    }
    if (summary.trackPoints > 0) {
        text += "; track of " + std::to_string(summary.trackPoints) + " receiver positions";
    }
    return text + ".";
}

}  // namespace tarvik
