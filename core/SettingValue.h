// One 32-bit setting. The record is written on the GUI thread and read from
// others (the event log reads its switches on whichever thread logs), so each
// value is read and written whole, without tearing or data races.
#pragma once

#include <atomic>
#include <cstdint>

namespace tarvik {

class SettingValue {
  public:
    constexpr SettingValue(std::int32_t value = 0) noexcept : value_(value) {}
    SettingValue(const SettingValue& other) noexcept : value_(other.Get()) {}
    SettingValue& operator=(const SettingValue& other) noexcept {
        Set(other.Get());
        return *this;
    }
    SettingValue& operator=(std::int32_t value) noexcept {
        Set(value);
        return *this;
    }
    operator std::int32_t() const noexcept { return Get(); }

    std::int32_t Get() const noexcept { return value_.load(std::memory_order_relaxed); }
    void Set(std::int32_t value) noexcept { value_.store(value, std::memory_order_relaxed); }

  private:
    std::atomic<std::int32_t> value_;
};

}  // namespace tarvik
