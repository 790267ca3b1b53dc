// Feeds arbitrary bytes, line by line, to one NMEA parser. Whatever it
// accepts must leave a fix within range; whatever it drops must leave the fix
// exactly as it was.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "gps/NmeaParser.h"

using namespace tarvik;

namespace {

void CheckFix(const GpsFix& fix) {
    TARVIK_FUZZ_CHECK(std::abs(fix.latitude) <= 90.0 && std::abs(fix.longitude) <= 180.0);
    TARVIK_FUZZ_CHECK(fix.mode >= FIX_MODE_NOT_SEEN && fix.mode <= FIX_MODE_3D);
    TARVIK_FUZZ_CHECK(fix.status >= FIX_STATUS_NONE && fix.status <= FIX_STATUS_DIFFERENTIAL);
    TARVIK_FUZZ_CHECK(fix.satellitesUsedCount >= 0 && fix.satellitesUsedCount <= 99);
    TARVIK_FUZZ_CHECK(fix.satellitesInViewCount >= 0 &&
                      fix.satellitesInViewCount <= kGpsChannelCount);
    TARVIK_FUZZ_CHECK(fix.dateTime.hour >= 0 && fix.dateTime.hour < 24);
    for (double value :
         {fix.fixTime, fix.altitude, fix.speed, fix.track, fix.climb, fix.geoidSeparation, fix.pdop,
          fix.hdop, fix.vdop, fix.horizontalError, fix.secondFraction}) {
        TARVIK_FUZZ_CHECK(std::isfinite(value));
    }
    for (const GpsSatellite& sat : SatellitesInView(fix)) {
        TARVIK_FUZZ_CHECK(sat.prn > 0 && sat.elevation >= 0 && sat.elevation <= 90 &&
                          sat.snr <= 99);
    }
    TARVIK_FUZZ_CHECK(DecodeGpsFix(EncodeGpsFix(fix)) == fix);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    CNmeaParser parser;
    GpsFix fix;
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\n'), input.size() - 1);
        const std::string_view line = input.substr(0, end + 1);
        input.remove_prefix(end + 1);
        const GpsFix before = fix;
        const NmeaOutcome outcome = parser.ParseSentence(line, fix);
        if (outcome == NMEA_DROPPED) TARVIK_FUZZ_CHECK(EncodeGpsFix(fix) == EncodeGpsFix(before));
        CheckFix(fix);
    }
    return 0;
}
