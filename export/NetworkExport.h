// Writes networks to a file in one of the export formats. The text is built
// in memory (about 200 bytes a network) with progress reports, and the file
// is replaced atomically only when all of it is there, so a cancelled or
// failed export leaves the old file as it was.
//
// Threads: the records' text caches are refreshed as the texts are read, so
// the export runs on the thread that changes the records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "export/ExportFormat.h"
#include "networks/NetworkList.h"
#include "networks/NetworkTable.h"

namespace tarvik {

// Told the networks done and the networks in all now and then; returning
// false cancels the export.
using ExportProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct ExportRequest {
    ExportFormat format = ExportFormat::WigleCsv;
    // The column rules give every text the table shows (security, vendor,
    // signal, and each cell of the table's CSV).
    INetworkColumns* columns = nullptr;
    // The table's CSV: the visible columns in display order.
    std::vector<int> tableColumns;
    ExportProgress progress;
    // Named in the WiGLE pre-header.
    std::string device = "tarvik";
};

enum class ExportStatus { Written, Cancelled, Failed };

struct ExportSummary {
    ExportStatus status = ExportStatus::Failed;
    std::size_t networks = 0;         // networks written
    std::size_t withoutPosition = 0;  // left out of a geographic format
    std::size_t rows = 0;             // rows, placemarks or waypoints
    std::size_t trackPoints = 0;      // GPX only
    std::string error;                // why it failed
};

// Builds the file's text; false when the progress callback cancelled.
bool RenderExport(const std::vector<BssidRecord>& records, const ExportRequest& request,
                  std::string& text, ExportSummary& summary);

// Renders and writes `path` atomically, with the mode of the file it replaces or, for
// a new file, the one the umask gives (DocumentMode).
ExportSummary ExportNetworks(const std::filesystem::path& path,
                             const std::vector<BssidRecord>& records, const ExportRequest& request);

// One line for the user: "12 networks written to PATH; 3 without a position
// left out." and the like.
std::string SummaryText(const ExportSummary& summary, const std::string& path);

}  // namespace tarvik
