#include "gps/GpsFixTime.h"

#include <ctime>

namespace tarvik {
namespace {

std::tm ToTm(const GpsDateTime& t) {
    std::tm tm{};
    tm.tm_sec = t.second;
    tm.tm_min = t.minute;
    tm.tm_hour = t.hour;
    tm.tm_mday = t.dayOfMonth;
    tm.tm_mon = t.month;
    tm.tm_year = t.yearsSince1900;
    tm.tm_isdst = 0;
    return tm;
}

GpsDateTime FromTm(const std::tm& tm) {
    return {tm.tm_sec,  tm.tm_min,  tm.tm_hour, tm.tm_mday, tm.tm_mon,
            tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst};
}

// Carries a day past the month's end into the next month (and year).
void NormaliseDate(GpsDateTime& t) {
    std::tm tm = ToTm(t);
    if (::timegm(&tm) == static_cast<std::time_t>(-1)) return;
    t.dayOfMonth = tm.tm_mday;
    t.month = tm.tm_mon;
    t.yearsSince1900 = tm.tm_year;
}

}  // namespace

void SetFixTimeOfDay(GpsFix& fix, const NmeaTimeOfDay& time) {
    if (time.hour < fix.dateTime.hour) {
        ++fix.dateTime.dayOfMonth;
        if (HasFixYear(fix)) NormaliseDate(fix.dateTime);
    }
    fix.dateTime.hour = time.hour;
    fix.dateTime.minute = time.minute;
    fix.dateTime.second = time.second;
    fix.secondFraction = time.fraction;
}

void SetFixDate(GpsFix& fix, const NmeaDate& date) {
    fix.dateTime.dayOfMonth = date.day;
    fix.dateTime.month = date.month - 1;
    fix.dateTime.yearsSince1900 = date.year - 1900;
}

bool HasFixYear(const GpsFix& fix) {
    return fix.dateTime.yearsSince1900 != 0;
}

void ComputeFixTime(GpsFix& fix) {
    // The receiver's time is UTC, so the conversion must not apply the local zone.
    std::tm tm = ToTm(fix.dateTime);
    const std::time_t seconds = ::timegm(&tm);
    if (seconds == static_cast<std::time_t>(-1)) return;
    fix.dateTime = FromTm(tm);
    const double fixTime = static_cast<double>(seconds) + fix.secondFraction;
    if (fixTime != fix.fixTime) fix.previousFixTime = fix.fixTime;
    fix.fixTime = fixTime;
}

}  // namespace tarvik
