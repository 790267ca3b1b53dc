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

// A position a record may or may not have, kept on the heap: most records
// never get one, and a list of 100,000 records would otherwise carry two
// empty fix blocks each. Reads like std::optional.
class OptionalPosition {
  public:
    OptionalPosition() = default;
    OptionalPosition(std::nullopt_t) {}
    OptionalPosition(const PositionSnapshot& position)
        : position_(std::make_unique<PositionSnapshot>(position)) {}
    OptionalPosition(const std::optional<PositionSnapshot>& position) {
        if (position) position_ = std::make_unique<PositionSnapshot>(*position);
    }
    OptionalPosition(const OptionalPosition& other)
        : position_(other ? std::make_unique<PositionSnapshot>(*other) : nullptr) {}
    OptionalPosition(OptionalPosition&&) noexcept = default;
    OptionalPosition& operator=(OptionalPosition other) noexcept {
        position_.swap(other.position_);
        return *this;
    }

    explicit operator bool() const { return position_ != nullptr; }
    bool has_value() const { return position_ != nullptr; }
    const PositionSnapshot& operator*() const { return *position_; }
    const PositionSnapshot* operator->() const { return position_.get(); }
    void reset() { position_.reset(); }

    friend bool operator==(const OptionalPosition& a, const OptionalPosition& b) {
        if (!a || !b) return !a && !b;
        return *a == *b;
    }

  private:
    std::unique_ptr<PositionSnapshot> position_;
};

}  // namespace tarvik
