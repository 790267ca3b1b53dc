#include "networks/ScanCycle.h"

#include <algorithm>
#include <cstdio>

#include "core/StatusLine.h"

namespace tarvik {

void ShownRssiRange::Widen(std::int32_t rssi) {
    lowest = std::min(lowest, rssi);
    highest = std::max(highest, rssi);
}

CScanCycle::CScanCycle(CNetworkList& networks, const CApplicationOptions& options,
                       INetworkTable& table, INetworkColumns& columns)
    : networks_(networks), options_(options), table_(table), columns_(columns) {}

bool CScanCycle::RemovesUndetected() const {
    return options_.RemoveUndetectedAccessPoints != 0;
}

std::uint32_t CScanCycle::StaleAfterScans() const {
    return static_cast<std::uint32_t>(options_.TimeBeforeClearingNotDetectedAccessPoints.Get());
}

void CScanCycle::ScanNetworks(bool hard) {
    if (adapter_ == nullptr) {
        RefreshNetworkTable(networks_.Snapshot());
        return;
    }
    // Before the fetch: ages are measured on the counter before this scan.
    PurgeStaleNetworks();
    if (!adapter_->IsScanning()) return;
    const Result result = adapter_->ScanAndFetchBssidList(
        hard,
        [this](std::span<const std::uint8_t> listBytes) { networks_.MergeBssidList(listBytes); });
    if (result != RES_BSSID_LIST_OBTAINED) SetStatusText(kScanFailedText);
}

void CScanCycle::PurgeStaleNetworks() {
    if (!RemovesUndetected() || options_.ClearingAccessPointsHard == 0) return;
    const std::vector<BssidRecord> removed = networks_.RemoveOlderThan(StaleAfterScans());
    if (removed.empty()) return;
    const TableUpdateScope batch(table_, TableUpdate::Rows);
    for (const BssidRecord& record : removed) {
        const int row = table_.FindRow(record.get());
        if (row >= 0) table_.DeleteRow(row);
    }
}

void CScanCycle::UpdateConnectionStatus() {
    const bool connecting = connecting_ != nullptr && connecting_->load();
    if (connecting || adapter_ == nullptr) {
        RefreshNetworkTable(networks_.Snapshot());
        return;
    }
    const NetworkSnapshot snapshot = networks_.Snapshot();
    if (adapter_->UpdateConnectionStates(snapshot, networks_.ScanCounter()) ==
        RES_CONNECTION_STATES_UPDATED) {
        RefreshNetworkTable(snapshot);
    } else {
        SetStatusText(kStatusQueryFailedText);
    }
}

void CScanCycle::RefreshNetworkTable(const NetworkSnapshot& snapshot) {
    const TableUpdateScope batch(table_, TableUpdate::Refresh);
    counts_ = TableCounts{static_cast<std::uint32_t>(snapshot.size()), 0, 0};
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        const BssidRecord& record = snapshot[i];
        // A rejected record's row, if it has one, is left as it is.
        if (filter_ != nullptr && !filter_->PassesFilter(*record)) {
            ++counts_.rejected;
            continue;
        }
        ++counts_.passed;
        RefreshRow(record, i);
    }
    if (filter_ != nullptr) filter_->ShowCounts(counts_);
    table_.SortRows([this](CBssid& a, CBssid& b) { return columns_.CompareRecords(a, b); });
}

void CScanCycle::RefreshRow(const BssidRecord& record, std::size_t position) {
    if (const ndis::BssidEntry* entry = record->Entry()) rssiRange_.Widen(entry->Rssi());
    int row = table_.FindRow(record.get());
    if (RemovesUndetected() && networks_.AgeOf(*record) > StaleAfterScans()) {
        if (row >= 0) table_.DeleteRow(row);
        return;
    }
    if (row < 0) {
        // Rows before this position may be missing (rejected or hidden
        // records), so the position can lie past the end: append then.
        const std::size_t at = std::min(position, table_.RowCount());
        row = table_.InsertRow(at, columns_.ColumnText(*record, kTableColumnSsid), record);
        if (row < 0) return;
    }
    WriteRowTexts(row, *record);
}

void CScanCycle::WriteRowTexts(int row, CBssid& record) {
    // A table that formats its texts on demand only needs to know.
    if (table_.MarkTextsDue(row)) return;
    for (int column = 0; column < kTableColumnCount; ++column) {
        if (column == kTableColumnScore) {
            char score[16];
            std::snprintf(score, sizeof score, "%d%%", record.Score(networks_.ScanCounter()));
            table_.SetItemText(row, column, score);
        } else {
            table_.SetItemText(row, column, columns_.ColumnText(record, column));
        }
    }
}

void CScanCycle::ClearAllNetworks() {
    networks_.Clear();
    table_.DeleteAllRows();
}

void CScanCycle::ShowScanningButton(const char* text) {
    if (button_ != nullptr) button_->SetScanningButtonText(text);
}

void CScanCycle::ToggleScanning() {
    if (adapter_ == nullptr) return;
    if (adapter_->IsScanning()) {
        StopScanning();
    } else {
        StartScanning();
    }
}

void CScanCycle::StartScanning() {
    ShowScanningButton(kStopScanningText);
    if (adapter_ != nullptr) adapter_->SetScanning(true);
}

void CScanCycle::StopScanning() {
    ShowScanningButton(kStartScanningText);
    if (adapter_ != nullptr) adapter_->SetScanning(false);
}

}  // namespace tarvik
