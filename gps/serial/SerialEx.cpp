#include "gps/serial/SerialEx.h"

#include <chrono>

#include "core/EventLog.h"
#include "gps/serial/SerialText.h"

namespace tarvik {

CSerialEx::~CSerialEx() {
    CSerialEx::Close();
}

Result CSerialEx::Open(const std::string& name, std::uint32_t inQueue, std::uint32_t outQueue,
                       bool startListener) {
    if (Result r = CSerial::Open(name, inQueue, outQueue, true)) return r;
    return startListener ? StartListener() : RES_SUCCESS;
}

Result CSerialEx::Close() {
    if (Result r = StopListener(kInfinite)) return r;
    return CSerial::Close();
}

Result CSerialEx::StartListener() {
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    std::lock_guard lock(stateMutex_);
    if (listener_.joinable()) {
        if (running_) return Record(RES_SUCCESS);
        listener_.join();  // ended by itself; a new one replaces it
    }
    stop_ = false;
    running_ = true;
    listenerResult_ = RES_SUCCESS;
    listener_ = std::thread([this] { Listen(); });
    return Record(RES_SUCCESS);
}

Result CSerialEx::StopListener(std::uint32_t timeout) {
    if (!listener_.joinable()) return Record(RES_SUCCESS);
    stop_ = true;
    SetMask(GetEventMask());  // ends the listener's pending wait
    {
        std::unique_lock lock(stateMutex_);
        const auto ended = [this] { return !running_; };
        if (timeout == kInfinite) {
            ended_.wait(lock, ended);
        } else if (!ended_.wait_for(lock, std::chrono::milliseconds(timeout), ended)) {
            return Record(ERROR_TIMEOUT);
        }
    }
    listener_.join();
    stop_ = false;
    return Record(RES_SUCCESS);
}

bool CSerialEx::IsListening() {
    std::lock_guard lock(stateMutex_);
    return running_;
}

Result CSerialEx::WaitForListenerEnd() {
    std::unique_lock lock(stateMutex_);
    ended_.wait(lock, [this] { return !running_; });
    return listenerResult_;
}

Result CSerialEx::GetListenerResult() {
    std::lock_guard lock(stateMutex_);
    return listenerResult_;
}

void CSerialEx::Finish(Result result) {
    std::lock_guard lock(stateMutex_);
    listenerResult_ = result;
    running_ = false;
    ended_.notify_all();
}

void CSerialEx::Listen() {
    CSerialRequest request;
    for (;;) {
        const Result waited = WaitEvent(&request, kInfinite);
        if (stop_) return Finish(RES_SUCCESS);
        if (waited != RES_SUCCESS) {
            LogWarn("The serial port %s stopped listening: %s.", GetName().c_str(),
                    DescribeSerialResult(waited).c_str());
            return Finish(waited);
        }
        const std::uint32_t events = TakeLastEvents() & GetEventMask();
        const std::uint32_t errors = TakeLineErrors();
        if (events != 0) OnEvent(events, errors);
    }
}

}  // namespace tarvik
