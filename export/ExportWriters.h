// The format writers behind RenderExport. Each appends the whole file's text
// to `out` and counts what it wrote in `summary`; false when cancelled.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "export/NetworkExport.h"
#include "export/RecordPosition.h"

namespace tarvik {

// Reports progress every kProgressStep networks (and at the end).
inline constexpr std::size_t kProgressStep = 1024;

// Calls the request's progress for network `done`; false when cancelled.
bool ReportExportProgress(const ExportRequest& request, std::size_t done, std::size_t total);

// Calls `place(record, position)` for each network with a strongest-signal
// position, counting those without one; false when cancelled.
bool ForEachPlacedNetwork(const std::vector<BssidRecord>& records, const ExportRequest& request,
                          ExportSummary& summary,
                          const std::function<void(CBssid&, const PositionFacts&)>& place);

// The network's SSID bytes as received (up to a NUL is not enough here: the
// exports show every byte); empty without an entry.
std::string SsidBytes(const CBssid& record);
// A column text of the table (empty without column rules).
std::string TableText(const ExportRequest& request, CBssid& record, int column);

bool WriteWigleCsv(const std::vector<BssidRecord>& records, const ExportRequest& request,
                   std::string& out, ExportSummary& summary);
bool WriteKml(const std::vector<BssidRecord>& records, const ExportRequest& request,
              std::string& out, ExportSummary& summary);
bool WriteGpx(const std::vector<BssidRecord>& records, const ExportRequest& request,
              std::string& out, ExportSummary& summary);
bool WriteTableCsv(const std::vector<BssidRecord>& records, const ExportRequest& request,
                   std::string& out, ExportSummary& summary);

}  // namespace tarvik
