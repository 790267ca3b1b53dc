// Shared scaffolding of the adapter tests: a combo box that records what it
// was told, the main loop's stand-in, and log-line counting.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../core/LogCapture.h"
#include "adapter/AdapterList.h"
#include "adapter/MediaEvents.h"

namespace tarvik::testing {

struct FakeCombo : IAdapterCombo {
    struct Item {
        std::string text;
        CAdapter* adapter;
    };
    std::vector<Item> items;
    int selection = -1;

    void ResetContent() override {
        items.clear();
        selection = -1;
    }
    int AddItem(const std::string& text, CAdapter* adapter) override {
        items.push_back({text, adapter});
        return static_cast<int>(items.size()) - 1;
    }
    void SetCurrentSelection(int index) override { selection = index; }
    int GetCurrentSelection() const override { return selection; }
    std::string GetItemText(int index) const override {
        return index >= 0 && index < static_cast<int>(items.size()) ? items[index].text : "";
    }
};

// The main loop's stand-in: work queued from any thread, run when pumped.
class QueueDispatcher : public IEventDispatcher {
  public:
    void Post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    void Pump() {
        for (std::deque<std::function<void()>> batch;; batch.clear()) {
            std::unique_lock lock(mutex_);
            batch.swap(queue_);
            lock.unlock();
            if (batch.empty()) return;
            for (auto& work : batch) work();
        }
    }
    // Pumps until `done` holds, giving up after ten seconds; whether it held.
    bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

// Runs `wait` on a worker thread while this thread pumps the dispatcher.
inline Result RunWhilePumping(QueueDispatcher& dispatcher, const std::function<Result()>& wait) {
    std::atomic<bool> done = false;
    Result result = 0;
    std::thread worker([&] {
        result = wait();
        done = true;
    });
    dispatcher.PumpUntil([&] { return done.load(); });
    worker.join();
    return result;
}

// Polls `done` for up to five seconds.
inline bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 100 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline std::size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

inline std::size_t CountStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

}  // namespace tarvik::testing
