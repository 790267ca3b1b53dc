#include "tools/gpssim/NmeaOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvik::gpssim {
namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;
constexpr std::size_t kSatellitesPerGsv = 4;

std::string Printf(const char* format, auto... values) {
    char text[128];
    const int length = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, length < 0 ? 0 : std::min<std::size_t>(length, sizeof text - 1));
}

// Whole degrees and minutes scaled by 10000, carried so minutes stay below 60.
std::string FormatAngle(double degrees, int degreeDigits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    long long tenThousandths = std::llround(magnitude * 60.0 * 10000.0);
    const long long whole = tenThousandths / (60 * 10000);
    tenThousandths -= whole * 60 * 10000;
    return Printf("%0*lld%02lld.%04lld,%c", degreeDigits, whole, tenThousandths / 10000,
                  tenThousandths % 10000, degrees < 0 ? negative : positive);
}

std::tm BrokenDown(std::time_t utc) {
    std::tm parts{};
    gmtime_r(&utc, &parts);
    return parts;
}

std::string BuildGga(const SimEpoch& e, int used) {
    if (!e.fix) return FrameSentence("GPGGA," + FormatNmeaTime(e.utc) + ",,,,,0,00,,,M,,M,,");
    return FrameSentence("GPGGA," + FormatNmeaTime(e.utc) + "," + FormatLatitude(e.latitude) + "," +
                         FormatLongitude(e.longitude) + Printf(",1,%02d,%.1f,", used, e.hdop) +
                         Printf("%.1f,M,%.1f,M,,", e.altitude, e.geoidSeparation));
}

std::string BuildRmc(const SimEpoch& e) {
    const std::string time = FormatNmeaTime(e.utc);
    const std::string date = FormatNmeaDate(e.utc);
    if (!e.fix) return FrameSentence("GPRMC," + time + ",V,,,,,,," + date + ",,,N");
    return FrameSentence(
        "GPRMC," + time + ",A," + FormatLatitude(e.latitude) + "," + FormatLongitude(e.longitude) +
        Printf(",%.1f,%.1f,", e.speed * kKnotsPerMetrePerSecond, e.course) + date + ",,,A");
}

std::string BuildGsa(const SimEpoch& e) {
    std::string body = e.fix ? "GPGSA,A,3" : "GPGSA,A,1";
    int slots = 0;
    for (const SimSatellite& s : e.satellites) {
        if (!e.fix || !s.used || slots == 12) continue;
        body += Printf(",%02d", s.prn);
        ++slots;
    }
    for (; slots < 12; ++slots) body += ",";
    if (!e.fix) return FrameSentence(body + ",,,");
    return FrameSentence(body + Printf(",%.1f,%.1f,%.1f", e.pdop, e.hdop, e.vdop));
}

std::vector<std::string> BuildGsv(const SimEpoch& e) {
    const std::size_t count = e.satellites.size();
    const std::size_t groups = count == 0 ? 1 : (count + kSatellitesPerGsv - 1) / kSatellitesPerGsv;
    std::vector<std::string> sentences;
    for (std::size_t g = 0; g < groups; ++g) {
        std::string body = Printf("GPGSV,%zu,%zu,%02zu", groups, g + 1, count);
        for (std::size_t i = g * kSatellitesPerGsv;
             i < std::min(count, (g + 1) * kSatellitesPerGsv); ++i) {
            const SimSatellite& s = e.satellites[i];
            body += Printf(",%02d,%02d,%03d,", s.prn, s.elevation, s.azimuth);
            if (s.snr > 0) body += Printf("%02d", s.snr);
        }
        sentences.push_back(FrameSentence(body));
    }
    return sentences;
}

}  // namespace

std::uint8_t NmeaChecksum(std::string_view body) {
    std::uint8_t sum = 0;
    for (char c : body) sum ^= static_cast<std::uint8_t>(c);
    return sum;
}

std::string FrameSentence(std::string_view body) {
    // Filled in place: gcc 12's optimiser warns falsely about "$" + string.
    std::string sentence;
    sentence.reserve(body.size() + 6);
    sentence += '$';
    sentence += body;
    sentence += Printf("*%02X\r\n", NmeaChecksum(body));
    return sentence;
}

std::string FormatLatitude(double degrees) {
    return FormatAngle(degrees, 2, 'N', 'S');
}
std::string FormatLongitude(double degrees) {
    return FormatAngle(degrees, 3, 'E', 'W');
}

std::string FormatNmeaTime(std::time_t utc) {
    const std::tm t = BrokenDown(utc);
    return Printf("%02d%02d%02d.00", t.tm_hour, t.tm_min, t.tm_sec);
}

std::string FormatNmeaDate(std::time_t utc) {
    const std::tm t = BrokenDown(utc);
    return Printf("%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
}

std::vector<std::string> BuildEpochSentences(const SimEpoch& epoch) {
    int used = 0;
    for (const SimSatellite& s : epoch.satellites) used += s.used ? 1 : 0;
    std::vector<std::string> sentences{BuildGga(epoch, used), BuildRmc(epoch), BuildGsa(epoch)};
    for (std::string& gsv : BuildGsv(epoch)) sentences.push_back(std::move(gsv));
    return sentences;
}

}  // namespace tarvik::gpssim
