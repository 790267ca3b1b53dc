#include "platform/driverio/ApcQueue.h"

#include <utility>

namespace tarvik::driverio {

void ApcQueue::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    posted_.notify_all();
}

std::size_t ApcQueue::RunOrWait(std::chrono::milliseconds timeout) {
    std::deque<std::function<void()>> ready;
    {
        std::unique_lock lock(mutex_);
        auto hasCalls = [this] { return !calls_.empty(); };
        if (timeout.count() < 0) {
            posted_.wait(lock, hasCalls);
        } else {
            posted_.wait_for(lock, timeout, hasCalls);
        }
        ready.swap(calls_);
    }
    for (auto& call : ready) call();
    return ready.size();
}

std::size_t ApcQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
}

std::shared_ptr<ApcQueue> CurrentThreadApcQueue() {
    thread_local std::shared_ptr<ApcQueue> queue = std::make_shared<ApcQueue>();
    return queue;
}

bool WaitAlertable(int timeoutMs) {
    return CurrentThreadApcQueue()->RunOrWait(std::chrono::milliseconds(timeoutMs)) > 0;
}

}  // namespace tarvik::driverio
