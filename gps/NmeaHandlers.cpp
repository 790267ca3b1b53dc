#include "gps/NmeaHandlers.h"

#include <optional>

#include "gps/GeoidSeparation.h"
#include "gps/GpsFixTime.h"

namespace tarvik {
namespace {

constexpr double kMetresPerSecondPerKnot = 0.51444444;
// Garmin's PGRME figures are one-sigma; scaled to the block's error estimates.
constexpr double kGarminErrorScale = 2.076271186440678;
// Ranges beyond which a value is refused as garbage.
constexpr double kMaxSpeedKnots = 20000.0;
constexpr double kMaxAltitude = 100000.0;
constexpr double kMinAltitude = -20000.0;
constexpr double kMaxGeoidSeparation = 200.0;
constexpr double kMaxDop = 999.99;
constexpr double kMaxErrorMetres = 1.0e6;
constexpr int kMaxPrn = 999;
constexpr int kMaxSatellitesUsed = 99;

using Field = std::string_view;

// An empty field is absent; anything else must read.
bool ReadOptionalDecimal(Field field, double minimum, double maximum,
                         std::optional<double>& value) {
    if (field.empty()) return true;
    double read = 0;
    if (!ReadNmeaDecimalInRange(field, minimum, maximum, read)) return false;
    value = read;
    return true;
}

bool ReadOptionalInteger(Field field, int minimum, int maximum, int& value) {
    return field.empty() || ReadNmeaInteger(field, minimum, maximum, value);
}

bool ReadOptionalTime(Field field, std::optional<NmeaTimeOfDay>& time) {
    if (field.empty()) return true;
    NmeaTimeOfDay read;
    if (!ReadNmeaTime(field, read)) return false;
    time = read;
    return true;
}

// Latitude and longitude from four fields from `first`; an empty value leaves
// that coordinate as it was.
struct Position {
    std::optional<double> latitude;
    std::optional<double> longitude;
};

bool ReadPosition(const NmeaSentence& s, std::size_t first, Position& position) {
    for (int axis = 0; axis < 2; ++axis) {
        const Field value = NmeaField(s, first + 2 * axis);
        if (value.empty()) continue;
        double degrees = 0;
        if (!ReadNmeaCoordinate(value, NmeaField(s, first + 2 * axis + 1), axis == 0, degrees))
            return false;
        (axis == 0 ? position.latitude : position.longitude) = degrees;
    }
    return true;
}

void ApplyPosition(const Position& position, GpsFix& fix) {
    if (position.latitude) fix.latitude = *position.latitude;
    if (position.longitude) fix.longitude = *position.longitude;
}

void ApplyTime(const std::optional<NmeaTimeOfDay>& time, GpsFix& fix) {
    if (time) SetFixTimeOfDay(fix, *time);
}

void ClearSatellitesInView(GpsFix& fix) {
    fix.satellitesInViewCount = 0;
    fix.satellitesInView = {};
}

// GGA quality indicator to fix status: the differential kinds (DGPS, PPS,
// RTK, float RTK) are differential, the rest plain fixes.
std::int32_t StatusForQuality(int quality) {
    return quality >= 2 && quality <= 5 ? FIX_STATUS_DIFFERENTIAL : FIX_STATUS_FIX;
}

}  // namespace

// RMC: 1 time, 2 status A/V, 3-6 position, 7 speed (knots), 8 track, 9 date.
bool DecodeRmc(const NmeaSentence& s, GpsFix& fix) {
    const Field status = NmeaField(s, 2);
    if (status == "V") {
        fix.status = FIX_STATUS_NONE;
        if (fix.mode >= FIX_MODE_2D) fix.mode = FIX_MODE_NONE;
        return true;
    }
    if (status != "A") return true;
    const bool hasDate = s.fields.size() > 9;
    std::optional<NmeaTimeOfDay> time;
    std::optional<NmeaDate> date;
    NmeaDate readDate;
    Position position;
    std::optional<double> knots;
    std::optional<double> track;
    if (hasDate && !ReadOptionalTime(NmeaField(s, 1), time)) return false;
    if (hasDate && !NmeaField(s, 9).empty()) {
        if (!ReadNmeaDate(NmeaField(s, 9), readDate)) return false;
        date = readDate;
    }
    if (!ReadPosition(s, 3, position) ||
        !ReadOptionalDecimal(NmeaField(s, 7), 0, kMaxSpeedKnots, knots) ||
        !ReadOptionalDecimal(NmeaField(s, 8), 0, 360, track))
        return false;
    if (hasDate) {
        ApplyTime(time, fix);
        if (date) SetFixDate(fix, *date);
        ComputeFixTime(fix);
    }
    ApplyPosition(position, fix);
    fix.speed = knots.value_or(0) * kMetresPerSecondPerKnot;
    fix.track = track.value_or(0);
    if (fix.status == FIX_STATUS_NONE) fix.status = FIX_STATUS_FIX;
    if (fix.mode < FIX_MODE_2D) fix.mode = FIX_MODE_2D;
    return true;
}

// GGA: 1 time, 2-5 position, 6 quality, 7 satellites used, 8 HDOP,
// 9 altitude (10 its unit), 11 geoid separation (12 its unit).
bool DecodeGga(const NmeaSentence& s, GpsFix& fix) {
    int quality = 0;
    if (!ReadOptionalInteger(NmeaField(s, 6), 0, 8, quality)) return false;
    if (quality == 0) {
        fix.status = FIX_STATUS_NONE;
        return true;
    }
    std::optional<NmeaTimeOfDay> time;
    Position position;
    int used = 0;
    std::optional<double> altitude;
    std::optional<double> separation;
    if (!ReadOptionalTime(NmeaField(s, 1), time) || !ReadPosition(s, 2, position) ||
        !ReadOptionalInteger(NmeaField(s, 7), 0, kMaxSatellitesUsed, used) ||
        !ReadOptionalDecimal(NmeaField(s, 9), kMinAltitude, kMaxAltitude, altitude) ||
        !ReadOptionalDecimal(NmeaField(s, 11), -kMaxGeoidSeparation, kMaxGeoidSeparation,
                             separation))
        return false;
    fix.status = StatusForQuality(quality);
    ApplyTime(time, fix);
    if (HasFixYear(fix)) ComputeFixTime(fix);
    ApplyPosition(position, fix);
    fix.satellitesUsedCount = used;
    if (!altitude) {
        if (fix.mode == FIX_MODE_3D)
            fix.mode = fix.status != FIX_STATUS_NONE ? FIX_MODE_2D : FIX_MODE_NONE;
    } else {
        const double elapsed = fix.fixTime - fix.previousFixTime;
        fix.climb =
            elapsed != 0 && fix.previousFixTime != 0 ? (*altitude - fix.altitude) / elapsed : 0;
        fix.altitude = *altitude;
    }
    fix.geoidSeparation = separation.value_or(GeoidSeparation(fix.latitude, fix.longitude));
    return true;
}

// GLL: 1-4 position, 5 time, 6 status A/V, 7 mode indicator (NMEA 2.3).
bool DecodeGll(const NmeaSentence& s, GpsFix& fix) {
    const bool hasMode = s.fields.size() >= 8;
    if (NmeaField(s, 6) != "A") return true;
    if (hasMode && NmeaField(s, 7).starts_with('N')) return true;
    std::optional<NmeaTimeOfDay> time;
    Position position;
    if (!ReadOptionalTime(NmeaField(s, 5), time) || !ReadPosition(s, 1, position)) return false;
    ApplyTime(time, fix);
    if (HasFixYear(fix)) ComputeFixTime(fix);
    ApplyPosition(position, fix);
    fix.status =
        hasMode && NmeaField(s, 7).starts_with('D') ? FIX_STATUS_DIFFERENTIAL : FIX_STATUS_FIX;
    return true;
}

// GSA: 1 selection mode, 2 fix mode, 3-14 PRNs used, 15 PDOP, 16 HDOP, 17 VDOP.
bool DecodeGsa(const NmeaSentence& s, GpsFix& fix) {
    if (s.fields.size() < 17) return true;
    int mode = 0;
    const Field modeField = NmeaField(s, 2);
    if (!modeField.starts_with('E') && !ReadOptionalInteger(modeField, 0, 3, mode)) return false;
    std::optional<double> dops[3];
    for (std::size_t i = 0; i < 3; ++i) {
        if (!ReadOptionalDecimal(NmeaField(s, fix.channelCount + 3 + i), 0, kMaxDop, dops[i]))
            return false;
    }
    std::array<int, kGpsChannelCount> prns{};
    for (std::size_t i = 0; i < prns.size(); ++i) {
        if (!ReadOptionalInteger(NmeaField(s, 3 + i), 0, kMaxPrn, prns[i])) return false;
    }
    fix.mode = mode;
    fix.pdop = dops[0].value_or(0);
    fix.hdop = dops[1].value_or(0);
    fix.vdop = dops[2].value_or(0);
    fix.usedPrns = {};
    fix.satellitesUsedCount = 0;
    for (int prn : prns) {
        if (prn > 0) fix.usedPrns[fix.satellitesUsedCount++] = prn;
    }
    return true;
}

// GSV: 1 sentences in the group, 2 this sentence's number, 3 satellites in
// view, then PRN, elevation, azimuth and SNR for up to four satellites (a
// lone field after the last group is the NMEA 4.1 signal identifier).
bool DecodeGsv(const NmeaSentence& s, GpsFix& fix) {
    if (s.fields.size() < 4) {
        ClearSatellitesInView(fix);
        return true;
    }
    int groupSize = 0;
    int number = 0;
    int total = 0;
    if (!ReadNmeaInteger(NmeaField(s, 1), 1, 99, groupSize) ||
        !ReadNmeaInteger(NmeaField(s, 2), 1, groupSize, number) ||
        !ReadOptionalInteger(NmeaField(s, 3), 0, 999, total))
        return false;
    std::vector<GpsSatellite> satellites;
    for (std::size_t at = 4; at + 1 < s.fields.size(); at += 4) {
        GpsSatellite sat;
        if (!ReadOptionalInteger(NmeaField(s, at), 0, kMaxPrn, sat.prn) ||
            !ReadOptionalInteger(NmeaField(s, at + 1), 0, 90, sat.elevation) ||
            !ReadOptionalInteger(NmeaField(s, at + 2), 0, 360, sat.azimuth) ||
            !ReadOptionalInteger(NmeaField(s, at + 3), 0, 99, sat.snr))
            return false;
        if (sat.prn != 0) satellites.push_back(sat);
    }
    if (number == 1) ClearSatellitesInView(fix);
    fix.gsvSentenceNumber = number;
    fix.gsvSentenceCount = groupSize;
    // Satellites beyond the table's capacity are left out; the rest stay.
    for (const GpsSatellite& sat : satellites) {
        if (fix.satellitesInViewCount >= fix.channelCount) break;
        fix.satellitesInView[fix.satellitesInViewCount++] = sat;
    }
    if (number < groupSize) return true;
    bool anyAzimuth = false;
    for (int i = 0; i < fix.satellitesInViewCount; ++i)
        anyAzimuth |= fix.satellitesInView[i].azimuth != 0;
    if (!anyAzimuth) ClearSatellitesInView(fix);
    return true;
}

// ZDA: 1 time, 2 day, 3 month, 4 four-digit year (5-6 local zone, unused).
bool DecodeZda(const NmeaSentence& s, GpsFix& fix) {
    std::optional<NmeaTimeOfDay> time;
    NmeaDate date;
    if (!ReadOptionalTime(NmeaField(s, 1), time)) return false;
    const Field day = NmeaField(s, 2), month = NmeaField(s, 3), year = NmeaField(s, 4);
    const bool hasDate = !day.empty() || !month.empty() || !year.empty();
    if (hasDate &&
        (!ReadNmeaInteger(day, 1, 31, date.day) || !ReadNmeaInteger(month, 1, 12, date.month) ||
         year.size() != 4 || !ReadNmeaInteger(year, 1980, 2199, date.year) ||
         !IsValidCalendarDate(date.day, date.month, date.year)))
        return false;
    ApplyTime(time, fix);
    if (hasDate) SetFixDate(fix, date);
    if (HasFixYear(fix)) ComputeFixTime(fix);
    return true;
}

// PGRME: 1 horizontal, 3 vertical, 5 spherical estimated error, metres.
bool DecodePgrme(const NmeaSentence& s, GpsFix& fix) {
    std::optional<double> errors[3];
    for (std::size_t i = 0; i < 3; ++i) {
        if (!ReadOptionalDecimal(NmeaField(s, 1 + 2 * i), 0, kMaxErrorMetres, errors[i]))
            return false;
    }
    fix.horizontalError = errors[0].value_or(0) * kGarminErrorScale;
    fix.verticalError = errors[1].value_or(0) * kGarminErrorScale;
    fix.sphericalError = errors[2].value_or(0) * kGarminErrorScale;
    return true;
}

}  // namespace tarvik
