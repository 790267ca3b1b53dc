// A network's signal history for the graph: one sample a second, oldest
// first, at most a given number of them.
//
// A survey keeps hundreds of thousands of records, each with up to 20000
// samples, so a sample is one signed byte in a ring: dBm clamped to
// -127..127, with -128 meaning "no sample" (the network was out of range or
// scanning was off). Storage is allocated with the first sample and grows in
// steps up to the limit; an empty history costs one pointer and three
// 16-bit counters.
//
// Main thread only, like the record that owns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace tarvik {

// The most samples a history keeps, whatever the settings say (the Options
// dialog's upper limit).
inline constexpr std::uint32_t kRssiHistoryLimit = 20000;

// What Values() gives for a moment without a sample.
inline constexpr double kNoRssiSample = std::numeric_limits<double>::quiet_NaN();
inline bool IsNoRssiSample(double value) {
    return value != value;
}

class CRssiHistory {
  public:
    CRssiHistory() = default;
    CRssiHistory(const CRssiHistory&) = delete;
    CRssiHistory& operator=(const CRssiHistory&) = delete;

    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    // Samples kept in memory (at least Size()).
    std::size_t Capacity() const { return capacity_; }

    // Drops the oldest samples while there are at least `maxSamples` (taken
    // as 1..kRssiHistoryLimit), then appends a sample in dBm or, without
    // one, the "no sample" marker.
    void Append(std::optional<std::int32_t> dbm, std::uint32_t maxSamples);
    // The sample `index` places from the oldest; nullopt for "no sample".
    // `index` must be below Size().
    std::optional<std::int32_t> At(std::size_t index) const;
    // Every sample, oldest first, as doubles; kNoRssiSample where none.
    std::vector<double> Values() const;
    void Clear();

  private:
    void MakeRoom(std::uint32_t maxSamples);
    void Reallocate(std::uint32_t capacity);

    std::unique_ptr<std::int8_t[]> ring_;
    std::uint16_t capacity_ = 0;
    std::uint16_t oldest_ = 0;
    std::uint16_t size_ = 0;
};

}  // namespace tarvik
