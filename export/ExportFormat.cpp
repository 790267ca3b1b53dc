#include "export/ExportFormat.h"

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

}  // namespace tarvik
