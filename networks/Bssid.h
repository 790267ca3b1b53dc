// CBssid: the network record of one BSSID. Keeps the latest scan entry as
// the adapter delivered it, plus what is learnt over time: first and last
// sighting, the last scan that matched it, signal statistics and history,
// the decoded WPA/RSN summary, connection status, the hopping exclusion and
// GPS positions at the weakest and strongest signal.
//
// Records live on the main thread, except the vendor text, which an OUI
// lookup's worker thread may set while the main thread reads it; it has its
// own lock. The network list owns the scan counter; operations that depend on
// it take its current value as a parameter.
//
// A record without a scan entry (after a failed copy, or built empty for a
// scan file) classifies as nothing: every classification is false, the
// security class -1, the score 0, and it matches no entry.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "connect/CipherChoice.h"
#include "connect/SecurityElement.h"
#include "ndis/BssidEntry.h"
#include "networks/Archive.h"
#include "networks/ColumnTextCache.h"
#include "networks/PositionSnapshot.h"
#include "networks/RssiHistory.h"

namespace tarvik {

// Connection status of a record, shown in the table.
inline constexpr std::uint32_t STATUS_UNAVAILABLE = 0;
inline constexpr std::uint32_t STATUS_CONNECTING = 1;
inline constexpr std::uint32_t STATUS_CONNECTED = 2;
inline constexpr std::uint32_t STATUS_CONNECTED_MANUAL = 3;
inline constexpr std::uint32_t STATUS_CONNECTED_INVALID_IP = 4;
inline constexpr std::uint32_t STATUS_DISCONNECTING = 5;
inline constexpr std::uint32_t STATUS_NOT_CONNECTED = 6;
inline constexpr std::uint32_t STATUS_NOT_DETECTED = 7;

// Security classes; tested in this order.
inline constexpr int SECURITY_CLASS_NONE = -1;
inline constexpr int SECURITY_CLASS_OPEN = 1;
inline constexpr int SECURITY_CLASS_WEP = 2;
inline constexpr int SECURITY_CLASS_WPA = 3;
inline constexpr int SECURITY_CLASS_WPA2 = 4;

// Entries longer than this are suspicious (logged) but still taken whole.
inline constexpr std::uint32_t kLargeEntryLength = 10000;
// Seconds since 1970-01-01 UTC, as a record stores them.
std::int32_t CurrentRecordTime();

class CBssid {
  public:
    // All fields at their initial values; no entry (for reading a scan file).
    CBssid() = default;
    // Built from a scan entry seen in the scan numbered `scanCounter`.
    CBssid(const ndis::BssidEntry& entry, std::uint32_t scanCounter,
           std::int32_t now = CurrentRecordTime());

    CBssid(const CBssid&) = delete;
    CBssid& operator=(const CBssid&) = delete;

    // True when the record has an entry with the same MAC address; then also
    // stamps lastSeenScan with `scanCounter`. No match changes nothing.
    bool MatchesEntry(const ndis::BssidEntry& entry, std::uint32_t scanCounter);

    // Takes a fresh scan entry: times, signal statistics, security summary.
    // False only when the copy cannot be allocated; the record then has no
    // entry until the next successful update.
    bool UpdateFromEntry(const ndis::BssidEntry& entry, std::int32_t now = CurrentRecordTime());

    // Writes or reads the record, by the archive's direction: 0 or -1. A
    // failed read leaves the record partly read and logs why, except when the
    // input ran out: that is the archive's failed state, which a stored entry
    // length beyond the input or below the fixed part also sets.
    int Serialize(Archive& archive);

    // The latest scan entry, or nullptr.
    const ndis::BssidEntry* Entry() const { return entry_ ? &*entry_ : nullptr; }

    std::uint32_t LastSeenScan() const { return lastSeenScan_; }
    void SetLastSeenScan(std::uint32_t scan) { lastSeenScan_ = scan; }
    std::int32_t FirstSeen() const { return firstSeen_; }
    std::int32_t LastSeen() const { return lastSeen_; }
    std::int32_t RssiMin() const { return rssiMin_; }
    std::int32_t RssiMax() const { return rssiMax_; }
    std::int32_t RssiAverage() const { return rssiAverage_; }

    std::uint32_t ConnectionStatus() const { return connectionStatus_; }
    void SetConnectionStatus(std::uint32_t status) { connectionStatus_ = status; }
    bool IsConnecting() const { return connectionStatus_ == STATUS_CONNECTING; }
    bool IsConnected() const;

