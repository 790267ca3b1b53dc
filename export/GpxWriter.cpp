// GPX 1.1: a waypoint per network at its strongest-signal position, then the
// receiver's track through every position the records hold.
#include <cstdio>

#include "export/ExportEscaping.h"
#include "export/ExportWriters.h"
#include "export/RecordPosition.h"
#include "networks/ColumnIds.h"

namespace tarvik {
namespace {

void AppendPointStart(std::string& out, const char* tag, const PositionFacts& position) {
    char text[160];
    std::snprintf(text, sizeof text, "<%s lat=\"%.8f\" lon=\"%.8f\"><ele>%.1f</ele>", tag,
                  position.latitude, position.longitude, position.altitude);
    out += text;
    if (position.time > 0) {
        out += "<time>";
        out += UtcTimeText(static_cast<std::int64_t>(position.time), true);
        out += "</time>";
    }
}

void AppendWaypoint(std::string& out, CBssid& record, const ExportRequest& request,
                    const PositionFacts& position) {
    AppendPointStart(out, "wpt", position);
    out += "<name>";
    AppendXmlText(out, SsidBytes(record));
    out += "</name><desc>";
    AppendXmlText(out, TableText(request, record, COLUMN_MAC_ADDRESS) + ", channel " +
                           TableText(request, record, COLUMN_CHANNEL) + ", " +
                           TableText(request, record, COLUMN_ENCRYPTION) + ", " +
                           TableText(request, record, COLUMN_VENDOR) + ", best " +
                           TableText(request, record, COLUMN_BEST_RSSI));
    out += "</desc><type>";
    AppendXmlText(out, TableText(request, record, COLUMN_ENCRYPTION));
    out += "</type></wpt>\n";
}

void AppendTrack(std::string& out, const std::vector<PositionFacts>& track) {
    out += "<trk><name>Receiver track</name><trkseg>\n";
    for (const PositionFacts& point : track) {
        AppendPointStart(out, "trkpt", point);
        out += "</trkpt>\n";
    }
    out += "</trkseg></trk>\n";
}

}  // namespace

bool WriteGpx(const std::vector<BssidRecord>& records, const ExportRequest& request,
              std::string& out, ExportSummary& summary) {
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Tarvik\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    const bool whole = ForEachPlacedNetwork(records, request, summary,
                                            [&](CBssid& record, const PositionFacts& position) {
                                                AppendWaypoint(out, record, request, position);
                                            });
    if (!whole) return false;
    // A track needs two points to be one.
    const std::vector<PositionFacts> track = ReceiverTrack(records);
    if (track.size() >= 2) {
        AppendTrack(out, track);
        summary.trackPoints = track.size();
    }
    out += "</gpx>\n";
    return ReportExportProgress(request, records.size(), records.size());
}

}  // namespace tarvik
