// Asynchronous procedure calls: completions queued to one thread and run
// only when that thread waits alertably, as read completions are on the
// system the design comes from.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tarvik::driverio {

class ApcQueue {
  public:
    // Any thread may post; the call runs later on the owning thread.
    void Post(std::function<void()> call);
    // Runs what is queued; with nothing queued, waits up to `timeout` for a
    // call (a negative timeout waits without bound). Returns the number run.
    std::size_t RunOrWait(std::chrono::milliseconds timeout);
    std::size_t Pending() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> calls_;
};

// The calling thread's queue, created on first use.
std::shared_ptr<ApcQueue> CurrentThreadApcQueue();

// An alertable sleep: runs the calling thread's queued completions, waiting
// up to `timeoutMs` (-1: no bound) for one to arrive. True when completions
// ran (the wait ended for I/O completion), false when it timed out.
bool WaitAlertable(int timeoutMs);

}  // namespace tarvik::driverio
