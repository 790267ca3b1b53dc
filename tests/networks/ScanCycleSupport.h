// Fakes around the scan cycle: an adapter that serves prepared BSSID lists,
// column rules with simple texts, a filter, the scanning button and the
// status line.
#pragma once

#include <string>
#include <vector>

#include "core/StatusLine.h"
#include "ndis/BssidList.h"
#include "networks/NetworkTable.h"
#include "networks/ScanSource.h"

namespace tarvik::testing_support {

class FakeScanSource : public IScanSource {
  public:
    bool IsScanning() const override { return scanning; }
    void SetScanning(bool on) override { scanning = on; }

    Result ScanAndFetchBssidList(bool scanFirst, const BssidListMerge& merge) override {
        fetches.push_back(scanFirst);
        if (fetchResult != RES_BSSID_LIST_OBTAINED) return fetchResult;
        merge(ndis::BuildBssidList(nextList));
        return RES_BSSID_LIST_OBTAINED;
    }

    Result UpdateConnectionStates(const NetworkSnapshot& snapshot, std::uint32_t) override {
        ++statusRefreshes;
        if (statusResult != RES_CONNECTION_STATES_UPDATED) return statusResult;
        for (const BssidRecord& record : snapshot)
            record->SetConnectionStatus(STATUS_NOT_CONNECTED);
        return statusResult;
    }

    bool scanning = true;
    Result fetchResult = RES_BSSID_LIST_OBTAINED;
    Result statusResult = RES_CONNECTION_STATES_UPDATED;
    std::vector<ndis::BssidEntryFields> nextList;
    std::vector<bool> fetches;
    int statusRefreshes = 0;
};

// Column n of a record reads "<mac byte 5>/<n>/<rssi>", column 0 the SSID;
// rows sort by the last MAC byte.
class FakeColumns : public INetworkColumns {
  public:
    std::string ColumnText(CBssid& record, int column) override {
        const ndis::BssidEntry* entry = record.Entry();
        if (entry == nullptr) return "";
        if (column == kTableColumnSsid) {
            return std::string(entry->Ssid().begin(), entry->Ssid().end());
        }
        return std::to_string(entry->GetMacAddress()[5]) + "/" + std::to_string(column) + "/" +
               std::to_string(entry->Rssi());
    }
    int CompareRecords(CBssid& a, CBssid& b) override {
        return static_cast<int>(a.Entry()->GetMacAddress()[5]) - b.Entry()->GetMacAddress()[5];
    }
};

// Rejects the records whose last MAC byte is listed.
class FakeFilter : public INetworkFilter {
  public:
    bool PassesFilter(CBssid& record) override {
        const std::uint8_t last = record.Entry()->GetMacAddress()[5];
        for (std::uint8_t rejected : rejectedMacBytes) {
            if (last == rejected) return false;
        }
        return true;
    }
    void ShowCounts(const TableCounts& counts) override { shown.push_back(counts); }

    std::vector<std::uint8_t> rejectedMacBytes;
    std::vector<TableCounts> shown;
};

class FakeButton : public IScanningButton {
  public:
    void SetScanningButtonText(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// Collects status texts without their "%H:%M:%S " prefix while it lives.
class StatusTexts : public IStatusLineSink {
  public:
    StatusTexts() { SetStatusLineSink(this); }
    ~StatusTexts() override { SetStatusLineSink(nullptr); }
    StatusTexts(const StatusTexts&) = delete;
    StatusTexts& operator=(const StatusTexts&) = delete;

    void ShowStatusText(const std::string& text) override {
        texts.push_back(text.size() >= 9 ? text.substr(9) : text);
    }
    std::vector<std::string> texts;
};

}  // namespace tarvik::testing_support
