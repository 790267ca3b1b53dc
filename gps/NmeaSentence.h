// One NMEA 0183 sentence checked and split into fields: '$', the address and
// the comma-separated data fields, optionally '*' and two hex digits of XOR
// checksum, optionally CR and/or LF.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "gps/NmeaDropReason.h"

namespace tarvik {

// Longest sentence accepted, '$' to the last checksum digit, line end not
// counted. The standard allows 80; some receivers send a few more.
inline constexpr std::size_t kNmeaMaxSentenceLength = 82;

struct NmeaSentence {
    // Field 0 is the address (e.g. "GPRMC"); views into the caller's text.
    std::vector<std::string_view> fields;
    // Characters from '$' up to, not including, '*' or the line end.
    std::size_t textLength = 0;
    bool hadChecksum = false;
};

// Checks the framing, the characters and, when present, the checksum, then
// splits. Returns DROP_NONE and fills `sentence`, or the reason to drop it.
NmeaDropReason SplitNmeaSentence(std::string_view line, NmeaSentence& sentence);

// A missing field reads as empty.
inline std::string_view NmeaField(const NmeaSentence& sentence, std::size_t index) {
    return index < sentence.fields.size() ? sentence.fields[index] : std::string_view{};
}

}  // namespace tarvik
