#include "adapter/AdapterChannel.h"

#include "core/ApplicationOptions.h"
#include "core/EventLog.h"

namespace tarvik {

Result CAdapterChannel::Open() {
    LogInfo("Opening driver handle on %s", deviceName_.c_str());
    std::lock_guard lock(mutex_);
    if (handle_) {
        LogInfo("Driver handle already open!");
        return RES_FAILURE;
    }
    handle_ = OpenDriver();
    if (!handle_) {
        LogInfo("Could not connect to the driver, %u", LastDriverError());
        return RES_FAILURE;
    }
    if (!OpenDevice(handle_, deviceName_)) {
        LogInfo("Could not connect to the device %s", deviceName_.c_str());
        return RES_FAILURE;
    }
    if (!gate_) gate_ = std::make_unique<CDriverGate>();
    return RES_SUCCESS;
}

void CAdapterChannel::CloseHandle() {
    LogInfo("Closing driver handle on %s", deviceName_.c_str());
    DriverHandle closing;
    {
        std::lock_guard lock(mutex_);
        closing.swap(handle_);
    }
    if (closing) closing->Close();
}

DriverHandle CAdapterChannel::Handle() const {
    std::lock_guard lock(mutex_);
    return handle_;
}

CDriverGate* CAdapterChannel::Gate() const {
    std::lock_guard lock(mutex_);
    return gate_.get();
}

Result CAdapterChannel::QueryAdapterOid(const CApplicationOptions& settings, std::uint32_t oid,
                                        void* buffer, std::uint32_t length,
                                        std::uint32_t* bytesReturned) const {
    if (settings.UseGlobalStatsForQueries != 0) {
        std::u16string wide;
        for (char c : deviceName_) wide.push_back(static_cast<unsigned char>(c));
        return QueryOidDirect(wide, oid, buffer, length, bytesReturned);
    }
    return QueryOid(Handle(), Gate(), oid, buffer, length, bytesReturned);
}

Result CAdapterChannel::SetAdapterOid(std::uint32_t oid, const void* data, std::uint32_t length,
                                      std::uint32_t* bytesReturned) const {
    return SetOid(Handle(), Gate(), oid, data, length, bytesReturned);
}

}  // namespace tarvik
