// Media-state notifications: the daemon's event stream stands in for the WMI
// service. One sink per wireless adapter writes its adapter's media status
// and signals its media event; events reach the sinks through the
// dispatcher, on the thread that runs the main loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
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
    // `instanceName` names the adapter in the events (its vendor text);
    // events for other adapters are ignored.
    CMediaEventSink(CManualResetEvent& mediaEvent, std::atomic<std::uint32_t>& mediaStatus,
                    std::string instanceName)
        : mediaEvent_(mediaEvent),
          mediaStatus_(mediaStatus),
          instanceName_(std::move(instanceName)) {}

    // Main thread.
    void Indicate(bool connected, const std::string& instanceName);

  private:
    CManualResetEvent& mediaEvent_;
    std::atomic<std::uint32_t>& mediaStatus_;
    const std::string instanceName_;
};

class CMediaEventSource {
  public:
    explicit CMediaEventSource(IEventDispatcher& dispatcher);
    ~CMediaEventSource();
    CMediaEventSource(const CMediaEventSource&) = delete;
    CMediaEventSource& operator=(const CMediaEventSource&) = delete;

    // Connects to the daemon's event stream: 0 or -1 (logged).
    Result StartWmi();
    bool IsConnected() const;

    // The notification queries of one sink: installed until cancelled.
    void Install(const std::shared_ptr<CMediaEventSink>& sink);
    void Cancel(const std::shared_ptr<CMediaEventSink>& sink);

  private:
    void OnEvent(const driverio::DriverEvent& event);
    void Deliver(bool connected, const std::string& instanceName);

    IEventDispatcher& dispatcher_;
    std::shared_ptr<driverio::CDeviceFile> service_;
    mutable std::mutex mutex_;  // guards sinks_ and service_
    std::vector<std::shared_ptr<CMediaEventSink>> sinks_;
    // Work still queued when the source is destroyed (both on the main
    // thread) finds this expired and does nothing.
    std::shared_ptr<int> alive_;
};

}  // namespace tarvik
