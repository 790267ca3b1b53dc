// The receiver's decoded fix: time, position, motion, fix mode and status,
// dilution of precision, satellites used and in view, error estimates. Scan
// files and network records keep it as a 1376-byte little-endian block
// (networks/PositionSnapshot.h); EncodeGpsFix and DecodeGpsFix convert field
// by field, so the block's layout does not depend on this struct's.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "networks/PositionSnapshot.h"

namespace tarvik {

// Capacity of the satellite tables that the parser fills.
inline constexpr std::int32_t kGpsChannelCount = 12;
// Slots of each satellite table in the block (two more than the parser uses).
inline constexpr std::size_t kGpsSatelliteSlots = 14;
inline constexpr std::size_t kGpsSentenceNameSize = 8;

// Broken-down UTC date and time, as the C library's struct tm counts it.
struct GpsDateTime {
    std::int32_t second = 0;
    std::int32_t minute = 0;
    std::int32_t hour = 0;
    std::int32_t dayOfMonth = 0;
    std::int32_t month = 0;  // 0-11
    std::int32_t yearsSince1900 = 0;
    std::int32_t weekday = 0;
    std::int32_t dayOfYear = 0;
    std::int32_t daylightFlag = 0;
    bool operator==(const GpsDateTime&) const = default;
};

struct GpsSatellite {
    std::int32_t prn = 0;
    std::int32_t elevation = 0;  // degrees
    std::int32_t azimuth = 0;    // degrees
    std::int32_t snr = 0;        // dB-Hz
    bool operator==(const GpsSatellite&) const = default;
};

enum GpsFixMode : std::int32_t {
    FIX_MODE_NOT_SEEN = 0,
    FIX_MODE_NONE = 1,
    FIX_MODE_2D = 2,
    FIX_MODE_3D = 3
};
enum GpsFixStatus : std::int32_t {
    FIX_STATUS_NONE = 0,
    FIX_STATUS_FIX = 1,
    FIX_STATUS_DIFFERENTIAL = 2
};

struct GpsFix {
    std::int32_t channelCount = kGpsChannelCount;
    double fixTime = 0;  // seconds since 1970 UTC, with the fraction
    std::int32_t mode = FIX_MODE_NOT_SEEN;
    double latitude = 0;         // degrees, south negative
    double longitude = 0;        // degrees, west negative
    double horizontalError = 0;  // metres
    double altitude = 0;         // metres above mean sea level
    double verticalError = 0;    // metres
    double track = 0;            // degrees
    double speed = 0;            // metres per second
    double climb = 0;            // metres per second
    double geoidSeparation = 0;  // metres
    std::int32_t status = FIX_STATUS_NONE;
    std::int32_t satellitesUsedCount = 0;
    std::array<std::int32_t, kGpsSatelliteSlots> usedPrns{};
    double pdop = 0;
    double hdop = 0;
    double vdop = 0;
    double sphericalError = 0;  // metres
    std::int32_t satellitesInViewCount = 0;
    std::array<GpsSatellite, kGpsSatelliteSlots> satellitesInView{};
    std::array<char, kGpsSentenceNameSize> lastSentenceName{};
    std::int32_t lastSentenceLength = 0;
    double previousFixTime = 0;
    std::int32_t gsvSentenceNumber = 0;
    std::int32_t gsvSentenceCount = 0;
    GpsDateTime dateTime;
    double secondFraction = 0;

    bool operator==(const GpsFix&) const = default;
};

// The used PRNs and the satellites in view that the tables hold. The counts
// may say more (GGA reports up to 99 satellites used; a block read from a
// file may hold anything), so readers go through these.
std::span<const std::int32_t> UsedPrns(const GpsFix& fix);
std::span<const GpsSatellite> SatellitesInView(const GpsFix& fix);

GpsFixBlock EncodeGpsFix(const GpsFix& fix);
GpsFix DecodeGpsFix(const GpsFixBlock& block);

}  // namespace tarvik
