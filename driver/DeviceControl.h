// What the driver device does with one I/O control request: the protocol
// driver's five codes on a driver handle, IOCTL_NDIS_QUERY_GLOBAL_STATS on
// an adapter's own device.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "driver/Backend.h"
#include "platform/driverio/DriverProtocol.h"

namespace tarvik::driver {

// The state of one open handle.
struct HandleState {
    bool opened = false;
    driverio::DeviceTarget target = driverio::DeviceTarget::Control;
    // The adapter the handle is tied to (driver: after "open device";
    // direct: from the open); empty while untied.
    std::string device;
};

struct ControlResult {
    std::uint32_t status = 0;
    std::uint32_t bytesReturned = 0;
    std::vector<std::uint8_t> output;  // at most the request's capacity
};

ControlResult RunDeviceControl(IBackend& backend, HandleState& handle, std::uint32_t code,
                               std::span<const std::uint8_t> input, std::uint32_t capacity);

// The adapter whose device name is `\DEVICE\` (any 8 characters) followed
// by `name`, compared without regard to ASCII case; empty when none.
std::string FindDirectDevice(const IBackend& backend, const std::string& name);

// UTF-16LE device name as the open request carries it (each 8-bit character
// sign-extended) back to 8 bits. False when a unit is no such character.
bool NarrowDeviceName(std::span<const std::uint8_t> utf16, std::string& out);

}  // namespace tarvik::driver
