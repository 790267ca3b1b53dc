// Strict readers of single NMEA 0183 fields. Each accepts only the field's
// documented form within its documented range and reports false otherwise,
// leaving the output untouched; an empty field is the caller's to handle.
#pragma once

#include <string_view>

namespace tarvik {

// Longest numeric field accepted, in characters.
inline constexpr std::size_t kNmeaMaxNumberLength = 16;

// [-]digits[.digits] or [-].digits, at most kNmeaMaxNumberLength characters.
bool ReadNmeaDecimal(std::string_view field, double& value);
// A decimal within [minimum, maximum].
bool ReadNmeaDecimalInRange(std::string_view field, double minimum, double maximum, double& value);
// Unsigned digits only (leading zeros allowed), within [minimum, maximum].
bool ReadNmeaInteger(std::string_view field, int minimum, int maximum, int& value);

struct NmeaTimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;  // 0-60, 60 being a leap second
    double fraction = 0;
};
// hhmmss[.s...]
bool ReadNmeaTime(std::string_view field, NmeaTimeOfDay& time);

struct NmeaDate {
    int day = 0;    // 1-31, valid for the month
    int month = 0;  // 1-12
    int year = 0;   // full year
};
// ddmmyy, the year taken as 2000 + yy; the day must exist in that month.
bool ReadNmeaDate(std::string_view field, NmeaDate& date);
// A day of month that exists in `month` (1-12) of `year`.
bool IsValidCalendarDate(int day, int month, int year);

// dddmm.mmmm with its hemisphere letter ('N'/'S' for a latitude, 'E'/'W' for
// a longitude) to signed degrees; minutes below 60, degrees within +-90 or
// +-180.
bool ReadNmeaCoordinate(std::string_view value, std::string_view hemisphere, bool isLatitude,
                        double& degrees);

}  // namespace tarvik
