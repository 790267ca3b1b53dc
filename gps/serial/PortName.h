// Port names to device paths. "COMn" (also written "\\.\COMn") is looked up
// as a string value named "COMn" under SOFTWARE\Tarvik\Ports, first in the
// user's hive (a user maps a port without root), then in the machine hive;
// the value holds an absolute device path such as /dev/ttyUSB0 or a
// /dev/serial/by-id/ link. Without an entry in either COMn is /dev/ttyS{n-1}.
#pragma once

#include <string>

#include "core/ResultCodes.h"

namespace tarvik {

class RegistryStore;

inline constexpr const char* kSerialPortsKey = "SOFTWARE\\Tarvik\\Ports";

// RES_SUCCESS with `path` set, or ERROR_FILE_NOT_FOUND for a name that is
// neither in a map nor COM1-COM256, or whose first entry found is not an
// absolute path; `problem` then says why in a sentence.
Result ResolvePortName(RegistryStore& user, RegistryStore& machine, const std::string& name,
                       std::string& path, std::string& problem);

}  // namespace tarvik
