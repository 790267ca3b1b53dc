// The requests to the vendor's web server and the offline vendor table:
// the Help menu's version check, the Vendor cell's look-up, and the loading
// of the IEEE assignments at start-up. Requests run on a few worker threads
// (CRequestWorkers); every result comes back to the GUI thread through its
// dispatcher, where the settings store, the vendor cache and the records are
// touched, so no record is written from a worker.
//
// GUI thread only, except what the workers do internally.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "adapter/MediaEvents.h"
#include "app/HttpClient.h"
#include "app/RequestWorkers.h"
#include "core/ApplicationOptions.h"
#include "networks/NetworkList.h"
#include "networks/OuiVendorCache.h"

namespace tarvik {

inline constexpr std::size_t kWebRequestThreads = 2;
inline constexpr std::size_t kMaxQueuedWebRequests = 64;
// Where Debian's ieee-data package keeps the IEEE assignments.
inline constexpr const char* kIeeeDataFolder = "/usr/share/ieee-data";

// The answer of the vendor server to a look-up: its first line, made
// printable; none for a failed request, an answer without a line feed, an
// empty line or "Error" in any case.
std::optional<std::string> VendorFromReply(const HttpReply& reply);

// The version check on a worker: reports each text in order.
void RunVersionCheck(CHttpClient& client, const std::string& host,
                     const std::function<void(const std::string&)>& report);

class CWebRequests {
  public:
    // `status` shows a text on the status line (and logs it); null: the
    // program's status line and an Info log entry.
    CWebRequests(IEventDispatcher& gui, const CApplicationOptions& options, OuiVendorCache& vendors,
                 HttpLimits limits = {}, std::function<void(const std::string&)> status = nullptr);
    ~CWebRequests();
    CWebRequests(const CWebRequests&) = delete;
    CWebRequests& operator=(const CWebRequests&) = delete;

    // Called on the GUI thread after the vendor cache changed (a look-up
    // answered, the offline table arrived), so the table can repaint.
    void SetVendorsChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    // Help, Check for newer version.
    void CheckVersion();
    // A click on the Vendor cell of `record`. Nothing for an ad hoc network
    // or one without a scan entry; a look-up of an OUI already asked for
    // waits for that one. A failed look-up sets "Error. Try again?".
    void LookUpVendor(const BssidRecord& record);
    // Reads the assignments of `folder` on a worker, then hands them to the
    // vendor cache. The cache's "OUILookup" names are read now.
    void LoadVendorTables(const std::filesystem::path& folder);

    std::size_t LookupsInFlight() const { return waiting_.size(); }

  private:
    void Report(const std::string& text);
    void FinishLookup(std::uint32_t oui, const std::optional<std::string>& vendor);
    void Submit(CRequestWorkers::Job job);

    IEventDispatcher& gui_;
    const CApplicationOptions& options_;
    OuiVendorCache& vendors_;
    std::function<void(const std::string&)> status_;
    std::function<void()> changed_;
    // The records that asked, by OUI in flight.
    std::unordered_map<std::uint32_t, std::vector<std::weak_ptr<CBssid>>> waiting_;
    // Results posted after this object is gone are dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Last: joined first, so no worker outlives what it reports to.
    CRequestWorkers workers_;
};

}  // namespace tarvik
