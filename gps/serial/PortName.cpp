#include "gps/serial/PortName.h"

#include <cctype>

#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr int kHighestPort = 256;

// n of "COMn" (case-insensitive, no leading zero), 0 otherwise.
int PortNumberOf(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    }
    if (name[3] == '0') return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number <= kHighestPort ? number : 0;
}

}  // namespace

Result ResolvePortName(RegistryStore& user, RegistryStore& machine, const std::string& name,
                       std::string& path, std::string& problem) {
    const std::string devicePrefix = "\\\\.\\";
    std::string bare = name.starts_with(devicePrefix) ? name.substr(devicePrefix.size()) : name;
    std::string mapped;
    const char* hive = "user";
    if (!bare.empty()) {
        mapped = user.ReadString(kSerialPortsKey, bare, "");
        if (mapped.empty()) {
            mapped = machine.ReadString(kSerialPortsKey, bare, "");
            hive = "machine";
        }
    }
    if (!mapped.empty()) {
        if (mapped.front() != '/') {
            problem = "The serial port " + bare + " is mapped to \"" + mapped + "\" in " +
                      kSerialPortsKey + " of the " + hive +
                      " hive, which is not an absolute device path.";
            return ERROR_FILE_NOT_FOUND;
        }
        path = mapped;
        return RES_SUCCESS;
    }
    const int number = PortNumberOf(bare);
    if (number == 0) {
        problem = "There is no serial port named \"" + name + "\"; name it COM1 to COM256, " +
                  "or map it to a device in " + kSerialPortsKey + " of the user or machine hive.";
        return ERROR_FILE_NOT_FOUND;
    }
    path = "/dev/ttyS" + std::to_string(number - 1);
    return RES_SUCCESS;
}

}  // namespace tarvik
