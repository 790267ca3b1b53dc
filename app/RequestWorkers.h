// A few worker threads for web requests, fed from a bounded queue: however
// many rows want a vendor, at most `threads` requests run at once. Each
// worker keeps its own HTTP client, so a server that keeps connections open
// is asked over one connection. Threads start on first use.
//
// Destruction cancels the running requests (libcurl's progress check),
// drops the queued ones and joins the threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/HttpClient.h"

namespace tarvik {

class CRequestWorkers {
  public:
    using Job = std::function<void(CHttpClient&)>;

    CRequestWorkers(HttpLimits limits, std::size_t threads, std::size_t maxQueued);
    ~CRequestWorkers();
    CRequestWorkers(const CRequestWorkers&) = delete;
    CRequestWorkers& operator=(const CRequestWorkers&) = delete;

    // False when the queue is full: the job was not taken.
    bool Submit(Job job);

  private:
    void Run();

    const HttpLimits limits_;
    const std::size_t maxThreads_;
    const std::size_t maxQueued_;
    std::atomic<bool> stopping_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::size_t idle_ = 0;
    std::vector<std::thread> threads_;
};

}  // namespace tarvik
