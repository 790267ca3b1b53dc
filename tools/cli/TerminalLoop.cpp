#include "tools/cli/TerminalLoop.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tarvik::cli {
namespace {

// The longest wait between looks at the stop request.
constexpr std::chrono::milliseconds kLongestWait{100};
// As the window's timers: a tiny period must not spin the loop.
constexpr std::chrono::milliseconds kShortestPeriod{10};

}  // namespace

CTerminalLoop::CTerminalLoop() : owner_(std::this_thread::get_id()) {}

void CTerminalLoop::StartTimer(int id, std::chrono::milliseconds period) {
    period = std::max(period, kShortestPeriod);
    timers_[id] = Timer{period, Clock::now() + period, {}};
}

void CTerminalLoop::StopTimer(int id) {
    timers_.erase(id);
}

void CTerminalLoop::Every(std::chrono::milliseconds period, std::function<void()> work) {
    period = std::max(period, kShortestPeriod);
    timers_[--ownTimers_] = Timer{period, Clock::now(), std::move(work)};
}

void CTerminalLoop::Post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        queue_.push_back(std::move(work));
    }
    wake_.notify_all();
}

void CTerminalLoop::Send(std::function<void()> work) {
    if (IsGuiThread()) {
        work();
        return;
    }
    auto finished = std::make_shared<bool>(false);
    std::unique_lock lock(mutex_);
    if (closed_) return;
    queue_.push_back([this, finished, work = std::move(work)] {
        work();
        {
            std::lock_guard done(mutex_);
            *finished = true;
        }
        wake_.notify_all();
    });
    wake_.notify_all();
    wake_.wait(lock, [&] { return *finished || closed_; });
}

void CTerminalLoop::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
    }
    timers_.clear();
    wake_.notify_all();
}

CTerminalLoop::Clock::time_point CTerminalLoop::NextDue() const {
    Clock::time_point next = Clock::time_point::max();
    for (const auto& [id, timer] : timers_) next = std::min(next, timer.next);
    return next;
}

// Each due timer once, earliest first; a timer that a tick stops or restarts
// is looked up again rather than kept.
void CTerminalLoop::RunDueTimers() {
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<Clock::time_point, int>> due;
    for (const auto& [id, timer] : timers_) {
        if (timer.next <= now) due.emplace_back(timer.next, id);
    }
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
        const auto found = timers_.find(id);
        if (found == timers_.end() || found->second.next != when) continue;
        Timer& timer = found->second;
        timer.next = std::max(timer.next + timer.period, now);
        if (timer.work) {
            const std::function<void()> work = timer.work;
            work();
        } else if (tick_) {
            tick_(id);
        }
    }
}

void CTerminalLoop::RunQueued(Clock::time_point until) {
    std::deque<std::function<void()>> ready;
    {
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, until, [this] { return !queue_.empty() || closed_ || stop_; });
        ready.swap(queue_);
    }
    for (auto& work : ready) work();
}

void CTerminalLoop::Run(Clock::time_point deadline, const std::function<bool()>& done) {
    while (!stop_ && !(done && done())) {
        {
            std::lock_guard lock(mutex_);
            if (closed_) return;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return;
        RunDueTimers();
        if (done && done()) return;
        const Clock::time_point until = std::min({NextDue(), deadline, now + kLongestWait});
        RunQueued(until);
    }
}

}  // namespace tarvik::cli
