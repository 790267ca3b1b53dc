// KML 2.2: a document with one style per security class and one folder per
// class, each network a placemark at its strongest-signal position.
#include <array>
#include <cstdio>

#include "export/ExportEscaping.h"
#include "export/ExportWriters.h"
#include "export/RecordPosition.h"
#include "networks/ColumnIds.h"

namespace tarvik {
namespace {

struct SecurityStyle {
    int securityClass;
    const char* id;
    const char* title;
    const char* colour;  // KML's aabbggrr
};

// Open green, WEP orange, WPA yellow, WPA2 blue, anything else grey.
constexpr std::array<SecurityStyle, 5> kStyles = {{
    {SECURITY_CLASS_OPEN, "open", "Open", "ff00c000"},
    {SECURITY_CLASS_WEP, "wep", "WEP", "ff0080ff"},
    {SECURITY_CLASS_WPA, "wpa", "WPA", "ff00ffff"},
    {SECURITY_CLASS_WPA2, "wpa2", "WPA2", "ffff8000"},
    {SECURITY_CLASS_NONE, "other", "Other", "ff808080"},
}};

std::size_t StyleIndex(const CBssid& record) {
    const int securityClass = record.SecurityClass();
    for (std::size_t i = 0; i + 1 < kStyles.size(); ++i) {
        if (kStyles[i].securityClass == securityClass) return i;
    }
    return kStyles.size() - 1;
}

void AppendStyles(std::string& out) {
    for (const SecurityStyle& style : kStyles) {
        out += "<Style id=\"";
        out += style.id;
        out += "\"><IconStyle><color>";
        out += style.colour;
        out +=
            "</color><Icon><href>http://maps.google.com/mapfiles/kml/shapes/"
            "placemark_circle.png</href></Icon></IconStyle></Style>\n";
    }
}

void AppendDescriptionLine(std::string& out, const char* label, const std::string& value) {
    out += label;
    out += ": ";
    AppendXmlText(out, value);
    out += "\n";
}

void AppendPlacemark(std::string& out, CBssid& record, const ExportRequest& request,
                     const PositionFacts& position, const SecurityStyle& style) {
    const std::string ssid = SsidBytes(record);
    out += "<Placemark><name>";
    AppendXmlText(out, ssid);
    out += "</name><description>";
    AppendDescriptionLine(out, "SSID", ssid);
    AppendDescriptionLine(out, "MAC", TableText(request, record, COLUMN_MAC_ADDRESS));
    AppendDescriptionLine(out, "Channel", TableText(request, record, COLUMN_CHANNEL));
    AppendDescriptionLine(out, "Security", TableText(request, record, COLUMN_ENCRYPTION));
    AppendDescriptionLine(out, "Vendor", TableText(request, record, COLUMN_VENDOR));
    AppendDescriptionLine(out, "Best signal", TableText(request, record, COLUMN_BEST_RSSI));
    out += "</description><styleUrl>#";
    out += style.id;
    char point[128];
    std::snprintf(point, sizeof point, "</styleUrl><Point><coordinates>%.8f,%.8f,%.1f",
                  position.longitude, position.latitude, position.altitude);
    out += point;
    out += "</coordinates></Point></Placemark>\n";
}

}  // namespace

bool WriteKml(const std::vector<BssidRecord>& records, const ExportRequest& request,
              std::string& out, ExportSummary& summary) {
    // Placemarks are gathered per folder first: a folder must be whole.
    std::array<std::string, kStyles.size()> folders;
    const bool whole = ForEachPlacedNetwork(
        records, request, summary, [&](CBssid& record, const PositionFacts& position) {
            const std::size_t style = StyleIndex(record);
            AppendPlacemark(folders[style], record, request, position, kStyles[style]);
        });
    if (!whole) return false;
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document><name>Tarvik survey</name>\n";
    AppendStyles(out);
    for (std::size_t i = 0; i < kStyles.size(); ++i) {
        if (folders[i].empty()) continue;
        out += "<Folder><name>";
        out += kStyles[i].title;
        out += "</name>\n";
        out += folders[i];
        out += "</Folder>\n";
    }
    out += "</Document>\n</kml>\n";
    return ReportExportProgress(request, records.size(), records.size());
}

}  // namespace tarvik
