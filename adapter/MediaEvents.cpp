#include "adapter/MediaEvents.h"

#include <algorithm>

#include "core/EventLog.h"

namespace tarvik {

void CMediaEventSink::Indicate(bool connected, const std::string& instanceName) {
    if (instanceName != instanceName_) return;
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
    std::shared_ptr<driverio::CDeviceFile> service;
    {
        std::lock_guard lock(mutex_);
        service = std::move(service_);
    }
    // Joins the receive thread: no event callback runs after this.
    if (service) service->Close();
}

Result CMediaEventSource::StartWmi() {
    std::uint32_t error = 0;
    auto service = driverio::CDeviceFile::OpenControl(error);
    if (!service) {
        LogError("Could not connect to the root\\WMI, error %ld", static_cast<long>(error));
        return RES_FAILURE;
    }
    const std::uint32_t status =
        service->Subscribe([this](const driverio::DriverEvent& e) { OnEvent(e); });
    if (status != 0) {
        LogError("Could not connect to the root\\WMI, error %ld", static_cast<long>(status));
        return RES_FAILURE;
    }
    std::lock_guard lock(mutex_);
    service_ = std::move(service);
    return RES_SUCCESS;
}

bool CMediaEventSource::IsConnected() const {
    std::lock_guard lock(mutex_);
    return service_ != nullptr;
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
    if (event.kind == driverio::DriverEvent::Kind::AddressChange) return;
    const bool connected = event.kind == driverio::DriverEvent::Kind::MediaConnect;
    // Runs on the main thread, as the source's destruction does.
    std::weak_ptr<int> alive = alive_;
    dispatcher_.Post([this, alive, connected, name = event.name] {
        if (alive.lock()) Deliver(connected, name);
    });
}

void CMediaEventSource::Deliver(bool connected, const std::string& instanceName) {
    std::vector<std::shared_ptr<CMediaEventSink>> sinks;
    {
        std::lock_guard lock(mutex_);
        sinks = sinks_;
    }
    for (const auto& sink : sinks) sink->Indicate(connected, instanceName);
}

}  // namespace tarvik
