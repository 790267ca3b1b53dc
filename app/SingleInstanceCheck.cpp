#include "app/SingleInstanceCheck.h"

#include "core/EventLog.h"

namespace tarvik {

bool RunSingleInstanceCheck(CSingleInstance& instance, std::function<void()> onShowRequest) {
    if (instance.Acquire(std::move(onShowRequest))) {
        if (!instance.FailureText().empty()) {
            LogWarn("Single-instance check unavailable: %s", instance.FailureText().c_str());
        }
        LogInfo("Previous instance not found, proceeding with initialization.");
        return true;
    }
    // Whether or not the running copy answered, this one quits.
    instance.RequestShow();
    LogError("Previous instance found, restoing and quitting.");
    return false;
}

}  // namespace tarvik
