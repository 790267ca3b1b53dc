#include "export/RecordPosition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <set>
#include <tuple>

#include "gps/GpsFix.h"

namespace tarvik {
namespace {

bool InRange(double value, double limit) {
    return std::isfinite(value) && std::fabs(value) <= limit;
}

// Heights and errors past this are no reading a receiver gives (a damaged
// or hostile file); they count as unknown rather than fill a row with
// hundreds of digits.
constexpr double kPlausibleMetres = 100000;

double PlausibleOrZero(double value) {
    return InRange(value, kPlausibleMetres) ? value : 0;
}

}  // namespace

std::optional<PositionFacts> ReadPosition(const OptionalPosition& position) {
    if (!position) return std::nullopt;
    const GpsFix fix = DecodeGpsFix(position->fix);
    if (fix.mode < FIX_MODE_2D || !InRange(fix.latitude, 90) || !InRange(fix.longitude, 180))
        return std::nullopt;
    PositionFacts facts;
    facts.latitude = fix.latitude;
    // The same meridian: GPX and KML take longitudes below 180.
    facts.longitude = fix.longitude == 180 ? -180 : fix.longitude;
    facts.altitude = fix.mode == FIX_MODE_3D ? PlausibleOrZero(fix.altitude) : 0;
    facts.accuracy = std::max(0.0, PlausibleOrZero(fix.horizontalError));
    // Times before 1970 or past 9999 are no times a survey has.
    facts.time = fix.fixTime > 0 && fix.fixTime < 253402300800.0 ? fix.fixTime : 0;
    return facts;
}

std::optional<PositionFacts> StrongestPosition(const CBssid& record) {
    if (auto best = ReadPosition(record.PositionAtMaxRssi())) return best;
    return ReadPosition(record.PositionAtMinRssi());
}

std::vector<PositionFacts> ReceiverTrack(const std::vector<BssidRecord>& records) {
    std::vector<PositionFacts> track;
    std::set<std::tuple<double, double, double>> seen;
    for (const BssidRecord& record : records) {
        for (const OptionalPosition* block :
             {&record->PositionAtMinRssi(), &record->PositionAtMaxRssi()}) {
            const std::optional<PositionFacts> facts = ReadPosition(*block);
            if (facts && seen.emplace(facts->time, facts->latitude, facts->longitude).second)
                track.push_back(*facts);
        }
    }
    std::stable_sort(track.begin(), track.end(),
                     [](const PositionFacts& a, const PositionFacts& b) {
                         if ((a.time == 0) != (b.time == 0)) return b.time == 0;
                         return a.time < b.time;
                     });
    return track;
}

std::string UtcTimeText(std::int64_t seconds, bool isoForm) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    char text[32];
    if (::gmtime_r(&time, &utc) == nullptr ||
        std::strftime(text, sizeof text, isoForm ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S",
                      &utc) == 0) {
        return isoForm ? "1970-01-01T00:00:00Z" : "1970-01-01 00:00:00";
    }
    return text;
}

std::optional<std::int64_t> ParseUtcTime(std::string_view text) {
    // Exactly 19 characters: digits where the form has digits.
    constexpr std::string_view kForm = "dddd-dd-dd dd:dd:dd";
    if (text.size() != kForm.size()) return std::nullopt;
    for (std::size_t i = 0; i < kForm.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kForm[i] == 'd' ? !digit : text[i] != kForm[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t width) {
        int value = 0;
        for (std::size_t i = at; i < at + width; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    std::tm utc{};
    utc.tm_year = number(0, 4) - 1900;
    utc.tm_mon = number(5, 2) - 1;
    utc.tm_mday = number(8, 2);
    utc.tm_hour = number(11, 2);
    utc.tm_min = number(14, 2);
    utc.tm_sec = number(17, 2);
    if (utc.tm_mon > 11 || utc.tm_mday < 1 || utc.tm_mday > 31 || utc.tm_hour > 23 ||
        utc.tm_min > 59 || utc.tm_sec > 59) {
        return std::nullopt;
    }
    const int day = utc.tm_mday;
    const std::time_t seconds = ::timegm(&utc);
    // timegm rolls 31 February into March; such a date is malformed.
    if (utc.tm_mday != day) return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

}  // namespace tarvik
