// The "Network Profiles" dialog's logic: its rows (one per profile, in list
// order, with the profile's texts), "Add New...", "Remove Selected", the
// double click that edits a copy and moves it to the end of the list, and
// the list's column layout, restored when shown and stored when the dialog
// goes (section "NetColumnData"). The Qt dialog only shows it.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/ColumnFit.h"
#include "app/ListCtrlEx.h"

namespace tarvik {

class CApplicationOptions;
class CNetworkKey;
class CProfileList;
class IListHeader;
class IProfileDialogs;

struct ProfileListColumn {
    const char* title;
    int width;
    // A text as wide as the column usually shows.
    const char* typical;
};

class CManageKeys {
  public:
    static constexpr const char* kTitle = "Network Profiles";

    // Everything must outlive the controller.
    CManageKeys(CProfileList& profiles, IProfileDialogs& dialogs,
                const CApplicationOptions& options);
    ~CManageKeys();
    CManageKeys(const CManageKeys&) = delete;
    CManageKeys& operator=(const CManageKeys&) = delete;

    // "Ssid" 80, "Bssid" 110, ... "Mode" 80: titles and initial widths.
    static std::span<const ProfileListColumn> Columns();

    // The dialog is shown with a list of these columns: the layout is
    // restored over its header and the rows are built. With `fit`, the
    // initial widths are scaled to the list's font as the network table's
    // are, and never cut the typical text or the title.
    void OnShown(IListHeader& header, const ColumnFitMetrics* fit = nullptr);
    // The dialog is going: the layout is stored and the header let go.
    void OnDestroyed();
    // The layout control while shown; null otherwise.
    CListCtrlEx* Layout() { return layout_.get(); }

    std::size_t RowCount() const { return rows_.size(); }
    // The row's texts, one per column; empty for a row out of range.
    std::vector<std::string> RowTexts(std::size_t row) const;
    // The row's profile (its item data); null for a row out of range.
    const CNetworkKey* RowProfile(std::size_t row) const;

    // "Add New...": a new profile in the Network Editor, added on "Save".
    void AddNew();
    // "Remove Selected": every selected row's profile is removed.
    void RemoveSelected(const std::vector<std::size_t>& rows);
    // Double click: a copy of the first selected row's profile in the
    // Network Editor; on "Save" it replaces the profile at the list's end.
    void EditFirstSelected(const std::vector<std::size_t>& rows);

  private:
    void RebuildRows();

    CProfileList& profiles_;
    IProfileDialogs& dialogs_;
    const CApplicationOptions& options_;
    std::unique_ptr<CListCtrlEx> layout_;
    std::vector<const CNetworkKey*> rows_;
};

}  // namespace tarvik
