// Records, settings and a fixed time zone for the column and sort tests.
#pragma once

#include <stdlib.h>

#include <ctime>
#include <string>
#include <vector>

#include "core/ApplicationOptions.h"
#include "networks/Bssid.h"
#include "networks/NetworkColumns.h"
#include "networks/OuiVendorCache.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik::testing_support {

inline constexpr std::int32_t kRecordTime = 1700000000;  // Tue Nov 14 22:13:20 2023 UTC

// Local time is UTC unless a test chooses a zone (restored afterwards).
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = ::getenv("TZ")) previous_ = old;
        Set(zone);
    }
    ~ScopedTimeZone() { Set(previous_ ? previous_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    static void Set(const char* zone) {
        zone ? ::setenv("TZ", zone, 1) : ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> previous_;
};

// The settings with their defaults, never stored; no vendors known; no
// addresses on the adapter.
struct ColumnEnvironment {
    CApplicationOptions options{nullptr, "/usr/bin/tarvik", "tarvik"};
    OuiVendorCache vendors;
    std::vector<std::string> addresses;
    std::uint32_t scanCounter = 1;

    ColumnContext Context() const {
        return ColumnContext{options, scanCounter, addresses, vendors};
    }
};

inline std::unique_ptr<CBssid> Record(const ndis::BssidEntryFields& fields,
                                      std::uint32_t scanCounter = 1) {
    return std::make_unique<CBssid>(Entry(fields), scanCounter, kRecordTime);
}

// Updates `record` from a sighting of `fields` at `time`.
inline void Update(CBssid& record, const ndis::BssidEntryFields& fields,
                   std::int32_t time = kRecordTime) {
    record.UpdateFromEntry(Entry(fields), time);
}

}  // namespace tarvik::testing_support
