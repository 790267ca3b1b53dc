#include "gps/GpsFix.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tarvik {
namespace {

// Byte offsets of the block's fields; every byte not named here is zero.
enum FixOffset : std::size_t {
    OFF_CHANNEL_COUNT = 0,
    OFF_FIX_TIME = 8,
    OFF_MODE = 16,
    OFF_LATITUDE = 32,
    OFF_LONGITUDE = 40,
    OFF_HORIZONTAL_ERROR = 48,
    OFF_ALTITUDE = 56,
    OFF_VERTICAL_ERROR = 64,
    OFF_TRACK = 72,
    OFF_SPEED = 88,
    OFF_CLIMB = 104,
    OFF_GEOID_SEPARATION = 144,
    OFF_STATUS = 152,
    OFF_USED_COUNT = 156,
    OFF_USED_PRNS = 160,
    OFF_PDOP = 216,
    OFF_HDOP = 224,
    OFF_VDOP = 232,
    OFF_SPHERICAL_ERROR = 256,
    OFF_IN_VIEW_COUNT = 264,
    OFF_IN_VIEW_PRN = 268,
    OFF_IN_VIEW_ELEVATION = 324,
    OFF_IN_VIEW_AZIMUTH = 380,
    OFF_IN_VIEW_SNR = 436,
    OFF_SENTENCE_NAME = 492,
    OFF_SENTENCE_LENGTH = 504,
    OFF_PREVIOUS_FIX_TIME = 512,
    OFF_GSV_NUMBER = 1312,
    OFF_GSV_COUNT = 1316,
    OFF_DATE_TIME = 1320,
    OFF_SECOND_FRACTION = 1360,
};

class BlockWriter {
  public:
    explicit BlockWriter(GpsFixBlock& block) : block_(block) {}
    void PutUint(std::size_t offset, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            block_.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void PutInt32(std::size_t offset, std::int32_t value) {
        PutUint(offset, static_cast<std::uint32_t>(value), 4);
    }
    void PutDouble(std::size_t offset, double value) {
        PutUint(offset, std::bit_cast<std::uint64_t>(value), 8);
    }

  private:
    GpsFixBlock& block_;
};

class BlockReader {
  public:
    explicit BlockReader(const GpsFixBlock& block) : block_(block) {}
    std::uint64_t GetUint(std::size_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= std::uint64_t{block_.at(offset + i)} << (8 * i);
        return value;
    }
    std::int32_t GetInt32(std::size_t offset) const {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(GetUint(offset, 4)));
    }
    double GetDouble(std::size_t offset) const { return std::bit_cast<double>(GetUint(offset, 8)); }

  private:
    const GpsFixBlock& block_;
};

std::array<std::int32_t*, 9> DateTimeFields(GpsDateTime& t) {
    return {&t.second,         &t.minute,  &t.hour,      &t.dayOfMonth,  &t.month,
            &t.yearsSince1900, &t.weekday, &t.dayOfYear, &t.daylightFlag};
}

void EncodeSatellites(BlockWriter& out, const GpsFix& fix) {
    out.PutInt32(OFF_USED_COUNT, fix.satellitesUsedCount);
    out.PutInt32(OFF_IN_VIEW_COUNT, fix.satellitesInViewCount);
    for (std::size_t i = 0; i < kGpsSatelliteSlots; ++i) {
        const GpsSatellite& sat = fix.satellitesInView[i];
        out.PutInt32(OFF_USED_PRNS + 4 * i, fix.usedPrns[i]);
        out.PutInt32(OFF_IN_VIEW_PRN + 4 * i, sat.prn);
        out.PutInt32(OFF_IN_VIEW_ELEVATION + 4 * i, sat.elevation);
        out.PutInt32(OFF_IN_VIEW_AZIMUTH + 4 * i, sat.azimuth);
        out.PutInt32(OFF_IN_VIEW_SNR + 4 * i, sat.snr);
    }
}

void DecodeSatellites(const BlockReader& in, GpsFix& fix) {
    fix.satellitesUsedCount = in.GetInt32(OFF_USED_COUNT);
    fix.satellitesInViewCount = in.GetInt32(OFF_IN_VIEW_COUNT);
    for (std::size_t i = 0; i < kGpsSatelliteSlots; ++i) {
        GpsSatellite& sat = fix.satellitesInView[i];
        fix.usedPrns[i] = in.GetInt32(OFF_USED_PRNS + 4 * i);
        sat.prn = in.GetInt32(OFF_IN_VIEW_PRN + 4 * i);
        sat.elevation = in.GetInt32(OFF_IN_VIEW_ELEVATION + 4 * i);
        sat.azimuth = in.GetInt32(OFF_IN_VIEW_AZIMUTH + 4 * i);
        sat.snr = in.GetInt32(OFF_IN_VIEW_SNR + 4 * i);
    }
}

std::size_t ClampedCount(std::int32_t count) {
    return static_cast<std::size_t>(std::clamp<std::int32_t>(count, 0, kGpsSatelliteSlots));
}

}  // namespace

