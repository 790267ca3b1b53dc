#include "platform/driverio/DriverSocketPath.h"

#include <unistd.h>

#include <strings.h>
#include <cstdlib>

namespace tarvik::driverio {
namespace {

constexpr const char* kDriverDeviceName = "TarvikP";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

std::string OverridePath() {
    const char* value = std::getenv(kDriverSocketEnv);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string UserSocketPath() {
    if (std::string forced = OverridePath(); !forced.empty()) return forced;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/tarvik/driver.sock";
    }
    return "/tmp/tarvik-" + std::to_string(getuid()) + "/driver.sock";
}

std::string SystemSocketPath() {
    if (std::string forced = OverridePath(); !forced.empty()) return forced;
    return "/run/tarvik/driver.sock";
}

bool ResolveDeviceName(const std::string& windowsName, DeviceAddress& out) {
    const std::string local = "\\\\.\\";
    if (!StartsWithNoCase(windowsName, local)) return false;
    std::string rest = windowsName.substr(local.size());
    const std::string globals = "Globals\\";
    if (StartsWithNoCase(rest, globals)) {
        out.socketPath = SystemSocketPath();
        rest = rest.substr(globals.size());
    } else {
        out.socketPath = UserSocketPath();
    }
    if (rest.empty() || rest.find('\\') != std::string::npos) return false;
    if (strcasecmp(rest.c_str(), kDriverDeviceName) == 0) {
        out.target = DeviceTarget::Driver;
        out.name.clear();
    } else {
        out.target = DeviceTarget::Direct;
        out.name = rest;
    }
    return true;
}

}  // namespace tarvik::driverio
