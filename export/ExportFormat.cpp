#include "export/ExportFormat.h"

#include <filesystem>

namespace tarvik {

const ExportFormatInfo& FormatInfo(ExportFormat format) {
    for (const ExportFormatInfo& info : kExportFormats) {
        if (info.format == format) return info;
    }
    return kExportFormats.back();
}

std::optional<ExportFormat> FindExportFormat(std::string_view name) {
    for (const ExportFormatInfo& info : kExportFormats) {
        if (info.name == name) return info.format;
    }
    return std::nullopt;
}

std::string ProposedExportPath(const std::string& surveyPath, ExportFormat format) {
    std::filesystem::path proposed = surveyPath.empty() ? "survey" : surveyPath;
    if (format == ExportFormat::TableCsv) proposed.replace_filename(proposed.stem() += "-table");
    return proposed.replace_extension(FormatInfo(format).extension).string();
}

}  // namespace tarvik
