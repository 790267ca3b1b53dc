#include "app/WebRequests.h"

#include <cstdio>

#include "app/UpdateServer.h"
#include "app/VersionText.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "networks/NetworkColumns.h"
#include "networks/OuiTable.h"
#include "networks/PrintableText.h"
#include "platform/RegistryStore.h"
#include "platform/Version.h"

namespace tarvik {
namespace {

constexpr std::size_t kMaxVendorBytes = 120;

std::uint32_t OuiOf(const ndis::MacAddress& mac) {
    return (std::uint32_t{mac[0]} << 16) | (std::uint32_t{mac[1]} << 8) | mac[2];
}

std::string OuiKey(std::uint32_t oui) {
    char key[8];
    std::snprintf(key, sizeof key, "%06x", static_cast<unsigned>(oui & 0xFFFFFFu));
    return key;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The text before the first line feed; none without one.
std::optional<std::string_view> FirstLine(const HttpReply& reply) {
    if (reply.result != RES_HTTP_OK) return std::nullopt;
    const std::size_t feed = reply.body.find('\n');
    if (feed == std::string::npos) return std::nullopt;
    return std::string_view(reply.body).substr(0, feed);
}

}  // namespace

std::optional<std::string> VendorFromReply(const HttpReply& reply) {
    const std::optional<std::string_view> line = FirstLine(reply);
    if (!line) return std::nullopt;
    std::string vendor = MakePrintableText(*line, kMaxVendorBytes);
    if (vendor.empty() || EqualsIgnoringCase(vendor, "Error")) return std::nullopt;
    return vendor;
}

void RunVersionCheck(CHttpClient& client, const std::string& host,
                     const std::function<void(const std::string&)>& report) {
    report("Contacting " + host + " for the latest version...");
    const HttpReply reply = client.Get("http://" + host + "/reg/version.py");
    if (reply.result != RES_HTTP_OK) {
        LogWarn("Version check: %s", reply.error.c_str());
        report(
            "Connection error, please make sure you have an active internet connection and try "
            "again later.");
        return;
    }
    std::string_view answer = FirstLine(reply).value_or(std::string_view());
    if (!answer.empty() && answer.back() == '\r') answer.remove_suffix(1);
    if (!IsVersionText(answer)) {
        report("There was a problem talking to " + host + ", please try again later.");
        return;
    }
    if (CompareVersionTexts(answer, kTarvikVersion) > 0) {
        report("A newer version of Tarvik is available.");
    } else {
        report(std::string("You already have the latest version of Tarvik: ") + kTarvikVersion);
    }
}

CWebRequests::CWebRequests(IEventDispatcher& gui, const CApplicationOptions& options,
                           OuiVendorCache& vendors, HttpLimits limits,
                           std::function<void(const std::string&)> status)
    : gui_(gui),
      options_(options),
      vendors_(vendors),
      status_(std::move(status)),
      workers_(limits, kWebRequestThreads, kMaxQueuedWebRequests) {}

CWebRequests::~CWebRequests() = default;

void CWebRequests::Report(const std::string& text) {
    if (status_) {
        status_(text);
        return;
    }
    SetStatusText(text);
    LogInfo("%s", text.c_str());
}

void CWebRequests::Submit(CRequestWorkers::Job job) {
    if (!workers_.Submit(std::move(job))) LogWarn("Web request dropped: too many waiting");
}

void CWebRequests::CheckVersion() {
    const UpdateServer server = ReadUpdateServer(options_);
    if (server.host.empty()) {
        Report(NoUpdateServerText(server));
        return;
    }
    std::weak_ptr<int> alive = alive_;
    Submit([this, alive, host = server.host](CHttpClient& client) {
        RunVersionCheck(client, host, [&](const std::string& text) {
            gui_.Post([this, alive, text] {
                if (alive.lock()) Report(text);
            });
        });
    });
}

void CWebRequests::LookUpVendor(const BssidRecord& record) {
    const ndis::BssidEntry* entry = record ? record->Entry() : nullptr;
    if (!entry || entry->InfrastructureMode() == ndis::Ndis802_11IBSS) return;
    const UpdateServer server = ReadUpdateServer(options_);
    if (server.host.empty()) {
        Report(NoUpdateServerText(server));
        return;
    }
    const std::uint32_t oui = OuiOf(entry->GetMacAddress());
    auto& waiting = waiting_[oui];
    waiting.push_back(record);
    if (waiting.size() > 1) return;  // already asked for

    std::weak_ptr<int> alive = alive_;
    const std::string url = "http://" + server.host + "/reg/oui.py?" + OuiKey(oui);
    const bool taken = workers_.Submit([this, alive, oui, url](CHttpClient& client) {
        const HttpReply reply = client.Get(url);
        if (reply.result != RES_HTTP_OK) LogWarn("Vendor look-up: %s", reply.error.c_str());
        std::optional<std::string> vendor = VendorFromReply(reply);
        gui_.Post([this, alive, oui, vendor = std::move(vendor)] {
            if (alive.lock()) FinishLookup(oui, vendor);
        });
    });
    if (!taken) FinishLookup(oui, std::nullopt);
}

void CWebRequests::FinishLookup(std::uint32_t oui, const std::optional<std::string>& vendor) {
    const auto found = waiting_.find(oui);
    if (found == waiting_.end()) return;
    const std::vector<std::weak_ptr<CBssid>> records = std::move(found->second);
    waiting_.erase(found);
    if (vendor) {
        options_.UserHive().WriteString(options_.SectionKey(kOuiLookupSection), OuiKey(oui),
                                        *vendor);
        vendors_.Remember(oui, *vendor);
    } else {
        for (const std::weak_ptr<CBssid>& weak : records) {
            if (const BssidRecord record = weak.lock()) {
                record->SetVendorText(std::string(kVendorErrorText));
            }
        }
    }
    if (changed_) changed_();
}

void CWebRequests::LoadVendorTables(const std::filesystem::path& folder) {
    vendors_.Reload(options_.UserHive(), options_.SectionKey(kOuiLookupSection));
    std::weak_ptr<int> alive = alive_;
    Submit([this, alive, folder](CHttpClient&) {
        std::shared_ptr<const COuiTable> table = COuiTable::LoadFolder(folder);
        gui_.Post([this, alive, table = std::move(table)] {
            if (!alive.lock()) return;
            vendors_.SetOfflineTable(table);
            if (changed_) changed_();
        });
    });
}

}  // namespace tarvik
