#include "app/Application.h"

#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/NetworkTableModel.h"
#include "core/StatusLine.h"

namespace tarvik {
namespace {

struct RecordingStatusLine : IStatusLineSink {
    std::vector<std::string> texts;
    void ShowStatusText(const std::string& text) override { texts.push_back(text); }
};

TEST(ApplicationTest, OwnsTheRecordsAndAttachesTheStatusLineForTheControllersLife) {
    TempFolder folder;
    LogCapture log(folder.Path());
    testing::FakeMainWindow view;
    testing::FakeMainLoop loop;
    testing::FakeCombo combo;
    CMemoryNetworkTable table;
    RecordingStatusLine statusLine;
    {
        CApplication application(std::make_unique<CApplicationOptions>(
            nullptr, (folder.Path() / "bin" / "tarvik").string()));
        testing::TestColumns columns(application.Options());
        EXPECT_EQ(application.MainDialog(), nullptr);
        const MainWindowSeams seams{view, loop, table, columns, combo, &statusLine};
        CMainDialog& dialog = application.CreateMainDialog(seams);
        EXPECT_EQ(&application.CreateMainDialog(seams), &dialog);
        EXPECT_EQ(application.MainDialog(), &dialog);

        SetStatusText("shown");
        ASSERT_EQ(statusLine.texts.size(), 1u);
        EXPECT_EQ(statusLine.texts[0].substr(9), "shown");  // after "HH:MM:SS "
        // The application's settings now decide about file logging.
        application.Options().FileLoggingEnabled = 0;
        LogInfo("not written");
        application.Options().FileLoggingEnabled = 1;
        LogInfo("written");
        SetLogSettings(&log.Settings());
    }
    SetStatusText("after");
    EXPECT_EQ(statusLine.texts.size(), 1u);
    const auto lines = log.Messages();
    EXPECT_FALSE(testing::Contains(lines, "App: Info: not written"));
    EXPECT_TRUE(testing::Contains(lines, "App: Info: written"));
}

// The composition a GUI uses: the table model fills from the daemon's
// networks at the one-second tick.
TEST(ApplicationTest, TableModelShowsTheDaemonsNetworks) {
    TempFolder folder;
    LogCapture log(folder.Path());
    testing::DaemonProcess daemon(testing::ScenarioPath("watch.json"));
    ASSERT_TRUE(daemon.ready());
    testing::FakeMainWindow view;
    testing::FakeMainLoop loop;
    testing::FakeCombo combo;
    CApplication application(std::make_unique<CApplicationOptions>(
        nullptr, (folder.Path() / "bin" / "tarvik").string()));
    SetLogSettings(&log.Settings());
    CNetworkColumnRules rules(application.Options(), application.Networks());
    CNetworkTableModel model(rules);
    CMainDialog& dialog =
        application.CreateMainDialog(MainWindowSeams{view, loop, model, rules, combo});
    ASSERT_TRUE(dialog.Initialize());
    dialog.ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    dialog.OnTimer(TIMER_CONNECTION_STATUS);

    ASSERT_EQ(model.RowCount(), application.Networks().Size());
    ASSERT_GT(model.RowCount(), 0u);
    std::vector<std::string> ssids;
    for (int row = 0; row < static_cast<int>(model.RowCount()); ++row) {
        ssids.emplace_back(model.Text(row, kTableColumnSsid));
    }
    EXPECT_TRUE(testing::Contains(ssids, "StayingNet"));
}

}  // namespace
}  // namespace tarvik
