// A GPS position kept by a network record: the receiver's 1376-byte fix
// block, exactly as scan files store it. Held as opaque bytes here; the GPS
// code gives the block its meaning.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tarvik {

inline constexpr std::size_t kGpsFixBlockSize = 1376;
using GpsFixBlock = std::array<std::uint8_t, kGpsFixBlockSize>;

struct PositionSnapshot {
    GpsFixBlock fix{};
    bool operator==(const PositionSnapshot&) const = default;
};

// A position a record may or may not have. The block is immutable and shared:
// the GPS attaches the same snapshot to every record it updates in one tick,
// so a list of 100,000 records costs one block per tick, not one per record,
// and records that never get a position carry only an empty pointer. Reads
// like std::optional; scan files still write one block per position.
class OptionalPosition {
  public:
    OptionalPosition() = default;
    OptionalPosition(std::nullopt_t) {}
    OptionalPosition(const PositionSnapshot& position)
        : position_(std::make_shared<const PositionSnapshot>(position)) {}
    OptionalPosition(const std::optional<PositionSnapshot>& position) {
        if (position) position_ = std::make_shared<const PositionSnapshot>(*position);
    }
    // Shares `position` (null: no position).
    OptionalPosition(std::shared_ptr<const PositionSnapshot> position)
        : position_(std::move(position)) {}

    explicit operator bool() const { return position_ != nullptr; }
    bool has_value() const { return position_ != nullptr; }
    const PositionSnapshot& operator*() const { return *position_; }
    const PositionSnapshot* operator->() const { return position_.get(); }
    void reset() { position_.reset(); }
    // True when both hold the very same block.
    bool SharesBlockWith(const OptionalPosition& other) const {
        return position_ != nullptr && position_ == other.position_;
    }

    friend bool operator==(const OptionalPosition& a, const OptionalPosition& b) {
        if (!a || !b) return !a && !b;
        return a.position_ == b.position_ || *a == *b;
    }

  private:
    std::shared_ptr<const PositionSnapshot> position_;
};

}  // namespace tarvik
