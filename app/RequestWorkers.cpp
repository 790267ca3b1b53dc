#include "app/RequestWorkers.h"

namespace tarvik {

CRequestWorkers::CRequestWorkers(HttpLimits limits, std::size_t threads, std::size_t maxQueued)
    : limits_(limits), maxThreads_(threads == 0 ? 1 : threads), maxQueued_(maxQueued) {}

CRequestWorkers::~CRequestWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

bool CRequestWorkers::Submit(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || queue_.size() >= maxQueued_) return false;
        queue_.push_back(std::move(job));
        if (idle_ == 0 && threads_.size() < maxThreads_) {
            threads_.emplace_back([this] { Run(); });
        }
    }
    wake_.notify_one();
    return true;
}

void CRequestWorkers::Run() {
    CHttpClient client(limits_, &stopping_);
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        --idle_;
        if (stopping_) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        job(client);
        lock.lock();
    }
}

}  // namespace tarvik
