// The main-window controller over fake GUI seams, real settings and log in
// a temporary folder, and tarvik-driverd when a test starts it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../adapter/AdapterTestSupport.h"
#include "../adapter/DaemonProcess.h"
#include "MainWindowFakes.h"
#include "app/MainDialog.h"
#include "app/NetworkColumnRules.h"
#include "app/ProfileCommands.h"
#include "app/SignalGraphView.h"
#include "networks/MemoryNetworkTable.h"
#include "platform/RegistryStore.h"

namespace tarvik::testing {

// True when `expected` appears in `lines` in this order (other lines may
// come between).
inline bool InOrder(const std::vector<std::string>& lines,
                    const std::vector<std::string>& expected) {
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) {
            ADD_FAILURE() << "missing or out of order: " << line;
            return false;
        }
        ++at;
    }
    return true;
}

class MainDialogFixture : public ::testing::Test {
  protected:
    MainDialogFixture() {
        // No daemon unless a test starts one: the no-driver path.
        ::setenv("TARVIK_DRIVER_SOCKET", (folder_.Path() / "absent.sock").c_str(), 1);
    }
    ~MainDialogFixture() override {
        dialog_.reset();
        daemon_.reset();
        ::unsetenv("TARVIK_DRIVER_SOCKET");
    }

    void StartDaemon(const std::string& scenario = ScenarioPath("watch.json")) {
        daemon_ = std::make_unique<DaemonProcess>(scenario);
        ASSERT_TRUE(daemon_->ready());
    }

    void Create() {
        dialog_ = std::make_unique<CMainDialog>(MainDialogParts{
            .view = view_,
            .loop = loop_,
            .options = options_,
            .networks = networks_,
            .table = table_,
            .columns = columns_,
            .adapterCombo = combo_,
            .scanFiles = scanFilesUnderTest_ ? scanFilesUnderTest_ : &files_,
            .connection = connectionUnderTest_ ? connectionUnderTest_ : &connection_,
            .profiles = profiles_,
            .autoConnectProfiles = autoProfiles_,
            .adapterAddresses =
                [this](std::vector<std::string> addresses) {
                    addressCalls_.push_back(std::move(addresses));
                },
            .clock = [this] { return now_; },
            .adapterClaim = claim_.get(),
            .deviceInfoView = deviceInfoView_,
            .optionsView = optionsView_,
            .signalGraphs = signalGraphs_,
        });
        dialog_->ScanCycle().SetFilter(&filter_);
    }

    // Started against the daemon, with the initialisation's calls cleared.
    void StartRunning() {
        StartDaemon();
        Create();
        ASSERT_TRUE(dialog_->Initialize());
        view_.calls.clear();
        loop_.timerCalls.clear();
    }

    bool SettingsSaved() {
        return RegistryStore::CurrentUser()
            .ReadValue(options_.SectionKey("Settings"), "SoftRefreshInterval")
            .has_value();
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    CApplicationOptions options_{nullptr, (folder_.Path() / "bin" / "tarvik").string()};
    CNetworkList networks_;
    CMemoryNetworkTable table_;
    CNetworkColumnRules columns_{options_, networks_};
    FakeMainWindow view_;
    FakeMainLoop loop_;
    FakeCombo combo_;
    FakeScanFiles files_;
    IScanFileService* scanFilesUnderTest_ = nullptr;  // replaces the fake when set
    FakeConnection connection_;
    IConnectionActions* connectionUnderTest_ = nullptr;  // replaces the fake when set
    CountingFilter filter_;
    CProfileCommands* profiles_ = nullptr;
    CProfileList* autoProfiles_ = nullptr;
    // No signal-graph windows unless a test sets a factory.
    ISignalGraphFactory* signalGraphs_ = nullptr;
    std::vector<std::vector<std::string>> addressCalls_;
    std::int64_t now_ = 1000;               // seconds, for the re-enumeration guard
    std::unique_ptr<CAdapterClaim> claim_;  // none unless a test sets one
    DeviceInfoViewFactory deviceInfoView_ = nullptr;
    IOptionsDialogView* optionsView_ = nullptr;  // View, Options... disabled unless set
    std::unique_ptr<DaemonProcess> daemon_;
    std::unique_ptr<CMainDialog> dialog_;
};

}  // namespace tarvik::testing
