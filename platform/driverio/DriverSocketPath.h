// Where the driver device lives: the Windows device names the application
// opens, mapped to tarvik-driverd's Unix socket paths.
#pragma once

#include <string>

#include "platform/driverio/DriverProtocol.h"

namespace tarvik::driverio {

// Environment variable naming one socket path for every device name.
inline constexpr const char* kDriverSocketEnv = "TARVIK_DRIVER_SOCKET";

// `\\.\Name`: $XDG_RUNTIME_DIR/tarvik/driver.sock, else /tmp/tarvik-<uid>/driver.sock.
std::string UserSocketPath();
// `\\.\Globals\Name`: /run/tarvik/driver.sock.
std::string SystemSocketPath();

struct DeviceAddress {
    std::string socketPath;
    DeviceTarget target = DeviceTarget::Driver;
    std::string name;  // Direct: the adapter's device name less `\DEVICE\`
};

// Maps `\\.\TarvikP`, `\\.\Globals\TarvikP`, `\\.\{GUID}` and
// `\\.\Globals\{GUID}` (prefixes and the driver's name compared without
// regard to case). False for names of any other form.
bool ResolveDeviceName(const std::string& windowsName, DeviceAddress& out);

}  // namespace tarvik::driverio
