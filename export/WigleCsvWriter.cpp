// WiGLE CSV 1.6: the pre-header naming the writer, the column header, then one
// row per network and position observation (the strongest and the weakest
// signal's position, once when they are the same).
#include <cinttypes>
#include <cstdio>

#include "export/ExportEscaping.h"
#include "export/ExportWriters.h"
#include "export/RecordPosition.h"
#include "export/WigleAuthMode.h"
#include "export/WigleCsvReader.h"
#include "networks/NetworkColumns.h"
#include "platform/Version.h"

namespace tarvik {
namespace {

constexpr const char* kWigleHeader =
    "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,CurrentLongitude,"
    "AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type\n";

std::string PreHeader(const ExportRequest& request) {
    std::string device;
    for (const char c : request.device) {
        // The pre-header is key=value pairs split at commas.
        if (c != ',' && c != '=' && c != '\n' && c != '\r') device += c;
    }
    return std::string("WigleWifi-1.6,appRelease=") + kTarvikVersion +
           ",model=Tarvik,release=" + kTarvikVersion + ",device=" + device + ",display=" + device +
           ",board=" + device + ",brand=Tarvik,star=Sol,body=3,subBody=0\n";
}

std::string MacText(const CBssid& record) {
    const ndis::MacAddress mac = record.Entry()->GetMacAddress();
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

// The fields up to the time, which every row of a network shares.
std::string RowStart(const CBssid& record) {
    std::string start = MacText(record) + ",";
    AppendCsvField(start, SsidBytes(record));
    start += ",";
    AppendCsvField(start, WigleAuthMode(record));
    return start + ",";
}

// The table's channel, or 0 (unknown) where a frequency outside the bands
// gives none a reader would take.
std::uint32_t WigleChannel(const CBssid& record) {
    const std::uint32_t channel = ChannelOf(record);
    return channel <= kWigleMaxChannel ? channel : 0;
}

void AppendRow(std::string& out, const std::string& start, const CBssid& record,
               const PositionFacts& position, std::int32_t rssi) {
    const std::int64_t time =
        position.time > 0 ? static_cast<std::int64_t>(position.time) : record.FirstSeen();
    const std::uint32_t frequencyMhz = MegahertzOf(record.Entry()->GetConfiguration().dsConfig);
    char tail[192];
    std::snprintf(tail, sizeof tail, ",%u,%u,%" PRId32 ",%.8f,%.8f,%.1f,%.1f,,,WIFI\n",
                  WigleChannel(record), frequencyMhz, rssi, position.latitude, position.longitude,
                  position.altitude, position.accuracy);
    out += start;
    out += UtcTimeText(time, false);
    out += tail;
}

}  // namespace

bool WriteWigleCsv(const std::vector<BssidRecord>& records, const ExportRequest& request,
                   std::string& out, ExportSummary& summary) {
    out.reserve(out.size() + records.size() * 160);
    out += PreHeader(request);
    out += kWigleHeader;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!ReportExportProgress(request, i, records.size())) return false;
        const CBssid& record = *records[i];
        if (record.Entry() == nullptr) continue;
        const auto strongest = ReadPosition(record.PositionAtMaxRssi());
        const auto weakest = record.PositionAtMinRssi() == record.PositionAtMaxRssi()
                                 ? std::nullopt
                                 : ReadPosition(record.PositionAtMinRssi());
        if (!strongest && !weakest) {
            ++summary.withoutPosition;
            continue;
        }
        const std::string start = RowStart(record);
        if (strongest) AppendRow(out, start, record, *strongest, record.RssiMax());
        if (weakest) AppendRow(out, start, record, *weakest, record.RssiMin());
        summary.rows += (strongest ? 1 : 0) + (weakest ? 1 : 0);
        ++summary.networks;
    }
    return ReportExportProgress(request, records.size(), records.size());
}

}  // namespace tarvik
