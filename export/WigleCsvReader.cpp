#include "export/WigleCsvReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <unordered_map>

#include "export/CsvRecords.h"
#include "export/ExportEscaping.h"
#include "export/RecordPosition.h"
#include "export/WigleAuthMode.h"
#include "gps/GpsFix.h"
#include "platform/AtomicFile.h"

namespace tarvik {
namespace {

// One Wi-Fi row.
struct Observation {
    ndis::MacAddress mac{};
    std::string ssid;
    WigleSecurity security;
    std::int32_t time = 0;
    std::uint32_t frequencyMhz = 0;
    std::int32_t rssi = 0;
    PositionFacts position;
};

// Where each column is in a row; -1 when the header lacks it.
struct ColumnMap {
    int mac = -1, ssid = -1, authMode = -1, firstSeen = -1, channel = -1, frequency = -1, rssi = -1,
        latitude = -1, longitude = -1, altitude = -1, accuracy = -1, type = -1;
    std::size_t count = 0;
};

std::optional<ColumnMap> MapColumns(const std::vector<std::string>& header) {
    ColumnMap map;
    const std::pair<const char*, int*> names[] = {
        {"MAC", &map.mac},
        {"SSID", &map.ssid},
        {"AuthMode", &map.authMode},
        {"FirstSeen", &map.firstSeen},
        {"Channel", &map.channel},
        {"Frequency", &map.frequency},
        {"RSSI", &map.rssi},
        {"CurrentLatitude", &map.latitude},
        {"CurrentLongitude", &map.longitude},
        {"AltitudeMeters", &map.altitude},
        {"AccuracyMeters", &map.accuracy},
        {"Type", &map.type},
    };
    for (std::size_t i = 0; i < header.size(); ++i) {
        for (const auto& [name, index] : names) {
            if (header[i] == name) *index = static_cast<int>(i);
        }
    }
    map.count = header.size();
    // Frequency, altitude and accuracy may be missing (version 1.4 has no
    // frequency); the rest is what a network is made of.
    for (const int required : {map.mac, map.ssid, map.authMode, map.firstSeen, map.channel,
                               map.rssi, map.latitude, map.longitude, map.type}) {
        if (required < 0) return std::nullopt;
    }
    return map;
}

template <class Number>
bool ParseNumber(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool ParseMac(std::string_view text, ndis::MacAddress& mac) {
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[i * 3 - 1] != ':') return false;
        unsigned value = 0;
        const std::string_view pair = text.substr(i * 3, 2);
        const auto result = std::from_chars(pair.data(), pair.data() + 2, value, 16);
        if (result.ec != std::errc() || result.ptr != pair.data() + 2) return false;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

// An optional number: empty reads as 0.
bool ParseOptionalDouble(const std::vector<std::string>& fields, int index, double& value) {
    value = 0;
    if (index < 0 || fields[static_cast<std::size_t>(index)].empty()) return true;
    return ParseNumber(fields[static_cast<std::size_t>(index)], value) && std::isfinite(value);
}

// Empty when the row is good; otherwise why not.
std::string ReadObservation(const std::vector<std::string>& fields, const ColumnMap& map,
                            Observation& row) {
    const auto field = [&](int index) -> const std::string& {
        return fields[static_cast<std::size_t>(index)];
    };
    if (!ParseMac(field(map.mac), row.mac)) return "bad MAC address '" + field(map.mac) + "'";
    row.ssid = DecodeDisplayText(field(map.ssid));
    if (row.ssid.size() > 32) return "SSID longer than 32 bytes";
    row.security = ParseWigleAuthMode(field(map.authMode));
    const std::optional<std::int64_t> time = ParseUtcTime(field(map.firstSeen));
    if (!time || *time < 0 || *time > std::numeric_limits<std::int32_t>::max())
        return "bad time '" + field(map.firstSeen) + "'";
    row.time = static_cast<std::int32_t>(*time);
    std::uint32_t channel = 0;
    if (!ParseNumber(field(map.channel), channel) || channel > kWigleMaxChannel)
        return "bad channel '" + field(map.channel) + "'";
    row.frequencyMhz = ChannelFrequencyMhz(channel);
    if (map.frequency >= 0 && !field(map.frequency).empty()) {
        if (!ParseNumber(field(map.frequency), row.frequencyMhz) || row.frequencyMhz > 100000)
            return "bad frequency '" + field(map.frequency) + "'";
    }
    if (!ParseNumber(field(map.rssi), row.rssi) || row.rssi < -200 || row.rssi > 0)
        return "bad RSSI '" + field(map.rssi) + "'";
    PositionFacts& p = row.position;
    if (!ParseNumber(field(map.latitude), p.latitude) || !std::isfinite(p.latitude) ||
        std::fabs(p.latitude) > 90 || !ParseNumber(field(map.longitude), p.longitude) ||
        !std::isfinite(p.longitude) || std::fabs(p.longitude) > 180) {
        return "bad position '" + field(map.latitude) + "," + field(map.longitude) + "'";
    }
    if (!ParseOptionalDouble(fields, map.altitude, p.altitude) ||
        !ParseOptionalDouble(fields, map.accuracy, p.accuracy)) {
        return "bad altitude or accuracy";
    }
    p.time = row.time;
    return {};
}

ndis::BssidEntry EntryOf(const Observation& row) {
    ndis::BssidEntryFields fields;
    fields.macAddress = row.mac;
    fields.SetSsid(row.ssid);
    fields.privacy = row.security.privacy ? 1 : 0;
    fields.rssi = row.rssi;
    fields.networkTypeInUse = row.frequencyMhz >= 4900 ? ndis::Ndis802_11OFDM5 : ndis::Ndis802_11DS;
    fields.configuration.dsConfig = row.frequencyMhz * 1000;
    fields.infrastructureMode =
        row.security.adHoc ? ndis::Ndis802_11IBSS : ndis::Ndis802_11Infrastructure;
    fields.elements = row.security.element;
    return ndis::BssidEntry::FromFields(fields);
}

OptionalPosition PositionOf(const Observation& row) {
    GpsFix fix;
    fix.mode = FIX_MODE_3D;
    fix.status = FIX_STATUS_FIX;
    fix.fixTime = row.position.time;
    fix.latitude = row.position.latitude;
    fix.longitude = row.position.longitude;
    fix.altitude = row.position.altitude;
    fix.horizontalError = row.position.accuracy;
    return OptionalPosition(PositionSnapshot{EncodeGpsFix(fix)});
}

// One record from all rows of one MAC address.
BssidRecord BuildRecord(std::vector<Observation>& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Observation& a, const Observation& b) { return a.time < b.time; });
    auto record = std::make_shared<CBssid>(EntryOf(rows.front()), 0, rows.front().time);
    for (std::size_t i = 1; i < rows.size(); ++i)
        record->UpdateFromEntry(EntryOf(rows[i]), rows[i].time);
    record->SetLastSeenScan(0);
    const auto byRssi = [](const Observation& a, const Observation& b) { return a.rssi < b.rssi; };
    const auto weakest = std::min_element(rows.begin(), rows.end(), byRssi);
    const auto strongest = std::max_element(rows.begin(), rows.end(), byRssi);
    const OptionalPosition strongPosition = PositionOf(*strongest);
    record->SetPositionAtMaxRssi(strongPosition);
    record->SetPositionAtMinRssi(weakest == strongest ? strongPosition : PositionOf(*weakest));
    return record;
}

// Reads the pre-header and header; false when the text is no WiGLE CSV.
bool ReadHeaders(CCsvReader& reader, WigleCsvContents& result, ColumnMap& map) {
    CsvRecord record;
    if (!reader.Next(record) || !record.error.empty() || record.fields.empty() ||
        !record.fields[0].starts_with(kWiglePreHeader)) {
        return false;
    }
    result.version = record.fields[0].substr(kWiglePreHeader.size());
    if (!reader.Next(record) || !record.error.empty()) return false;
    const std::optional<ColumnMap> found = MapColumns(record.fields);
    if (!found) return false;
    map = *found;
    return true;
}

}  // namespace

