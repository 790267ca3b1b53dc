// The per-adapter driver gate: serialises driver requests between the main
// thread, the connection worker and the receive thread. Waiting and taking
// are one step, bounded in time; a request that gives up goes ahead without
// the gate, so a gate that is never freed costs each later request one bound.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tarvik {

inline constexpr std::chrono::milliseconds kDriverGateBound{1000};

class CDriverGate {
  public:
    // True when taken within `bound`; false when it stayed taken.
    bool Take(std::chrono::milliseconds bound = kDriverGateBound);
    void Free();

  private:
    std::mutex mutex_;
    std::condition_variable freed_;
    bool taken_ = false;
};

}  // namespace tarvik
