// The controller's main loop without a toolkit: timers and queued work run on
// the thread that created the loop, inside Run(); other threads post work or
// send it and wait. A stop request (a signal handler may make it) ends Run()
// within a tenth of a second.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "app/MainLoop.h"

namespace tarvik::cli {

class CTerminalLoop : public IMainLoop {
  public:
    using Clock = std::chrono::steady_clock;

    CTerminalLoop();
    ~CTerminalLoop() override { Close(); }
    CTerminalLoop(const CTerminalLoop&) = delete;
    CTerminalLoop& operator=(const CTerminalLoop&) = delete;

    // Where the controller's ticks go.
    void SetTickHandler(std::function<void(int)> tick) { tick_ = std::move(tick); }

    void StartTimer(int id, std::chrono::milliseconds period) override;
    void StopTimer(int id) override;
    bool IsGuiThread() const override { return std::this_thread::get_id() == owner_; }
    // Dropped once the loop is closed; a sender waiting then returns.
    void Send(std::function<void()> work) override;
    void Post(std::function<void()> work) override;

    // A timer of the front end itself, apart from the controller's ids.
    void Every(std::chrono::milliseconds period, std::function<void()> work);

    // Runs timers and queued work until Stop(), `deadline`, or `done` (asked
    // after each piece of work) says so.
    void Run(Clock::time_point deadline, const std::function<bool()>& done);
    // Any thread; async-signal-safe.
    void Stop() { stop_ = true; }
    // Stops timers, drops queued work and releases waiting senders for good.
    void Close();

  private:
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point next;
        std::function<void()> work;  // empty: the controller's tick
    };

    void RunDueTimers();
    void RunQueued(Clock::time_point until);
    Clock::time_point NextDue() const;

    std::thread::id owner_;
    std::function<void(int)> tick_;
    // Controller timers by id; the front end's own get negative ids.
    std::map<int, Timer> timers_;
    int ownTimers_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool closed_ = false;
    std::atomic<bool> stop_ = false;
};

}  // namespace tarvik::cli
