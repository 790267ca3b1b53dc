// The Device Information page's controller: creates the view on first use,
// refreshes every value through the chosen adapter's readers when shown and
// on each tick of its timer, and stops the timer when the view is closed.
// GUI thread only. It keeps no adapter: each refresh asks for the chosen one,
// so re-enumeration or a vanished card never leaves it a stale pointer.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "app/DeviceInfoView.h"
#include "app/MainLoop.h"
#include "core/ApplicationOptions.h"

namespace tarvik {

class CAdapter;

struct DeviceInfoPageParts {
    IMainLoop& loop;
    const CApplicationOptions& options;
    std::function<CAdapter*()> chosenAdapter;
    std::function<bool()> connectionInProgress;
    DeviceInfoViewFactory createView;
};

class CDeviceInfoPage {
  public:
    explicit CDeviceInfoPage(DeviceInfoPageParts parts);
    ~CDeviceInfoPage();
    CDeviceInfoPage(const CDeviceInfoPage&) = delete;
    CDeviceInfoPage& operator=(const CDeviceInfoPage&) = delete;

    // The Device Information command: creates the view if there is none,
    // shows it on top, refreshes it and starts the timer.
    void Show();
    // Timer tick: refreshes only with a chosen adapter that is scanning and
    // no connection running.
    void OnTimer();
    // The view was closed: the timer stops, the view stays for next time.
    void OnClosed();
    // The refresh interval changed: the timer starts again with it (only
    // while the page is shown).
    void RestartRefreshTimer();
    // The program is ending or the adapters go away: the timer stops.
    void Stop();
    void RefreshDeviceInfo();
    bool IsShown() const { return shown_; }
    std::chrono::milliseconds RefreshPeriod() const;

  private:
    DeviceInfoPageParts parts_;
    std::unique_ptr<IDeviceInfoView> view_;
    bool shown_ = false;
};

// Every value of the page for `adapter`, read fresh, into `view`; the
// counters first (UpdateCounters), then the fields in their order.
void FillDeviceInfo(CAdapter& adapter, IDeviceInfoView& view);
void UpdateCounters(CAdapter& adapter, IDeviceInfoView& view);

}  // namespace tarvik
