// The column rules of the main window's network table: the column texts and
// the record comparison under the table's sort state, with what they need
// besides the record (settings, scan counter, the chosen adapter's address
// texts, the looked-up vendors).
#pragma once

#include <string>
#include <vector>

#include "core/ApplicationOptions.h"
#include "networks/NetworkColumns.h"
#include "networks/NetworkList.h"
#include "networks/NetworkTable.h"
#include "networks/OuiVendorCache.h"
#include "networks/RecordOrder.h"

namespace tarvik {

class CNetworkColumnRules : public INetworkColumns {
  public:
    CNetworkColumnRules(const CApplicationOptions& options, const CNetworkList& networks);

    // The chosen adapter's IP address texts, for the "Connected, ..." status.
    void SetAddresses(std::vector<std::string> addresses);
    OuiVendorCache& Vendors() { return vendors_; }
    NetworkSortState& SortState() { return sort_; }
    const NetworkSortState& SortState() const { return sort_; }
    // Valid while this object lives and its addresses are not replaced.
    ColumnContext Context() const;

    std::string ColumnText(CBssid& record, int column) override;
    int CompareRecords(CBssid& a, CBssid& b) override;

  private:
    const CApplicationOptions& options_;
    const CNetworkList& networks_;
    std::vector<std::string> addresses_;
    OuiVendorCache vendors_;
    NetworkSortState sort_;
};

}  // namespace tarvik