std::uint32_t ChannelFrequencyMhz(std::uint32_t channel) {
    if (channel >= 1 && channel <= 13) return 2407 + 5 * channel;
    if (channel == 14) return 2484;
    if (channel >= 32 && channel <= 196) return 5000 + 5 * channel;
    return 0;
}

bool IsWigleCsvFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char head[kWiglePreHeader.size()] = {};
    in.read(head, sizeof head);
    return in.gcount() == static_cast<std::streamsize>(sizeof head) &&
           std::string_view(head, sizeof head) == kWiglePreHeader;
}

WigleCsvContents ParseWigleCsv(std::string_view text, const std::string& name,
                               const ScanFileProgress& progress) {
    WigleCsvContents result;
    result.contents.fileBytes = text.size();
    CCsvReader reader(text);
    ColumnMap map;
    if (!ReadHeaders(reader, result, map)) {
        result.contents.status = ScanFileStatus::NotScanFile;
        result.contents.message = name + ": not a WiGLE CSV file";
        return result;
    }
    std::unordered_map<std::uint64_t, std::size_t> groupOfMac;
    std::vector<std::vector<Observation>> groups;
    CsvRecord record;
    for (std::size_t n = 0; reader.Next(record); ++n) {
        if (progress && n % 4096 == 0 && !progress(reader.Offset(), text.size())) {
            result.contents.status = ScanFileStatus::Cancelled;
            result.contents.message = name + ": reading cancelled";
            return result;
        }
        std::string error = record.error;
        if (error.empty() && record.fields.size() < map.count) {
            error = std::to_string(record.fields.size()) + " fields where the header has " +
                    std::to_string(map.count);
        }
        if (error.empty() && record.fields[static_cast<std::size_t>(map.type)] != "WIFI") {
            ++result.otherRows;
            continue;
        }
        Observation row;
        if (error.empty()) error = ReadObservation(record.fields, map, row);
        if (!error.empty()) {
            result.skipped.push_back("line " + std::to_string(record.line) + ": " + error);
            continue;
        }
        std::uint64_t key = 0;
        for (const std::uint8_t byte : row.mac) key = key << 8 | byte;
        const auto [it, added] = groupOfMac.emplace(key, groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(std::move(row));
        ++result.wifiRows;
    }
    result.contents.records.reserve(groups.size());
    for (std::vector<Observation>& rows : groups)
        result.contents.records.push_back(BuildRecord(rows));
    result.contents.declaredCount = static_cast<std::uint32_t>(groups.size());
    result.contents.status = ScanFileStatus::Read;
    return result;
}

WigleCsvContents ReadWigleCsv(const std::filesystem::path& path, const ScanFileProgress& progress) {
    std::string text;
    int error = 0;
    if (!ReadWholeFile(path, text, error, nullptr, kWigleMaxFileBytes)) {
        WigleCsvContents result;
        result.contents.status = ScanFileStatus::CannotOpen;
        result.contents.message = path.string() + ": " + ErrnoText(error);
        return result;
    }
    return ParseWigleCsv(text, path.string(), progress);
}

}  // namespace tarvik
