// Fakes for the main window's GUI seams: a view that records what it was
// told, a main loop that keeps timers and queued work for the test thread to
// run, and a scan-file service and connection procedure with set answers.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ConnectionActions.h"
#include "app/MainLoop.h"
#include "app/MainWindowView.h"
#include "app/ScanFileService.h"

namespace tarvik::testing {

// Every call is one line in `calls`, in order.
class FakeMainWindow : public IMainWindowView {
  public:
    std::vector<std::string> calls;
    bool hasTray = true;
    SaveAnswer saveAnswer = SaveAnswer::No;
    BssidRecord selected;
    std::vector<std::string> documents;
    bool canOpenDocuments = true;
    MainWindowLayout lastLayout;

    void SetScanningButtonText(const std::string& text) override { Record("Button " + text); }
    void SetControlsEnabled(bool enabled) override {
        Record(enabled ? "EnableControls" : "DisableControls");
    }
    void PlaceControls(const MainWindowLayout& layout) override {
        Record("PlaceControls", lastLayout = layout);
    }
    void ClientSize(int& width, int& height) const override { width = 640, height = 480; }
    void AddAboutToSystemMenu(const std::string& text) override { Record("SystemMenu " + text); }
    bool HasSystemTray() const override { return hasTray; }
    void AddTrayIcon(const std::string& tooltip) override { Record("AddTray " + tooltip); }
    void RemoveTrayIcon() override { Record("RemoveTray"); }
    void ShowNormalAndActivate() override { Record("Show"); }
    void HideWindow() override { Record("Hide"); }
    void MinimizeWindow() override { Record("Minimize"); }
    void EndDialog() override { Record("EndDialog"); }
    SaveAnswer AskSaveScanResults() override { return Record("AskSave", saveAnswer); }
    void ShowAboutDialog() override { Record("About"); }
    void ShowCreditsDialog() override { Record("Credits"); }
    void ShowColumnsDialog() override { Record("Columns"); }
    void DestroyModelessDialogs() override { Record("DestroyDialogs"); }
    void SetTableGridLines(bool on) override { Record(on ? "GridLines on" : "GridLines off"); }
    void RestoreColumnLayout() override { Record("RestoreColumns"); }
    void SaveColumnLayout() override { Record("SaveColumns"); }
    BssidRecord SelectedRecord() const override { return selected; }
    bool OpenDocument(const std::string& path) override {
        return documents.push_back(path), canOpenDocuments;
    }

  private:
    template <typename Answer = bool>
    Answer Record(std::string call, Answer answer = {}) {
        calls.push_back(std::move(call));
        return answer;
    }
};

// Timers are only recorded; the test calls OnTimer itself. Work posted or
// sent from other threads waits until the test thread runs it.
class FakeMainLoop : public IMainLoop {
  public:
    std::vector<std::string> timerCalls;

    void StartTimer(int id, std::chrono::milliseconds period) override {
        timerCalls.push_back("Start " + std::to_string(id) + " " + std::to_string(period.count()));
    }
    void StopTimer(int id) override { timerCalls.push_back("Stop " + std::to_string(id)); }
    bool IsGuiThread() const override { return std::this_thread::get_id() == guiThread_; }
    void Post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    void Send(std::function<void()> work) override {
        std::promise<void> done;
        ++sendCount_;
        Post([&] {
            work();
            done.set_value();
        });
        done.get_future().wait();
    }
    // Runs what is queued now; returns how many items ran.
    int RunQueued() {
        std::deque<std::function<void()>> ready;
        {
            std::lock_guard lock(mutex_);
            ready.swap(queue_);
        }
        for (auto& work : ready) work();
        return static_cast<int>(ready.size());
    }
    // Runs queued work until `finished` holds (checked between items).
    void RunUntil(const std::function<bool()>& finished) {
        while (!finished()) {
            if (RunQueued() == 0) std::this_thread::yield();
        }
    }
    int SendCount() const { return sendCount_; }

  private:
    std::atomic<int> sendCount_ = 0;
    std::thread::id guiThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

class FakeScanFiles : public IScanFileService {
  public:
    bool fileOpen = false;
    bool autoSave = false;
    bool closeSucceeds = true;
    bool saveAsSucceeds = true;
    std::vector<std::string> calls;

    bool IsFileOpen() const override { return fileOpen; }
    bool IsAutoSaveOn() const override { return autoSave; }
    void SaveOpenFile() override { calls.push_back("SaveOpenFile"); }
    bool CloseFile(bool saveWithoutAsking) override {
        return calls.push_back(saveWithoutAsking ? "CloseFile save" : "CloseFile ask"),
               closeSucceeds;
    }
    bool SaveAs() override { return calls.push_back("SaveAs"), saveAsSucceeds; }
};

class FakeConnection : public IConnectionActions {
  public:
    std::vector<std::string> calls;
    Result ConnectToBssid(const BssidRecord&, const CNetworkKey*) override {
        calls.push_back("Connect");
        return RES_SUCCESS;
    }
    void Disconnect() override { calls.push_back("Disconnect"); }
};

// Counts table refreshes: the scan cycle shows its counts after each one.
class CountingFilter : public INetworkFilter {
  public:
    int refreshes = 0;
    bool PassesFilter(CBssid&) override { return true; }
    void ShowCounts(const TableCounts&) override { ++refreshes; }
};

}  // namespace tarvik::testing
