#include "app/WzcService.h"

#include <cstdint>

#include "platform/driverio/DeviceFile.h"
#include "platform/driverio/Win32Status.h"

namespace tarvik {

bool CDriverWzcService::IsRunning() {
    std::uint32_t error = 0;
    const auto control = driverio::CDeviceFile::OpenControl(error);
    if (!control) return true;
    bool running = false;
    if (control->QueryService(running) != driverio::kStatusSuccess) return true;
    return running;
}

void CDriverWzcService::Start() {
    std::uint32_t error = 0;
    if (const auto control = driverio::CDeviceFile::OpenControl(error)) control->StartService();
}

void CDriverWzcService::Stop() {
    std::uint32_t error = 0;
    if (const auto control = driverio::CDeviceFile::OpenControl(error)) control->StopService();
}

}  // namespace tarvik