    const SecurityElementInfo& Security() const { return security_; }
    bool HasSecurityElement() const { return hasSecurityElement_; }
    // Privacy, decoded flag and summary for the classification rules; an
    // absent entry reads as a Privacy that is neither open nor private.
    NetworkSecurity SecuritySummary() const;

    bool IsOpen() const { return entry_ && IsOpenNetwork(SecuritySummary()); }
    bool IsWep() const { return entry_ && IsWepNetwork(SecuritySummary()); }
    bool IsWpa() const { return entry_ && IsWpaNetwork(SecuritySummary()); }
    bool IsWpa2() const { return entry_ && IsWpa2Network(SecuritySummary()); }
    bool IsKeyManagementSupported() const;
    int SecurityClass() const;

    bool Is80211a() const;
    bool Is80211b() const;
    bool Is80211g() const;

    // 0-100 (not clamped above); see the .cpp for the formula.
    int Score(std::uint32_t scanCounter) const;

    bool NotSuitableForHopping() const { return notSuitableForHopping_; }
    void SetNotSuitableForHopping(bool value) { notSuitableForHopping_ = value; }
    void ToggleNotSuitableForHopping() { notSuitableForHopping_ = !notSuitableForHopping_; }

    // Thread-safe.
    std::string VendorText() const;
    void SetVendorText(std::string text);
    // Calls update(std::string& vendorText) under the vendor lock, so that a
    // lookup's worker thread cannot slip in between reading and replacing it.
    template <class Update>
    void UpdateVendorText(Update&& update) {
        std::lock_guard<std::mutex> lock(vendorMutex_);
        update(vendorText_);
    }

    // The table's texts of this record (NetworkColumns.h rebuilds them).
    // Made on first use: most records of a large survey are never painted,
    // and an empty cache costs as much as the rest of the record.
    ColumnTextCache& TextCache() {
        if (!textCache_) textCache_ = std::make_unique<ColumnTextCache>();
        return *textCache_;
    }
    const ColumnTextCache& TextCache() const {
        static const ColumnTextCache kNoTexts;
        return textCache_ ? *textCache_ : kNoTexts;
    }

    // Signal history for the graph, oldest first.
    const CRssiHistory& RssiHistory() const { return rssiHistory_; }
    // Drops the oldest samples while there are at least `maxSamples`, then
    // appends `dbm` (nullopt: no sample).
    void AppendRssiSample(std::optional<std::int32_t> dbm, std::uint32_t maxSamples) {
        rssiHistory_.Append(dbm, maxSamples);
    }
    // One sampling step of the graph: the current RSSI, or no sample while
    // scanning is off, the network is not detected or there is no entry.
    void SampleRssi(bool scanning, std::uint32_t maxSamples);

    const OptionalPosition& PositionAtMinRssi() const { return positionAtMinRssi_; }
    const OptionalPosition& PositionAtMaxRssi() const { return positionAtMaxRssi_; }
    void SetPositionAtMinRssi(OptionalPosition p) { positionAtMinRssi_ = std::move(p); }
    void SetPositionAtMaxRssi(OptionalPosition p) { positionAtMaxRssi_ = std::move(p); }

  private:
    void UpdateSignal(std::int32_t rssi);
    void DecodeSecurityElements();
    void Store(Archive& archive) const;
    int Load(Archive& archive);
    bool LoadEntry(Archive& archive);

    CRssiHistory rssiHistory_;
    OptionalPosition positionAtMinRssi_;
    OptionalPosition positionAtMaxRssi_;
    std::uint32_t lastSeenScan_ = 0;
    std::int32_t firstSeen_ = 0;
    std::int32_t lastSeen_ = 0;
    std::int32_t rssiMin_ = 0;
    std::int32_t rssiMax_ = -200;
    std::int32_t rssiAverage_ = 0;  // 0: no sample yet
    std::optional<ndis::BssidEntry> entry_;
    std::uint32_t connectionStatus_ = STATUS_UNAVAILABLE;
    SecurityElementInfo security_;
    bool hasSecurityElement_ = false;
    bool notSuitableForHopping_ = false;

    mutable std::mutex vendorMutex_;
    std::string vendorText_;

    std::unique_ptr<ColumnTextCache> textCache_;
};

}  // namespace tarvik
