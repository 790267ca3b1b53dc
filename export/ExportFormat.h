// The export formats: a name for the command line, a title for the format
// chooser and the usual file extension.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

enum class ExportFormat { WigleCsv, Kml, Gpx, TableCsv };

struct ExportFormatInfo {
    ExportFormat format;
    std::string_view name;       // the command line's word
    std::string_view title;      // the format chooser's text
    std::string_view extension;  // without the dot
    bool geographic;             // networks without a position are left out
};

inline constexpr std::array<ExportFormatInfo, 4> kExportFormats = {{
    {ExportFormat::WigleCsv, "wigle", "WiGLE CSV 1.6 (*.csv)", "csv", true},
    {ExportFormat::Kml, "kml", "KML for Google Earth (*.kml)", "kml", true},
    {ExportFormat::Gpx, "gpx", "GPX waypoints and track (*.gpx)", "gpx", true},
    {ExportFormat::TableCsv, "csv", "CSV of the table (*.csv)", "csv", false},
}};

const ExportFormatInfo& FormatInfo(ExportFormat format);
// nullopt for an unknown name.
std::optional<ExportFormat> FindExportFormat(std::string_view name);

// The file proposed for exporting `surveyPath` (the open scan file; empty:
// "survey") in a format: its name with the format's extension, the table's
// CSV as "<name>-table.csv" so that it and a WiGLE CSV keep apart.
std::string ProposedExportPath(const std::string& surveyPath, ExportFormat format);

}  // namespace tarvik
