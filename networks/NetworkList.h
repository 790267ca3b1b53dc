// The network list: every network record detected since start-up or brought
// in from a scan file, in the order in which they first appeared, and the
// scan counter that measures their age in scans.
//
// Records are shared (std::shared_ptr): the list holds one reference each,
// table rows, snapshots and other parts (the network being connected, an open
// signal graph) may hold more, so a record taken out of the list stays alive
// for as long as anyone still uses it.
//
// Threads: the main thread changes the list and reads it freely. Any other
// thread (the receive thread looking up the connected network) uses only the
// members marked thread-safe. Every change of the sequence, of the MAC index
// and of a listed record's scan entry happens under the exclusive lock, which
// those members take shared. Callers therefore change a listed record's scan
// entry only through this class (Merge...).
//
// Matching is by MAC address through a hash index that maps each address to
// the earliest record in list order that carries it, so "first match in list
// order wins" holds even when two records share an address (after a scan
// file brought in a duplicate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ndis/BssidEntry.h"
#include "ndis/NdisTypes.h"
#include "networks/Bssid.h"

namespace tarvik {

using BssidRecord = std::shared_ptr<CBssid>;
// A copy of the sequence of references; the records themselves are shared.
using NetworkSnapshot = std::vector<BssidRecord>;

// What a look-up from another thread gets: the record (for identity) and a
// copy of its scan entry taken while the list could not change it.
struct NetworkLookup {
    BssidRecord record;
    ndis::BssidEntry entry;
};

class CNetworkList {
  public:
    using Clock = std::function<std::int32_t()>;

    CNetworkList();
    CNetworkList(const CNetworkList&) = delete;
    CNetworkList& operator=(const CNetworkList&) = delete;

    // Seconds since 1970 for firstSeen/lastSeen; the wall clock by default.
    void SetClock(Clock clock);

    std::uint32_t ScanCounter() const { return scanCounter_; }
    // Opening a scan file sets the counter from the file.
    void SetScanCounter(std::uint32_t counter) { scanCounter_ = counter; }
    // Scans since the record last matched (unsigned 32-bit difference).
    std::uint32_t AgeOf(const CBssid& record) const { return scanCounter_ - record.LastSeenScan(); }

    std::size_t Size() const { return records_.size(); }
    bool Empty() const { return records_.empty(); }
    // Main thread: the records in list order.
    const std::vector<BssidRecord>& Records() const { return records_; }
    // Thread-safe.
    NetworkSnapshot Snapshot() const;

    // Merges one OID_802_11_BSSID_LIST reply (exactly the bytes returned):
    // every good item updates the first record with its MAC address or is
    // appended as a new record; then the scan counter grows by one, also for
    // a list without items. Damaged items are logged and skipped.
    void MergeBssidList(std::span<const std::uint8_t> listBytes);
    // The same for entries already parsed.
    void MergeEntries(std::span<const ndis::BssidEntry> entries);

    // The first record in list order that matches `entry` (MatchesEntry,
    // which stamps its lastSeenScan), or nullptr. For the scan-file merge.
    BssidRecord MatchEntry(const ndis::BssidEntry& entry);

    // Appends a record (scan-file reader).
    void Append(BssidRecord record);

    // Removes every record for which `stale` holds, in one pass that keeps
    // the order of the others; returns the removed records in list order.
    // `stale` runs under the list's lock and must not call back into it.
    std::vector<BssidRecord> RemoveIf(const std::function<bool(const CBssid&)>& stale);
    // Removes the records older than `maxAge` scans (age == maxAge stays).
    std::vector<BssidRecord> RemoveOlderThan(std::uint32_t maxAge);
    // Empties the list; the counter is unchanged. Returns the records taken
    // out, so a caller can keep them alive while it still refers to them.
    std::vector<BssidRecord> Clear();
    // Main thread: told the records that RemoveIf, RemoveOlderThan or Clear
    // took out, after the list has let go of its lock (null: nobody).
    using RemovalObserver = std::function<void(const std::vector<BssidRecord>&)>;
    void SetRemovalObserver(RemovalObserver observer) { removalObserver_ = std::move(observer); }

    // Thread-safe: the first record in list order with this MAC address and
    // a scan entry, or nullptr.
    BssidRecord FindByMac(const ndis::MacAddress& mac) const;
    // Thread-safe: as FindByMac, with a copy of the record's scan entry.
    std::optional<NetworkLookup> LookUpByMac(const ndis::MacAddress& mac) const;

  private:
    using MacKey = std::uint64_t;
    static MacKey KeyOf(const ndis::MacAddress& mac);
    static std::optional<MacKey> KeyOf(const CBssid& record);

    std::vector<BssidRecord> TakeIf(const std::function<bool(const CBssid&)>& stale);
    void TellRemoved(const std::vector<BssidRecord>& removed) const;
    void MergeEntryLocked(const ndis::BssidEntry& entry, std::int32_t now);
    BssidRecord MatchEntryLocked(const ndis::BssidEntry& entry);
    void IndexAppendedLocked(const BssidRecord& record);
    // Points the key at the first record in list order that carries it, or
    // drops it. Linear; only for records that lost their entry.
    void ReindexLocked(MacKey key);
    BssidRecord FindByMacLocked(const ndis::MacAddress& mac) const;

    mutable std::shared_mutex mutex_;
    std::vector<BssidRecord> records_;
    std::unordered_map<MacKey, BssidRecord> firstByMac_;
    // Set once a record was appended whose address the list already held;
    // only then can removing a record uncover a later one with its address.
    bool mayHoldDuplicates_ = false;
    std::uint32_t scanCounter_ = 0;
    Clock clock_;
    RemovalObserver removalObserver_;
};

}  // namespace tarvik
