#include "gps/serial/SerialText.h"

#include <cerrno>
#include <utility>

#include "gps/serial/SerialDefs.h"

namespace tarvik {
namespace {

constexpr std::pair<int, Result> kErrnoResults[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},       {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},        {EPERM, ERROR_ACCESS_DENIED},
    {EBUSY, ERROR_ACCESS_DENIED},         {EWOULDBLOCK, ERROR_ACCESS_DENIED},
    {ENOTTY, ERROR_NOT_A_SERIAL_DEVICE},  {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
    {ENODEV, ERROR_DEVICE_NOT_CONNECTED}, {EIO, ERROR_DEVICE_NOT_CONNECTED},
    {EINVAL, ERROR_INVALID_PARAMETER},    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
};

constexpr std::pair<Result, const char*> kPhrases[] = {
    {RES_SUCCESS, "success"},
    {ERROR_INVALID_FUNCTION, "not possible on a port opened without overlapped I/O"},
    {ERROR_FILE_NOT_FOUND, "no such serial port"},
    {ERROR_PATH_NOT_FOUND, "no such serial port"},
    {ERROR_ACCESS_DENIED, "the port is in use or access is denied"},
    {ERROR_INVALID_HANDLE, "the port is not open"},
    {ERROR_NOT_ENOUGH_MEMORY, "not enough memory"},
    {ERROR_NOT_A_SERIAL_DEVICE, "not a serial device, or the device refused the setting"},
    {ERROR_INVALID_PARAMETER, "a line setting the port does not support"},
    {ERROR_ALREADY_INITIALIZED, "the port is already open"},
    {ERROR_DEVICE_NOT_CONNECTED, "the device is gone"},
    {ERROR_TIMEOUT, "timed out"},
    {E_INVALIDARG, "an unknown mode"},
};

}  // namespace

Result ResultFromErrno(int error) {
    for (const auto& [number, result] : kErrnoResults) {
        if (number == error) return result;
    }
    return ERROR_GEN_FAILURE;
}

std::string DescribeSerialResult(Result result) {
    for (const auto& [code, phrase] : kPhrases) {
        if (code == result) return phrase;
    }
    return "error " + std::to_string(result);
}

}  // namespace tarvik
