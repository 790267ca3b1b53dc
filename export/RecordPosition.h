// What the export formats read from a record's position blocks, and the time
// texts they write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "networks/NetworkList.h"
#include "networks/PositionSnapshot.h"

namespace tarvik {

struct PositionFacts {
    double latitude = 0;   // degrees, south negative
    double longitude = 0;  // degrees, west negative
    double altitude = 0;   // metres above mean sea level
    double accuracy = 0;   // metres (the receiver's horizontal error), 0 unknown
    double time = 0;       // seconds since 1970 UTC, 0 unknown
};

// The facts of a block, or nullopt when it holds no usable position (no
// fix, or a latitude or longitude out of range or not a number).
std::optional<PositionFacts> ReadPosition(const OptionalPosition& position);

// Where the network was heard best: the position at the strongest signal,
// else (a record from an older file has only this one) at the weakest.
std::optional<PositionFacts> StrongestPosition(const CBssid& record);

// The receiver's positions that the records hold, each once, oldest first;
// those without a time keep the order in which they were found, after the
// others.
std::vector<PositionFacts> ReceiverTrack(const std::vector<BssidRecord>& records);

// "YYYY-MM-DD HH:MM:SS" (`isoForm` false) or "YYYY-MM-DDTHH:MM:SSZ" in UTC.
std::string UtcTimeText(std::int64_t seconds, bool isoForm);
// Reads "YYYY-MM-DD HH:MM:SS" as UTC; nullopt when malformed.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);

}  // namespace tarvik
