// Port names to device paths. "COMn" (also written "\\.\COMn") is looked up
// as a string value named "COMn" under SOFTWARE\Tarvik\Ports of the machine
// hive, holding an absolute device path such as /dev/ttyUSB0 or a
// /dev/serial/by-id/ link; without an entry COMn is /dev/ttyS{n-1}.
#pragma once

#include <string>

#include "core/ResultCodes.h"

namespace tarvik {

class RegistryStore;

inline constexpr const char* kSerialPortsKey = "SOFTWARE\\Tarvik\\Ports";

// RES_SUCCESS with `path` set, or ERROR_FILE_NOT_FOUND for a name that is
// neither in the map nor COM1-COM256, or whose entry is not an absolute path;
// `problem` then says why in a sentence.
Result ResolvePortName(RegistryStore& machine, const std::string& name, std::string& path,
                       std::string& problem);

}  // namespace tarvik
