// Media-state notifications: the daemon's event stream stands in for the WMI
// service. One sink per wireless adapter writes its adapter's media status
// and signals its media event; events reach the sinks through the
// dispatcher, on the thread that runs the main loop.
//
// The stream is also this system's device-change notification: when the
// daemon goes away the source reconnects in the background, and once the
// daemon is back it runs the device-change handler on the main thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapter/ManualResetEvent.h"
#include "core/ResultCodes.h"
#include "platform/driverio/DeviceFile.h"

namespace tarvik {

// Runs posted work on the main thread (its message loop). Post is called
// from the driver connection's receive thread.
class IEventDispatcher {
  public:
    virtual ~IEventDispatcher() = default;
    virtual void Post(std::function<void()> work) = 0;
};

class CMediaEventSink {
  public:
    // `deviceName` is the adapter's own identity; events of other adapters,
    // two cards of one model among them, are ignored.
    CMediaEventSink(CManualResetEvent& mediaEvent, std::atomic<std::uint32_t>& mediaStatus,
                    std::string deviceName)
        : mediaEvent_(mediaEvent), mediaStatus_(mediaStatus), deviceName_(std::move(deviceName)) {}

    // Main thread. `instanceName` (the vendor text) is only logged.
    void Indicate(bool connected, const std::string& deviceName, const std::string& instanceName);

  private:
    CManualResetEvent& mediaEvent_;
    std::atomic<std::uint32_t>& mediaStatus_;
    const std::string deviceName_;
};

class CMediaEventSource {
  public:
    explicit CMediaEventSource(IEventDispatcher& dispatcher);
    ~CMediaEventSource();
    CMediaEventSource(const CMediaEventSource&) = delete;
    CMediaEventSource& operator=(const CMediaEventSource&) = delete;

    // Connects to the daemon's event stream: 0 or -1 (logged). After a
    // success the source reconnects by itself whenever the daemon restarts.
    Result StartWmi();
    bool IsConnected() const;
    // Runs on the main thread each time the daemon is back after going away.
    void SetDeviceChangeHandler(std::function<void()> handler);

    // The notification queries of one sink: installed until cancelled.
    void Install(const std::shared_ptr<CMediaEventSink>& sink);
    void Cancel(const std::shared_ptr<CMediaEventSink>& sink);

  private:
    std::shared_ptr<driverio::CDeviceFile> Connect(long& error);
    void OnEvent(const driverio::DriverEvent& event);
    void Deliver(bool connected, const std::string& device, const std::string& instanceName);
    void Reconnect();
    void ReportDeviceChange();

    IEventDispatcher& dispatcher_;
    std::shared_ptr<driverio::CDeviceFile> service_;
    mutable std::mutex mutex_;  // guards everything below
    std::vector<std::shared_ptr<CMediaEventSink>> sinks_;
    std::function<void()> deviceChange_;
    std::condition_variable wake_;  // link lost, or stopping
    bool lost_ = false;
    bool stopping_ = false;
    std::thread reconnector_;
    // Work still queued when the source is destroyed (both on the main
    // thread) finds this expired and does nothing.
    std::shared_ptr<int> alive_;
};

}  // namespace tarvik
