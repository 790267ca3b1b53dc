// The GUI thread's loop as the controller sees it: the main window's timers,
// and running work on the GUI thread from other threads.
#pragma once

#include <chrono>
#include <functional>

#include "adapter/MediaEvents.h"

namespace tarvik {

// IEventDispatcher::Post queues work for the GUI thread without waiting
// (media events arrive that way).
class IMainLoop : public IEventDispatcher {
  public:
    ~IMainLoop() override = default;
    // Starts (or restarts) timer `id`; each tick calls CMainDialog::OnTimer(id)
    // on the GUI thread.
    virtual void StartTimer(int id, std::chrono::milliseconds period) = 0;
    virtual void StopTimer(int id) = 0;
    virtual bool IsGuiThread() const = 0;
    // Runs `work` on the GUI thread and returns once it has run. Not called
    // on the GUI thread itself.
    virtual void Send(std::function<void()> work) = 0;
};

}  // namespace tarvik
