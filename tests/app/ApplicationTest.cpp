#include "app/Application.h"

#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/NetworkColumnRules.h"
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
        CNetworkColumnRules columns(application.Options(), application.Networks());
        const MainWindowSeams seams{view, loop, table, columns, combo, &statusLine};
        CMainDialog& dialog = application.CreateMainDialog(seams);
        // Its connection procedure joins: Connect is offered for a selected row.
        view.selected = std::make_shared<CBssid>();
        EXPECT_TRUE(dialog.QueryCommandState(ID_NETWORK_CONNECT).enabled);

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

}  // namespace
}  // namespace tarvik