std::span<const std::int32_t> UsedPrns(const GpsFix& fix) {
    return std::span(fix.usedPrns).first(ClampedCount(fix.satellitesUsedCount));
}

std::span<const GpsSatellite> SatellitesInView(const GpsFix& fix) {
    return std::span(fix.satellitesInView).first(ClampedCount(fix.satellitesInViewCount));
}

GpsFixBlock EncodeGpsFix(const GpsFix& fix) {
    GpsFixBlock block{};
    BlockWriter out(block);
    out.PutInt32(OFF_CHANNEL_COUNT, fix.channelCount);
    out.PutDouble(OFF_FIX_TIME, fix.fixTime);
    out.PutInt32(OFF_MODE, fix.mode);
    out.PutDouble(OFF_LATITUDE, fix.latitude);
    out.PutDouble(OFF_LONGITUDE, fix.longitude);
    out.PutDouble(OFF_HORIZONTAL_ERROR, fix.horizontalError);
    out.PutDouble(OFF_ALTITUDE, fix.altitude);
    out.PutDouble(OFF_VERTICAL_ERROR, fix.verticalError);
    out.PutDouble(OFF_TRACK, fix.track);
    out.PutDouble(OFF_SPEED, fix.speed);
    out.PutDouble(OFF_CLIMB, fix.climb);
    out.PutDouble(OFF_GEOID_SEPARATION, fix.geoidSeparation);
    out.PutInt32(OFF_STATUS, fix.status);
    out.PutDouble(OFF_PDOP, fix.pdop);
    out.PutDouble(OFF_HDOP, fix.hdop);
    out.PutDouble(OFF_VDOP, fix.vdop);
    out.PutDouble(OFF_SPHERICAL_ERROR, fix.sphericalError);
    EncodeSatellites(out, fix);
    std::memcpy(block.data() + OFF_SENTENCE_NAME, fix.lastSentenceName.data(),
                kGpsSentenceNameSize);
    out.PutInt32(OFF_SENTENCE_LENGTH, fix.lastSentenceLength);
    out.PutDouble(OFF_PREVIOUS_FIX_TIME, fix.previousFixTime);
    out.PutInt32(OFF_GSV_NUMBER, fix.gsvSentenceNumber);
    out.PutInt32(OFF_GSV_COUNT, fix.gsvSentenceCount);
    GpsDateTime dateTime = fix.dateTime;
    const auto fields = DateTimeFields(dateTime);
    for (std::size_t i = 0; i < fields.size(); ++i) out.PutInt32(OFF_DATE_TIME + 4 * i, *fields[i]);
    out.PutDouble(OFF_SECOND_FRACTION, fix.secondFraction);
    return block;
}

GpsFix DecodeGpsFix(const GpsFixBlock& block) {
    GpsFix fix;
    const BlockReader in(block);
    fix.channelCount = in.GetInt32(OFF_CHANNEL_COUNT);
    fix.fixTime = in.GetDouble(OFF_FIX_TIME);
    fix.mode = in.GetInt32(OFF_MODE);
    fix.latitude = in.GetDouble(OFF_LATITUDE);
    fix.longitude = in.GetDouble(OFF_LONGITUDE);
    fix.horizontalError = in.GetDouble(OFF_HORIZONTAL_ERROR);
    fix.altitude = in.GetDouble(OFF_ALTITUDE);
    fix.verticalError = in.GetDouble(OFF_VERTICAL_ERROR);
    fix.track = in.GetDouble(OFF_TRACK);
    fix.speed = in.GetDouble(OFF_SPEED);
    fix.climb = in.GetDouble(OFF_CLIMB);
    fix.geoidSeparation = in.GetDouble(OFF_GEOID_SEPARATION);
    fix.status = in.GetInt32(OFF_STATUS);
    fix.pdop = in.GetDouble(OFF_PDOP);
    fix.hdop = in.GetDouble(OFF_HDOP);
    fix.vdop = in.GetDouble(OFF_VDOP);
    fix.sphericalError = in.GetDouble(OFF_SPHERICAL_ERROR);
    DecodeSatellites(in, fix);
    std::memcpy(fix.lastSentenceName.data(), block.data() + OFF_SENTENCE_NAME,
                kGpsSentenceNameSize);
    fix.lastSentenceLength = in.GetInt32(OFF_SENTENCE_LENGTH);
    fix.previousFixTime = in.GetDouble(OFF_PREVIOUS_FIX_TIME);
    fix.gsvSentenceNumber = in.GetInt32(OFF_GSV_NUMBER);
    fix.gsvSentenceCount = in.GetInt32(OFF_GSV_COUNT);
    const auto fields = DateTimeFields(fix.dateTime);
    for (std::size_t i = 0; i < fields.size(); ++i) *fields[i] = in.GetInt32(OFF_DATE_TIME + 4 * i);
    fix.secondFraction = in.GetDouble(OFF_SECOND_FRACTION);
    return fix;
}

}  // namespace tarvik
