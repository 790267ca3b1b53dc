#include "app/DeviceInfoPage.h"

#include <algorithm>

#include "adapter/Adapter.h"
#include "app/CommandIds.h"
#include "core/EventLog.h"

namespace tarvik {
namespace {

// The counters shown, in the order of their (total, session) control pairs.
constexpr AdapterStatisticIndex kShownCounters[] = {STAT_XMIT_OK, STAT_RCV_OK, STAT_XMIT_ERROR,
                                                    STAT_RCV_ERROR};

}  // namespace

CDeviceInfoPage::CDeviceInfoPage(DeviceInfoPageParts parts) : parts_(std::move(parts)) {}

CDeviceInfoPage::~CDeviceInfoPage() {
    Stop();
}

void CDeviceInfoPage::Show() {
    if (!view_ && parts_.createView) view_ = parts_.createView([this] { OnClosed(); });
    if (!view_) return;
    view_->ShowOnTop();
    RefreshDeviceInfo();
    shown_ = true;
    parts_.loop.StartTimer(TIMER_DEVICE_INFO, RefreshPeriod());
}

void CDeviceInfoPage::OnTimer() {
    if (!shown_) return;
    CAdapter* adapter = parts_.chosenAdapter();
    if (!adapter || !adapter->IsScanning()) return;
    if (parts_.connectionInProgress && parts_.connectionInProgress()) return;
    RefreshDeviceInfo();
}

void CDeviceInfoPage::OnClosed() {
    Stop();
}

void CDeviceInfoPage::Stop() {
    if (!shown_) return;
    parts_.loop.StopTimer(TIMER_DEVICE_INFO);
    shown_ = false;
}

void CDeviceInfoPage::RestartRefreshTimer() {
    if (!shown_) return;
    parts_.loop.StopTimer(TIMER_DEVICE_INFO);
    parts_.loop.StartTimer(TIMER_DEVICE_INFO, RefreshPeriod());
}

std::chrono::milliseconds CDeviceInfoPage::RefreshPeriod() const {
    // A setting below a second must not make the page query the card nonstop.
    const std::int64_t seconds =
        std::max<std::int64_t>(parts_.options.DeviceInfoRefreshInterval, 1);
    return std::chrono::milliseconds(seconds * 1000);
}

void CDeviceInfoPage::RefreshDeviceInfo() {
    CAdapter* adapter = parts_.chosenAdapter();
    if (!adapter) {
        LogWarn("Device NULL when refreshing device information page");
        return;
    }
    if (view_) FillDeviceInfo(*adapter, *view_);
}

void FillDeviceInfo(CAdapter& adapter, IDeviceInfoView& view) {
    UpdateCounters(adapter, view);
    const auto controls = DeviceInfoControls();
    for (int field = 0; field < DI_FIELD_COUNT; ++field) {
        const std::string& text = adapter.ReadDeviceInfoText(static_cast<DeviceInfoField>(field));
        view.SetControlText(controls[field].control, text);
    }
}

void UpdateCounters(CAdapter& adapter, IDeviceInfoView& view) {
    adapter.ReadStatistics(false);
    const auto controls = DeviceInfoControls().subspan(DI_FIELD_COUNT);
    for (std::size_t i = 0; i < std::size(kShownCounters); ++i) {
        const AdapterStatistic& current = adapter.Statistics()[kShownCounters[i]];
        const AdapterStatistic& base = adapter.StatisticsBaseline()[kShownCounters[i]];
        // Unsigned: a counter that wrapped since the baseline still counts up.
        const std::string total = current.valid ? std::to_string(current.value) : kNotSupportedText;
        const std::string session =
            current.valid ? std::to_string(current.value - base.value) : kNotSupportedText;
        view.SetControlText(controls[2 * i].control, total);
        view.SetControlText(controls[2 * i + 1].control, session);
    }
}

}  // namespace tarvik
