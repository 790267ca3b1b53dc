// A manual-reset event: stays signalled until reset; waits are bounded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tarvik {

class CManualResetEvent {
  public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        changed_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    // True when signalled within `milliseconds`.
    bool WaitFor(unsigned milliseconds) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                 [this] { return signalled_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

}  // namespace tarvik
