#include "networks/NetworkList.h"

#include <mutex>
#include <unordered_set>
#include <utility>

#include "core/EventLog.h"
#include "ndis/BssidList.h"

namespace tarvik {

CNetworkList::CNetworkList() : clock_(CurrentRecordTime) {}

void CNetworkList::SetClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock(CurrentRecordTime);
}

CNetworkList::MacKey CNetworkList::KeyOf(const ndis::MacAddress& mac) {
    MacKey key = 0;
    for (std::uint8_t byte : mac) key = (key << 8) | byte;
    return key;
}

std::optional<CNetworkList::MacKey> CNetworkList::KeyOf(const CBssid& record) {
    const ndis::BssidEntry* entry = record.Entry();
    if (entry == nullptr) return std::nullopt;
    return KeyOf(entry->GetMacAddress());
}

NetworkSnapshot CNetworkList::Snapshot() const {
    std::shared_lock lock(mutex_);
    return records_;
}

void CNetworkList::MergeBssidList(std::span<const std::uint8_t> listBytes) {
    const ndis::BssidList list = ndis::ParseBssidList(listBytes);
    for (const ndis::BssidListIssue& issue : list.issues) {
        LogWarn("The BSSID list is damaged: %s", ndis::DescribeBssidListIssue(issue).c_str());
    }
    MergeEntries(list.entries);
}

void CNetworkList::MergeEntries(std::span<const ndis::BssidEntry> entries) {
    const std::int32_t now = clock_();
    std::unique_lock lock(mutex_);
    for (const ndis::BssidEntry& entry : entries) MergeEntryLocked(entry, now);
    ++scanCounter_;
}

void CNetworkList::MergeEntryLocked(const ndis::BssidEntry& entry, std::int32_t now) {
    if (BssidRecord record = MatchEntryLocked(entry)) {
        // A failed copy leaves the record without an entry: it no longer
        // matches, so a later record with the address takes its place.
        if (!record->UpdateFromEntry(entry, now)) ReindexLocked(KeyOf(entry.GetMacAddress()));
        return;
    }
    auto record = std::make_shared<CBssid>(entry, scanCounter_, now);
    records_.push_back(record);
    IndexAppendedLocked(record);
}

BssidRecord CNetworkList::MatchEntry(const ndis::BssidEntry& entry) {
    std::unique_lock lock(mutex_);
    return MatchEntryLocked(entry);
}

// The index holds only records with an entry of the indexed address, so the
// earliest such record is the first in list order for which MatchesEntry
// holds.
BssidRecord CNetworkList::MatchEntryLocked(const ndis::BssidEntry& entry) {
    const auto found = firstByMac_.find(KeyOf(entry.GetMacAddress()));
    if (found == firstByMac_.end()) return nullptr;
    if (!found->second->MatchesEntry(entry, scanCounter_)) return nullptr;
    return found->second;
}

void CNetworkList::Append(BssidRecord record) {
    if (!record) return;
    std::unique_lock lock(mutex_);
    records_.push_back(record);
    IndexAppendedLocked(record);
}

void CNetworkList::IndexAppendedLocked(const BssidRecord& record) {
    const std::optional<MacKey> key = KeyOf(*record);
    if (!key) return;
    // An earlier record with the same address keeps the index entry.
    if (!firstByMac_.try_emplace(*key, record).second) mayHoldDuplicates_ = true;
}

void CNetworkList::ReindexLocked(MacKey key) {
    firstByMac_.erase(key);
    for (const BssidRecord& record : records_) {
        if (KeyOf(*record) == key) {
            firstByMac_.emplace(key, record);
            return;
        }
    }
}

std::vector<BssidRecord> CNetworkList::RemoveIf(const std::function<bool(const CBssid&)>& stale) {
    std::vector<BssidRecord> removed = TakeIf(stale);
    TellRemoved(removed);
    return removed;
}

std::vector<BssidRecord> CNetworkList::TakeIf(const std::function<bool(const CBssid&)>& stale) {
    std::vector<BssidRecord> removed;
    std::unordered_set<MacKey> uncovered;
    std::unique_lock lock(mutex_);

    // One stable compaction pass: kept records move forward over the gaps.
    auto kept = records_.begin();
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (!stale(**it)) {
            if (kept != it) *kept = std::move(*it);
            ++kept;
            continue;
        }
        if (const std::optional<MacKey> key = KeyOf(**it)) {
            const auto found = firstByMac_.find(*key);
            if (found != firstByMac_.end() && found->second == *it) {
                firstByMac_.erase(found);
                if (mayHoldDuplicates_) uncovered.insert(*key);
            }
        }
        removed.push_back(std::move(*it));
    }
    records_.erase(kept, records_.end());

    // A later record that shares a removed record's address now comes first.
    for (auto it = records_.begin(); !uncovered.empty() && it != records_.end(); ++it) {
        const std::optional<MacKey> key = KeyOf(**it);
        if (key && uncovered.erase(*key) != 0) firstByMac_.emplace(*key, *it);
    }
    return removed;
}

std::vector<BssidRecord> CNetworkList::RemoveOlderThan(std::uint32_t maxAge) {
    return RemoveIf([this, maxAge](const CBssid& record) { return AgeOf(record) > maxAge; });
}

std::vector<BssidRecord> CNetworkList::Clear() {
    std::vector<BssidRecord> removed;
    {
        std::unique_lock lock(mutex_);
        removed.swap(records_);
        firstByMac_.clear();
        mayHoldDuplicates_ = false;
    }
    TellRemoved(removed);
    return removed;
}

// Outside the lock: the observer may read the list again.
void CNetworkList::TellRemoved(const std::vector<BssidRecord>& removed) const {
    if (removalObserver_ && !removed.empty()) removalObserver_(removed);
}

BssidRecord CNetworkList::FindByMacLocked(const ndis::MacAddress& mac) const {
    const auto found = firstByMac_.find(KeyOf(mac));
    return found == firstByMac_.end() ? nullptr : found->second;
}

BssidRecord CNetworkList::FindByMac(const ndis::MacAddress& mac) const {
    std::shared_lock lock(mutex_);
    return FindByMacLocked(mac);
}

std::optional<NetworkLookup> CNetworkList::LookUpByMac(const ndis::MacAddress& mac) const {
    std::shared_lock lock(mutex_);
    BssidRecord record = FindByMacLocked(mac);
    if (!record || record->Entry() == nullptr) return std::nullopt;
    return NetworkLookup{record, *record->Entry()};
}

}  // namespace tarvik
