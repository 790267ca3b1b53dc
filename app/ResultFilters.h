// The filter commands behind the modeless Network Filters dialog: the
// dialog's check boxes and radio buttons edit the application's filter, and
// a change rebuilds the table under it. The dialog's title shows the counts
// of the latest table refresh as "Network Filters shown:rejected:total".
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/FilterDialogView.h"
#include "networks/NetworkFilter.h"
#include "networks/ScanCycle.h"

namespace tarvik {

class CResultFilters;
using FilterDialogFactory = std::function<std::unique_ptr<IFilterDialogView>(CResultFilters&)>;

// "Network Filters 3:2:5": shown, rejected, total.
std::string FilterDialogTitle(const TableCounts& counts);

class CResultFilters {
  public:
    // `filter`, `networks` and `table` must outlive this; the filter's
    // counts listener is this object's until it is destroyed. Without a
    // factory there is no dialog to show.
    CResultFilters(CNetworkFilter& filter, CNetworkList& networks, INetworkTable& table,
                   FilterDialogFactory createDialog);
    ~CResultFilters();
    CResultFilters(const CResultFilters&) = delete;
    CResultFilters& operator=(const CResultFilters&) = delete;

    // The cycle that refreshes the table; the filter is installed in it.
    void Attach(CScanCycle& cycle);
    bool CanShowDialog() const { return static_cast<bool>(createDialog_); }

    // The menu command: creates the dialog on first use, shows it, and
    // applies the filter.
    void ShowDialog();
    // Closes the dialog at shut-down.
    void DestroyDialog() { dialog_.reset(); }
    bool HasDialog() const { return dialog_ != nullptr; }

    // Dialog events: a group's check box now shows `ticked`; a radio button
    // of a group was clicked.
    void OnGroupChecked(int group, bool ticked);
    void OnChoiceClicked(int group, std::uint32_t value);

    // Sets every control from the filter; applies it when asked; shows the
    // counts.
    void SyncControls(bool apply);
    // Rebuilds the table under the filter (nothing when every group is off:
    // hidden rows come back at the next refresh).
    void ApplyFilter();
    void ShowCounts();

    const NetworkFilterFields& Fields() const { return filter_.Fields(); }

  private:
    FilterGroupState* Group(int group);

    CNetworkFilter& filter_;
    CNetworkList& networks_;
    INetworkTable& table_;
    FilterDialogFactory createDialog_;
    CScanCycle* cycle_ = nullptr;
    std::unique_ptr<IFilterDialogView> dialog_;
};

}  // namespace tarvik
