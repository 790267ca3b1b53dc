// A serial port with a listener thread that waits for port events and hands
// each to OnEvent (on the listener thread) with the line errors seen with it.
// A stop wakes the listener's wait at once; the thread is never killed.
// A device that goes away is reported once (EV_ERR with CE_IOE) and ends the
// listener, whose result then says why (GetListenerResult); a listener that
// ends by itself logs a warning naming the port and the reason.
//
// A class that implements OnEvent must call Close in its own destructor, so
// the listener has stopped before the object it calls into is gone.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "gps/serial/Serial.h"

namespace tarvik {

class CSerialEx : public CSerial {
  public:
    CSerialEx() = default;
    ~CSerialEx() override;

    // Opens for overlapped I/O; starts the listener when asked.
    Result Open(const std::string& name, std::uint32_t inQueue = 0, std::uint32_t outQueue = 0,
                bool startListener = true) override;
    // Stops the listener (waiting as long as it takes), then closes the port.
    Result Close() override;

    Result StartListener();
    // ERROR_TIMEOUT when the listener did not end within `timeout` (ms or
    // kInfinite); it is then still stopping, and a later call or Close waits
    // for it again.
    Result StopListener(std::uint32_t timeout = kInfinite);

    bool IsListening();
    // Waits until the listener has ended by itself (device gone, failed
    // wait) or was stopped; its result.
    Result WaitForListenerEnd();
    // The listener's result once it ended, RES_SUCCESS while it runs.
    Result GetListenerResult();

  protected:
    virtual void OnEvent(std::uint32_t events, std::uint32_t errors) = 0;

  private:
    void Listen();
    void Finish(Result result);

    std::atomic<bool> stop_ = false;
    std::thread listener_;  // touched only by the thread that opens and closes
    std::mutex stateMutex_;
    std::condition_variable ended_;
    bool running_ = false;
    Result listenerResult_ = RES_SUCCESS;
};

}  // namespace tarvik
