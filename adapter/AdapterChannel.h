// One adapter's channel to the driver: its handle, its gate and its device
// name, opened and closed as the adapter object does, and the query path
// the settings choose. CAdapter owns one.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "adapter/DriverChannel.h"
#include "adapter/DriverGate.h"
#include "core/ResultCodes.h"

namespace tarvik {

class CApplicationOptions;

class CAdapterChannel {
  public:
    explicit CAdapterChannel(std::string deviceName) : deviceName_(std::move(deviceName)) {}

    // Opens the driver and ties it to the device. 0, or -1 when already
    // open, when the driver cannot be opened, or when the device open fails
    // (the handle then stays recorded, without a gate).
    Result Open();
    // Closes the handle if valid and marks it invalid.
    void CloseHandle();

    // The handle (null when invalid) and the gate (null until an open
    // succeeded; kept from then on, so that requests in flight never lose it).
    DriverHandle Handle() const;
    CDriverGate* Gate() const;
    const std::string& DeviceName() const { return deviceName_; }

    // Direct path when UseGlobalStatsForQueries is nonzero, else the driver path.
    Result QueryAdapterOid(const CApplicationOptions& settings, std::uint32_t oid, void* buffer,
                           std::uint32_t length, std::uint32_t* bytesReturned) const;
    Result SetAdapterOid(std::uint32_t oid, const void* data, std::uint32_t length,
                         std::uint32_t* bytesReturned) const;

  private:
    const std::string deviceName_;
    mutable std::mutex mutex_;  // guards handle_ and gate_ (the pointer, not the gate)
    DriverHandle handle_;
    std::unique_ptr<CDriverGate> gate_;
};

}  // namespace tarvik
