#include "app/ResultFilters.h"

#include <cstdio>

namespace tarvik {

std::string FilterDialogTitle(const TableCounts& counts) {
    char title[64];
    std::snprintf(title, sizeof title, "Network Filters %u:%u:%u", counts.passed, counts.rejected,
                  counts.total);
    return title;
}

CResultFilters::CResultFilters(CNetworkFilter& filter, CNetworkList& networks, INetworkTable& table,
                               FilterDialogFactory createDialog)
    : filter_(filter), networks_(networks), table_(table), createDialog_(std::move(createDialog)) {
    filter_.SetCountsListener([this](const TableCounts&) { ShowCounts(); });
}

CResultFilters::~CResultFilters() {
    filter_.SetCountsListener(nullptr);
}

void CResultFilters::Attach(CScanCycle& cycle) {
    cycle_ = &cycle;
    cycle.SetFilter(&filter_);
}

void CResultFilters::ShowDialog() {
    if (!dialog_) {
        if (!createDialog_) return;
        dialog_ = createDialog_(*this);
        if (!dialog_) return;
    }
    dialog_->ShowOnTop();
    SyncControls(true);
}

FilterGroupState* CResultFilters::Group(int group) {
    if (group < 0 || group >= kFilterGroupCount) return nullptr;
    return &filter_.Fields().groups[static_cast<std::size_t>(group)];
}

void CResultFilters::OnGroupChecked(int group, bool ticked) {
    FilterGroupState* state = Group(group);
    if (state == nullptr) return;
    // Only a group that had a choice changes what the table shows.
    const bool apply = state->choice != 0;
    if (ticked) {
        state->on = 1;
    } else {
        *state = FilterGroupState{};
    }
    SyncControls(apply);
}

void CResultFilters::OnChoiceClicked(int group, std::uint32_t value) {
    FilterGroupState* state = Group(group);
    if (state == nullptr) return;
    state->choice = value;
    SyncControls(true);
}

void CResultFilters::SyncControls(bool apply) {
    if (dialog_) {
        for (int group = 0; group < kFilterGroupCount; ++group) {
            const FilterGroupState& state = *Group(group);
            dialog_->ShowGroup(group, state.on == 1, state.choice);
        }
    }
    if (apply) ApplyFilter();
    ShowCounts();
}

void CResultFilters::ApplyFilter() {
    if (!filter_.Fields().AnyGroupOn() || cycle_ == nullptr) return;
    // The periodic refresh never deletes rows, so the table starts empty.
    const TableUpdateScope batch(table_, TableUpdate::Rows);
    table_.DeleteAllRows();
    cycle_->RefreshNetworkTable(networks_.Snapshot());
}

void CResultFilters::ShowCounts() {
    if (dialog_ && cycle_ != nullptr) dialog_->SetTitle(FilterDialogTitle(cycle_->Counts()));
}

}  // namespace tarvik
