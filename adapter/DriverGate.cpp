#include "adapter/DriverGate.h"

namespace tarvik {

bool CDriverGate::Take(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    if (!freed_.wait_for(lock, bound, [this] { return !taken_; })) return false;
    taken_ = true;
    return true;
}

void CDriverGate::Free() {
    {
        std::lock_guard lock(mutex_);
        taken_ = false;
    }
    freed_.notify_one();
}

}  // namespace tarvik
