// Why the NMEA parser refused a sentence; one counter per reason.
#pragma once

namespace tarvik {

enum NmeaDropReason {
    DROP_NONE = 0,
    DROP_NOT_A_SENTENCE,  // does not start with '$' or has no address
    DROP_TOO_LONG,        // over kNmeaMaxSentenceLength characters
    DROP_BAD_CHARACTER,   // a control or non-ASCII byte (NUL included) inside the text
    DROP_BAD_CHECKSUM,    // '*' not followed by exactly two hex digits of the right sum
    DROP_BAD_FIELD,       // a field of the wrong form or out of range
    DROP_REASON_COUNT
};

// Short English name of the reason, for log lines and status displays.
const char* NmeaDropReasonName(NmeaDropReason reason);

}  // namespace tarvik
