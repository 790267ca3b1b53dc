// The messages other threads send to the main window: each runs on the GUI
// thread, and the sender waits until it has been handled.
#include "app/MainDialog.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"

namespace tarvik {

void CMainDialog::RunOnGuiThread(const std::function<void()>& work) {
    if (loop_.IsGuiThread()) {
        work();
    } else {
        loop_.Send(work);
    }
}

void CMainDialog::SendLogText(const std::string& text, int level) {
    RunOnGuiThread([&] {
        switch (level) {
            case LOG_TEXT_INFO:
                LogInfo("%s", text.c_str());
                break;
            case LOG_TEXT_WARN:
                LogWarn("%s", text.c_str());
                break;
            case LOG_TEXT_ERROR:
                LogError("%s", text.c_str());
                break;
            default:
                break;
        }
    });
}

void CMainDialog::SendStatusText(const std::string& text) {
    RunOnGuiThread([&] { SetStatusText(text); });
}

void CMainDialog::SendConnectionStarted() {
    RunOnGuiThread([this] { OnConnectionStarted(); });
}

void CMainDialog::SendConnectionEnded() {
    RunOnGuiThread([this] { OnConnectionEnded(); });
}

void CMainDialog::SetConnectingRecord(BssidRecord record) {
    connectingRecord_ = std::move(record);
}

void CMainDialog::OnConnectionStarted() {
    if (connectingRecord_) connectingRecord_->SetConnectionStatus(STATUS_CONNECTING);
    savedAdapter_ = adapters_.Chosen();
    savedScanning_ = savedAdapter_ && savedAdapter_->IsScanning();
    if (savedAdapter_) savedAdapter_->SetScanning(false);
    view_.SetControlsEnabled(false);
    connecting_ = true;
    adapters_.SetConnectionInProgress(true);
    // The procedure kept "connect starting" up until now.
    adapters_.SetConnectStarting(false);
}

void CMainDialog::OnConnectionEnded() {
    // Neither the chooser nor a re-enumeration can replace the adapter while
    // a connection runs, so the saved one is still the chosen one.
    if (savedAdapter_ && savedAdapter_ == adapters_.Chosen()) {
        savedAdapter_->SetScanning(savedScanning_);
    }
    savedAdapter_ = nullptr;
    view_.SetControlsEnabled(true);
    connecting_ = false;
    adapters_.SetConnectionInProgress(false);
}

}  // namespace tarvik
