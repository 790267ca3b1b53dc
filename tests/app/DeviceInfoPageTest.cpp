// Device > Device Information over a recording view, with the chosen card
// of tarvik-driverd: what the page shows, when timer 5 refreshes it, and how
// closing and the interval setting drive the timer.
#include <map>

#include "MainDialogFixture.h"
#include "adapter/Adapter.h"
#include "app/CommandIds.h"
#include "app/DeviceInfoPage.h"

namespace tarvik::testing {
namespace {

struct RecordingInfoView : IDeviceInfoView {
    std::map<int, std::string> texts;
    int shown = 0;
    void ShowOnTop() override { ++shown; }
    void SetControlText(int control, const std::string& text) override { texts[control] = text; }
};

class DeviceInfoPageTest : public MainDialogFixture {
  protected:
    void SetUp() override {
        deviceInfoView_ = [this](std::function<void()> closed) {
            ++created_;
            closed_ = std::move(closed);
            auto view = std::make_unique<RecordingInfoView>();
            view_ = view.get();
            return std::unique_ptr<IDeviceInfoView>(std::move(view));
        };
        StartDaemon(ScenarioPath("devinfo.json"));
        Create();
        ASSERT_TRUE(dialog_->Initialize());
        loop_.timerCalls.clear();
        options_.DeviceInfoRefreshInterval = 5;
    }

    int created_ = 0;
    std::function<void()> closed_;
    RecordingInfoView* view_ = nullptr;
};

TEST_F(DeviceInfoPageTest, ShowsTheChosenCardWithItsSessionCounters) {
    dialog_->ExecuteCommand(ID_DEVICE_INFORMATION);
    ASSERT_NE(view_, nullptr);
    EXPECT_EQ(view_->shown, 1);
    EXPECT_EQ(view_->texts.size(), DeviceInfoControls().size());
    EXPECT_EQ(view_->texts[1016], "Info Card");
    // Transmitted: 4294967295 at start, 3 now; the session count wraps.
    const std::map<int, std::string> counters = {{1047, "3"}, {1051, "4"},  {1048, "4294967294"},
                                                 {1053, "0"}, {1049, "12"}, {1054, "0"}};
    for (const auto& [control, text] : counters) EXPECT_EQ(view_->texts[control], text) << control;
    EXPECT_EQ(loop_.timerCalls, std::vector<std::string>{"Start 5 5000"});

    // Shown again: the same view, brought up and refreshed.
    view_->texts.clear();
    dialog_->ExecuteCommand(ID_DEVICE_INFORMATION);
    EXPECT_EQ(created_, 1);
    EXPECT_EQ(view_->shown, 2);
    EXPECT_EQ(view_->texts[1016], "Info Card");
}

// Each tick refreshes only a shown page whose chosen card is scanning and
// not in the middle of a connection.
TEST_F(DeviceInfoPageTest, TicksRefreshOnlyWhenTheCardIsFree) {
    dialog_->ExecuteCommand(ID_DEVICE_INFORMATION);
    CAdapter& card = *dialog_->ChosenAdapter();
    const struct {
        const char* name;
        std::function<void()> before;
        bool refreshes;
    } rows[] = {
        {"scanning", [] {}, true},
        {"not scanning", [&] { card.SetScanning(false); }, false},
        {"connecting",
         [&] {
             dialog_->SendConnectionStarted();
             card.SetScanning(true);
         },
         false},
        {"connection over",
         [&] {
             dialog_->SendConnectionEnded();
             card.SetScanning(true);
         },
         true},
        {"closed", [&] { closed_(); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.before();
        view_->texts.clear();
        dialog_->OnTimer(TIMER_DEVICE_INFO);
        EXPECT_EQ(!view_->texts.empty(), row.refreshes);
    }
}

TEST_F(DeviceInfoPageTest, ClosingStopsTheTimerAndTheIntervalRestartsItWhileShown) {
    dialog_->ExecuteCommand(ID_DEVICE_INFORMATION);
    options_.DeviceInfoRefreshInterval = 2;
    dialog_->RestartTimer(TIMER_DEVICE_INFO);
    closed_();
    dialog_->RestartTimer(TIMER_DEVICE_INFO);
    options_.DeviceInfoRefreshInterval = 0;  // below the range: a second
    dialog_->ExecuteCommand(ID_DEVICE_INFORMATION);
    EXPECT_EQ(loop_.timerCalls, (std::vector<std::string>{"Start 5 5000", "Stop 5", "Start 5 2000",
                                                          "Stop 5", "Start 5 1000"}));
}

TEST_F(DeviceInfoPageTest, WithoutAChosenCardNothingChanges) {
    dialog_->ExecuteCommand(ID_DEVICE_INFORMATION);
    dialog_->Adapters().ClearAdapters();
    view_->texts.clear();
    dialog_->DeviceInfo()->RefreshDeviceInfo();
    EXPECT_TRUE(view_->texts.empty());
    EXPECT_TRUE(Contains(log_.Messages(),
                         "App: Warn: Device NULL when refreshing device information page"));
}

}  // namespace
}  // namespace tarvik::testing
