#include "tools/oid/WatchCommand.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "adapter/Adapter.h"
#include "adapter/AdapterList.h"
#include "adapter/MediaEvents.h"
#include "adapter/TextAdapterCombo.h"
#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "core/ExecutablePath.h"
#include "core/StatusLine.h"
#include "networks/ColumnIds.h"
#include "networks/MemoryNetworkTable.h"
#include "networks/NetworkColumns.h"
#include "networks/NetworkList.h"
#include "networks/OuiVendorCache.h"
#include "networks/RecordOrder.h"
#include "networks/ScanCycle.h"

namespace tarvik::oidtool {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Longest single wait, so a stop signal is seen promptly.
constexpr auto kLongestWait = std::chrono::milliseconds(100);
constexpr auto kStatusPeriod = std::chrono::seconds(1);

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void RequestStop(int) {
    gStopRequested = 1;
}

// Media events queued by the receive thread, run on the watch loop's thread.
class QueuedDispatcher : public IEventDispatcher {
  public:
    void Post(std::function<void()> work) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
        }
        wake_.notify_one();
    }

    // Waits until `until` or until work is queued, then runs what is queued.
    void RunUntil(SteadyClock::time_point until) {
        std::deque<std::function<void()>> ready;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, until, [this] { return !queue_.empty(); });
            ready.swap(queue_);
        }
        for (auto& work : ready) work();
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
};

// Status texts go to stderr, so stdout holds the network list alone.
class StderrStatusLine : public IStatusLineSink {
  public:
    StderrStatusLine() { SetStatusLineSink(this); }
    ~StderrStatusLine() override { SetStatusLineSink(nullptr); }
    StderrStatusLine(const StderrStatusLine&) = delete;
    StderrStatusLine& operator=(const StderrStatusLine&) = delete;
    void ShowStatusText(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

// The column rules over the shared column texts and the table's sort state.
class WatchColumns : public INetworkColumns {
  public:
    WatchColumns(const CApplicationOptions& options, const CNetworkList& networks)
        : options_(options), networks_(networks) {}

    void SetAddresses(std::vector<std::string> addresses) { addresses_ = std::move(addresses); }

    std::string ColumnText(CBssid& record, int column) override {
        return tarvik::ColumnText(record, column, Context());
    }
    int CompareRecords(CBssid& a, CBssid& b) override {
        return tarvik::CompareRecords(a, b, sort_, Context());
    }

  private:
    ColumnContext Context() const {
        return ColumnContext{options_, networks_.ScanCounter(), addresses_, vendors_};
    }

    const CApplicationOptions& options_;
    const CNetworkList& networks_;
    std::vector<std::string> addresses_;
    OuiVendorCache vendors_;
    NetworkSortState sort_;
};

// One printed line per table row, columns padded to their widest cell.
void PrintNetworks(const CMemoryNetworkTable& table, const CNetworkList& networks,
                   WatchColumns& columns) {
    std::printf("Scan counter: %u\n", networks.ScanCounter());
    std::vector<std::vector<std::string>> lines;
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        const BssidRecord& record = table.Record(static_cast<int>(row));
        if (!record) continue;
        const ndis::BssidEntry* entry = record->Entry();
        lines.push_back({
            columns.ColumnText(*record, COLUMN_MAC_ADDRESS),
            columns.ColumnText(*record, COLUMN_SSID),
            std::to_string(networks.AgeOf(*record)),
            std::to_string(record->ConnectionStatus()),
            columns.ColumnText(*record, COLUMN_STATUS),
            columns.ColumnText(*record, COLUMN_SCORE),
            std::to_string(record->SecurityClass()),
            entry ? std::to_string(entry->Rssi()) : "",
        });
    }
    std::vector<std::size_t> widths;
    for (const auto& cells : lines) {
        widths.resize(cells.size(), 0);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            widths[i] = std::max(widths[i], cells[i].size());
        }
    }
    for (const auto& cells : lines) {
        std::string line;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) line += "  ";
            line += cells[i];
            if (i + 1 < cells.size()) line.append(widths[i] - cells[i].size(), ' ');
        }
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

// At least one second, so a zero or negative setting cannot spin the loop.
SteadyClock::duration IntervalOf(std::int32_t seconds) {
    return std::chrono::seconds(std::max(seconds, 1));
}

bool ParseSeconds(int argc, char** argv, long& seconds) {
    seconds = -1;
    if (argc == 1) return true;
    if (argc != 3 || std::string(argv[1]) != "--seconds") return false;
    char* end = nullptr;
    seconds = std::strtol(argv[2], &end, 10);
    return *argv[2] != '\0' && *end == '\0' && seconds >= 0 && seconds <= 86400L * 365;
}

int Watch(long seconds) {
    CApplicationOptions options(nullptr, ExecutablePath(), "tarvik");
    options.Load();
    InstallLogAsStoreErrorSink();
    SetLogSettings(&options);
    StderrStatusLine statusLine;

    QueuedDispatcher dispatcher;
    CMediaEventSource mediaSource(dispatcher);
    if (mediaSource.StartWmi() != 0) {
        // The log is usually off; say it where the user looks too.
        LogWarn("Failed to initialize WMI.");
        std::fprintf(stderr, "tarvik-oid: Failed to initialize WMI.\n");
    }

    CTextAdapterCombo combo;
    CAdapterList adapters(
        options, combo, [] { return static_cast<std::int64_t>(std::time(nullptr)); }, &mediaSource);
    if (adapters.EnumerateDevices() == RES_BINDINGS_FAILED) return 1;
    adapters.MarkReEnumerated();

    CNetworkList networks;
    CMemoryNetworkTable table;
    WatchColumns columns(options, networks);
    CScanCycle cycle(networks, options, table, columns);
    cycle.SetChosenAdapter(adapters.Chosen());
    cycle.StartScanning();
    cycle.ScanNetworks(false);

    const auto start = SteadyClock::now();
    const auto stopAt =
        seconds >= 0 ? start + std::chrono::seconds(seconds) : SteadyClock::time_point::max();
    auto nextSoft = start + IntervalOf(options.SoftRefreshInterval);
    auto nextHard = start + IntervalOf(options.HardRefreshInterval);
    auto nextStatus = start;
    for (;;) {
        const auto now = SteadyClock::now();
        if (now >= nextHard) {
            cycle.ScanNetworks(true);
            nextHard = now + IntervalOf(options.HardRefreshInterval);
            nextSoft = now + IntervalOf(options.SoftRefreshInterval);
        } else if (now >= nextSoft) {
            cycle.ScanNetworks(false);
            nextSoft = now + IntervalOf(options.SoftRefreshInterval);
        }
        if (now >= nextStatus) {
            if (CAdapter* chosen = adapters.Chosen()) {
                columns.SetAddresses(SplitAddressText(chosen->IpAddressText()));
            }
            cycle.UpdateConnectionStatus();
            PrintNetworks(table, networks, columns);
            nextStatus += kStatusPeriod;
            if (nextStatus <= now) nextStatus = now + kStatusPeriod;
        }
        if (gStopRequested || now >= stopAt) break;
        const auto deadline = std::min({nextSoft, nextHard, nextStatus, stopAt});
        dispatcher.RunUntil(std::min(deadline, SteadyClock::now() + kLongestWait));
    }
    return 0;
}

}  // namespace

int RunWatch(int argc, char** argv) {
    long seconds = -1;
    if (!ParseSeconds(argc, argv, seconds)) {
        std::fprintf(stderr, "tarvik-oid: watch takes only --seconds N\n");
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return Watch(seconds);
}

}  // namespace tarvik::oidtool
