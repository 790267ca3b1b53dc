#include "tools/cli/FixPrinter.h"

#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>

namespace tarvik::cli {
namespace {

const char* QualityName(std::int32_t status) {
    switch (status) {
        case FIX_STATUS_FIX:
            return "gps";
        case FIX_STATUS_DIFFERENTIAL:
            return "dgps";
        default:
            return "none";
    }
}

const char* ModeName(std::int32_t mode) {
    switch (mode) {
        case FIX_MODE_NONE:
            return "none";
        case FIX_MODE_2D:
            return "2D";
        case FIX_MODE_3D:
            return "3D";
        default:
            return "unseen";
    }
}

// ISO 8601 UTC with hundredths, or "-" when the receiver sent no time.
std::string FormatUtc(double fixTime) {
    if (fixTime <= 0 || !std::isfinite(fixTime)) return "-";
    const std::time_t whole = static_cast<std::time_t>(std::floor(fixTime));
    std::tm parts{};
    if (gmtime_r(&whole, &parts) == nullptr) return "-";
    // Room for any int in every field, so the optimiser sees no truncation.
    char text[96];
    const int hundredths = std::min(99, static_cast<int>((fixTime - whole) * 100 + 0.5));
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  hundredths);
    return text;
}

}  // namespace

std::string FormatFixText(const GpsFix& f) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "%s lat %.6f lon %.6f alt %.1f m geoid %.1f m quality %s mode %s sats %d "
                  "hdop %.1f pdop %.1f vdop %.1f speed %.2f m/s course %.1f",
                  FormatUtc(f.fixTime).c_str(), f.latitude, f.longitude, f.altitude,
                  f.geoidSeparation, QualityName(f.status), ModeName(f.mode), f.satellitesUsedCount,
                  f.hdop, f.pdop, f.vdop, f.speed, f.track);
    return text;
}

std::string FormatFixJson(const GpsFix& f) {
    nlohmann::json line = {{"time", FormatUtc(f.fixTime)},
                           {"lat", f.latitude},
                           {"lon", f.longitude},
                           {"alt", f.altitude},
                           {"geoid", f.geoidSeparation},
                           {"quality", QualityName(f.status)},
                           {"mode", ModeName(f.mode)},
                           {"satellites_used", f.satellitesUsedCount},
                           {"hdop", f.hdop},
                           {"pdop", f.pdop},
                           {"vdop", f.vdop},
                           {"speed", f.speed},
                           {"course", f.track}};
    if (f.fixTime <= 0) line["time"] = nullptr;
    return line.dump();
}

void CFixPrinter::Feed(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty()) return;
    const GpsFix before = fix_;
    const NmeaOutcome outcome = parser_.ParseSentence(line, fix_);
    if (outcome == NMEA_DROPPED) return;
    if (epochs_.StartsEpoch(line)) {
        if (pending_) Print(before);
        pending_ = false;
    }
    pending_ = pending_ || outcome == NMEA_DECODED;
}

void CFixPrinter::Finish() {
    if (pending_) Print(fix_);
    pending_ = false;
}

void CFixPrinter::Print(const GpsFix& fix) {
    const std::string line = json_ ? FormatFixJson(fix) : FormatFixText(fix);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
    ++printed_;
}

std::string CFixPrinter::Summary() const {
    std::string text = std::to_string(printed_) + " fixes, " +
                       std::to_string(parser_.TotalDropCount()) + " sentences dropped";
    std::string reasons;
    for (int r = DROP_NONE + 1; r < DROP_REASON_COUNT; ++r) {
        const auto reason = static_cast<NmeaDropReason>(r);
        if (parser_.DropCount(reason) == 0) continue;
        reasons += (reasons.empty() ? "" : ", ") + std::string(NmeaDropReasonName(reason)) + " " +
                   std::to_string(parser_.DropCount(reason));
    }
    return reasons.empty() ? text : text + " (" + reasons + ")";
}

}  // namespace tarvik::cli
