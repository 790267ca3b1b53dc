#include "adapter/MediaEvents.h"

#include <algorithm>

#include "core/EventLog.h"
#include "platform/driverio/ReplyDeadline.h"

namespace tarvik {

namespace {

// Between attempts to reach a daemon that went away.
constexpr auto kReconnectPause = std::chrono::milliseconds(500);
constexpr auto kReconnectBound = std::chrono::milliseconds(2000);

}  // namespace

void CMediaEventSink::Indicate(bool connected, const std::string& deviceName,
                               const std::string& instanceName) {
    if (deviceName != deviceName_) return;
    if (connected) {
        LogInfo("Got a connect on: %s", instanceName.c_str());
        mediaStatus_ = 0;
    } else {
        LogInfo("Got a disconnect on: %s", instanceName.c_str());
        mediaStatus_ = 1;
    }
    mediaEvent_.Set();
}

CMediaEventSource::CMediaEventSource(IEventDispatcher& dispatcher)
    : dispatcher_(dispatcher), alive_(std::make_shared<int>(0)) {}

CMediaEventSource::~CMediaEventSource() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (reconnector_.joinable()) reconnector_.join();
    std::shared_ptr<driverio::CDeviceFile> service;
    {
        std::lock_guard lock(mutex_);
        service = std::move(service_);
    }
    // Joins the receive thread: no event callback runs after this.
    if (service) service->Close();
}

std::shared_ptr<driverio::CDeviceFile> CMediaEventSource::Connect(long& error) {
    std::uint32_t status = 0;
    auto service = driverio::CDeviceFile::OpenControl(status);
    if (service) {
        status = service->Subscribe([this](const driverio::DriverEvent& e) { OnEvent(e); });
        if (status != 0) service.reset();
    }
    error = static_cast<long>(status);
    return service;
}

Result CMediaEventSource::StartWmi() {
    long error = 0;
    auto service = Connect(error);
    if (!service) {
        LogError("Could not connect to the root\\WMI, error %ld", error);
        return RES_FAILURE;
    }
    std::lock_guard lock(mutex_);
    service_ = std::move(service);
    if (!reconnector_.joinable()) reconnector_ = std::thread([this] { Reconnect(); });
    return RES_SUCCESS;
}

bool CMediaEventSource::IsConnected() const {
    std::lock_guard lock(mutex_);
    return service_ != nullptr;
}

void CMediaEventSource::SetDeviceChangeHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    deviceChange_ = std::move(handler);
}

void CMediaEventSource::Install(const std::shared_ptr<CMediaEventSink>& sink) {
    std::lock_guard lock(mutex_);
    sinks_.push_back(sink);
}

void CMediaEventSource::Cancel(const std::shared_ptr<CMediaEventSink>& sink) {
    std::lock_guard lock(mutex_);
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

void CMediaEventSource::OnEvent(const driverio::DriverEvent& event) {
    using Kind = driverio::DriverEvent::Kind;
    if (event.kind == Kind::LinkDown) {
        {
            std::lock_guard lock(mutex_);
            lost_ = true;
        }
        wake_.notify_all();
        return;
    }
    if (event.kind == Kind::AddressChange) return;
    const bool connected = event.kind == Kind::MediaConnect;
    // Runs on the main thread, as the source's destruction does.
    std::weak_ptr<int> alive = alive_;
    dispatcher_.Post([this, alive, connected, device = event.device, name = event.name] {
        if (alive.lock()) Deliver(connected, device, name);
    });
}

void CMediaEventSource::Deliver(bool connected, const std::string& device,
                                const std::string& instanceName) {
    std::vector<std::shared_ptr<CMediaEventSink>> sinks;
    {
        std::lock_guard lock(mutex_);
        sinks = sinks_;
    }
    for (const auto& sink : sinks) sink->Indicate(connected, device, instanceName);
}

// The reconnecting thread: sleeps until the link is lost, then tries the
// daemon every half second until it answers again or the source ends.
void CMediaEventSource::Reconnect() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return lost_ || stopping_; });
        if (stopping_) return;
        // The dead handle is closed outside the lock: its receive thread
        // may be reporting the loss through OnEvent right now.
        std::shared_ptr<driverio::CDeviceFile> dead = std::move(service_);
        lock.unlock();
        if (dead) dead->Close();
        dead.reset();
        lock.lock();
        lost_ = false;  // a loss from here on is the new link's
        while (!service_) {
            if (wake_.wait_for(lock, kReconnectPause, [this] { return stopping_; })) return;
            lock.unlock();
            long error = 0;
            std::shared_ptr<driverio::CDeviceFile> service;
            {
                // A daemon that accepts but does not answer is tried again later.
                const driverio::CReplyDeadline bound(kReconnectBound);
                service = Connect(error);
            }
            lock.lock();
            service_ = std::move(service);
        }
        lock.unlock();
        LogInfo("The driver is back, treating it as a device change");
        ReportDeviceChange();
        lock.lock();
    }
}

void CMediaEventSource::ReportDeviceChange() {
    std::weak_ptr<int> alive = alive_;
    dispatcher_.Post([this, alive] {
        if (!alive.lock()) return;
        std::function<void()> handler;
        {
            std::lock_guard lock(mutex_);
            handler = deviceChange_;
        }
        if (handler) handler();
    });
}

}  // namespace tarvik
