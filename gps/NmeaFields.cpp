#include "gps/NmeaFields.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace tarvik {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (!IsDigit(c)) return false;
    }
    return !text.empty();
}

int TwoDigits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

}  // namespace

bool ReadNmeaDecimal(std::string_view field, double& value) {
    if (field.empty() || field.size() > kNmeaMaxNumberLength) return false;
    std::string_view digits = field;
    if (digits.front() == '-') digits.remove_prefix(1);
    const std::size_t point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : digits.substr(point + 1);
    if (whole.empty() && fraction.empty()) return false;
    if ((!whole.empty() && !AllDigits(whole)) || (!fraction.empty() && !AllDigits(fraction)))
        return false;
    // The field is bounded and checked, so strtod reads all of it.
    value = std::strtod(std::string(field).c_str(), nullptr);
    return std::isfinite(value);
}

bool ReadNmeaDecimalInRange(std::string_view field, double minimum, double maximum, double& value) {
    double read = 0;
    if (!ReadNmeaDecimal(field, read) || read < minimum || read > maximum) return false;
    value = read;
    return true;
}

bool ReadNmeaInteger(std::string_view field, int minimum, int maximum, int& value) {
    if (!AllDigits(field) || field.size() > 9) return false;
    const int read = std::atoi(std::string(field).c_str());
    if (read < minimum || read > maximum) return false;
    value = read;
    return true;
}

bool ReadNmeaTime(std::string_view field, NmeaTimeOfDay& time) {
    if (field.size() < 6 || !AllDigits(field.substr(0, 6))) return false;
    if (field.size() > 6 && field[6] != '.') return false;
    double seconds = 0;
    if (!ReadNmeaDecimal(field.substr(4), seconds) || field.substr(4).front() == '-') return false;
    NmeaTimeOfDay read{TwoDigits(field, 0), TwoDigits(field, 2), TwoDigits(field, 4), 0};
    read.fraction = seconds - read.second;
    if (read.hour > 23 || read.minute > 59 || read.second > 60) return false;
    time = read;
    return true;
}

bool IsValidCalendarDate(int day, int month, int year) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int length = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= length;
}

bool ReadNmeaDate(std::string_view field, NmeaDate& date) {
    if (field.size() != 6 || !AllDigits(field)) return false;
    const NmeaDate read{TwoDigits(field, 0), TwoDigits(field, 2), 2000 + TwoDigits(field, 4)};
    if (!IsValidCalendarDate(read.day, read.month, read.year)) return false;
    date = read;
    return true;
}

bool ReadNmeaCoordinate(std::string_view value, std::string_view hemisphere, bool isLatitude,
                        double& degrees) {
    const double limit = isLatitude ? 90.0 : 180.0;
    const char positive = isLatitude ? 'N' : 'E';
    const char negative = isLatitude ? 'S' : 'W';
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative))
        return false;
    double raw = 0;
    if (!ReadNmeaDecimalInRange(value, 0.0, limit * 100.0, raw)) return false;
    const double whole = std::floor(raw / 100.0);
    const double minutes = raw - whole * 100.0;
    const double result = whole + minutes / 60.0;
    if (minutes >= 60.0 || result > limit) return false;
    degrees = hemisphere[0] == negative ? -result : result;
    return true;
}

}  // namespace tarvik
