// The main loop behind the controller: one QTimer per timer id on the GUI
// thread, and "send" (run on the GUI thread and wait) for the other threads.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "app/MainLoop.h"

namespace tarvik::ui {

class QtMainLoop : public QObject, public IMainLoop {
    Q_OBJECT
  public:
    // Lives on the thread that creates it, which is the GUI thread.
    explicit QtMainLoop(QObject* parent = nullptr);
    // Closes the loop first, so waiting senders return.
    ~QtMainLoop() override;
    QtMainLoop(const QtMainLoop&) = delete;
    QtMainLoop& operator=(const QtMainLoop&) = delete;

    // Where the ticks go: the timer's id.
    void SetTickHandler(std::function<void(int)> tick) { tick_ = std::move(tick); }

    // A running timer with the same id is restarted with the new period.
    void StartTimer(int id, std::chrono::milliseconds period) override;
    void StopTimer(int id) override;
    bool IsGuiThread() const override;
    // From another thread: posts `work` and waits until it has run, or until
    // the loop is closed (then the work is dropped).
    void Send(std::function<void()> work) override;
    // Queues `work` for the GUI thread without waiting; dropped once closed.
    void Post(std::function<void()> work) override;

    // Stops the timers and releases every waiting sender; later sends from
    // other threads return at once without running their work.
    void Close();

    bool IsTimerActive(int id) const;
    std::chrono::milliseconds TimerPeriod(int id) const;

  private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable done;
        bool closed = false;
    };

    std::function<void(int)> tick_;
    std::map<int, std::unique_ptr<QTimer>> timers_;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

}  // namespace tarvik::ui
