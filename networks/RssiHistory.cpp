#include "networks/RssiHistory.h"

#include <algorithm>

namespace tarvik {
namespace {

constexpr std::int8_t kNoSampleByte = -128;
// The first allocation and the smallest step: about a minute of samples.
constexpr std::uint32_t kGrowthStep = 64;

std::int8_t EncodeSample(std::optional<std::int32_t> dbm) {
    if (!dbm) return kNoSampleByte;
    return static_cast<std::int8_t>(std::clamp<std::int32_t>(*dbm, -127, 127));
}

}  // namespace

static_assert(kRssiHistoryLimit <= std::numeric_limits<std::uint16_t>::max());

void CRssiHistory::Append(std::optional<std::int32_t> dbm, std::uint32_t maxSamples) {
    maxSamples = std::clamp<std::uint32_t>(maxSamples, 1, kRssiHistoryLimit);
    MakeRoom(maxSamples);
    const std::uint32_t slot = (std::uint32_t{oldest_} + size_) % capacity_;
    ring_[slot] = EncodeSample(dbm);
    ++size_;
}

// Drops the oldest samples down to maxSamples - 1 and makes sure the ring has
// a free slot, growing it by half (at least a step) but never past the limit,
// and shrinking it when the limit was lowered far below what it holds.
void CRssiHistory::MakeRoom(std::uint32_t maxSamples) {
    if (size_ >= maxSamples) {
        const std::uint32_t drop = size_ - (maxSamples - 1);
        oldest_ = static_cast<std::uint16_t>((std::uint32_t{oldest_} + drop) % capacity_);
        size_ = static_cast<std::uint16_t>(size_ - drop);
    }
    if (capacity_ > 2 * maxSamples + kGrowthStep) {
        Reallocate(maxSamples);
        return;
    }
    if (size_ < capacity_) return;
    const std::uint32_t grown =
        std::max<std::uint32_t>(capacity_ + capacity_ / 2, capacity_ + kGrowthStep);
    Reallocate(std::min(grown, maxSamples));
}

void CRssiHistory::Reallocate(std::uint32_t capacity) {
    auto ring = std::make_unique<std::int8_t[]>(capacity);
    for (std::uint32_t i = 0; i < size_; ++i)
        ring[i] = ring_[(std::uint32_t{oldest_} + i) % capacity_];
    ring_ = std::move(ring);
    capacity_ = static_cast<std::uint16_t>(capacity);
    oldest_ = 0;
}

std::optional<std::int32_t> CRssiHistory::At(std::size_t index) const {
    const std::int8_t sample = ring_[(oldest_ + index) % capacity_];
    if (sample == kNoSampleByte) return std::nullopt;
    return sample;
}

std::vector<double> CRssiHistory::Values() const {
    std::vector<double> values;
    values.reserve(size_);
    for (std::size_t i = 0; i < size_; ++i) {
        const std::optional<std::int32_t> sample = At(i);
        values.push_back(sample ? static_cast<double>(*sample) : kNoRssiSample);
    }
    return values;
}

void CRssiHistory::Clear() {
    ring_.reset();
    capacity_ = 0;
    oldest_ = 0;
    size_ = 0;
}

}  // namespace tarvik
