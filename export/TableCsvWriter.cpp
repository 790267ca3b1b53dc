// The table as a spreadsheet sees it: the visible columns' titles, then each
// network's texts in those columns.
#include "export/ExportEscaping.h"
#include "export/ExportWriters.h"
#include "networks/ColumnIds.h"

namespace tarvik {

bool WriteTableCsv(const std::vector<BssidRecord>& records, const ExportRequest& request,
                   std::string& out, ExportSummary& summary) {
    std::vector<int> columns;
    for (const int column : request.tableColumns) {
        if (column >= 0 && column < kNetworkColumnCount) columns.push_back(column);
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c > 0) out += ',';
        AppendCsvField(out, kNetworkColumns[static_cast<std::size_t>(columns[c])].title);
    }
    out += "\r\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!ReportExportProgress(request, i, records.size())) return false;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c > 0) out += ',';
            AppendCsvField(out, TableText(request, *records[i], columns[c]), true);
        }
        out += "\r\n";
        ++summary.networks;
        ++summary.rows;
    }
    return ReportExportProgress(request, records.size(), records.size());
}

}  // namespace tarvik
