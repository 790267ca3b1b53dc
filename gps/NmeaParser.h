// Decodes NMEA 0183 sentences from a GPS receiver into a GpsFix: RMC, GGA,
// GLL, GSA, GSV, ZDA with any two-letter talker, and Garmin's PGRME. VTG,
// PGRMC, PGRMI and PGRMO are recognised and ignored, other types ignored.
// A sentence that is not well formed - bad framing or characters, a wrong or
// cut checksum, a field of the wrong form or out of range - is dropped whole:
// the fix is unchanged, the reason's counter grows and a warning is logged
// (the first few of each reason, then one in every kNmeaDropLogInterval).
// One parser per receiver; not for concurrent use.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "gps/GpsFix.h"
#include "gps/NmeaDropReason.h"
#include "gps/NmeaSentence.h"

namespace tarvik {

inline constexpr std::uint64_t kNmeaDropsLoggedInFull = 5;
inline constexpr std::uint64_t kNmeaDropLogInterval = 1000;

enum NmeaOutcome {
    NMEA_DECODED,  // a recognised sentence was applied to the fix
    NMEA_IGNORED,  // well formed, but of a type that carries nothing used here
    NMEA_DROPPED,  // refused; see LastDropReason
};

class CNmeaParser {
  public:
    // One sentence, '$' first, with or without its line end.
    NmeaOutcome ParseSentence(std::string_view line, GpsFix& fix);

    std::uint64_t DropCount(NmeaDropReason reason) const;
    std::uint64_t TotalDropCount() const;
    std::uint64_t DecodedCount() const { return decoded_; }
    NmeaDropReason LastDropReason() const { return lastDrop_; }

  private:
    NmeaOutcome Drop(NmeaDropReason reason, std::string_view line);

    NmeaSentence sentence_;
    std::array<std::uint64_t, DROP_REASON_COUNT> drops_{};
    std::uint64_t decoded_ = 0;
    NmeaDropReason lastDrop_ = DROP_NONE;
};

}  // namespace tarvik
