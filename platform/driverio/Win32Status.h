// The Win32 error numbers that the driver device layer itself produces.
// They keep their published values, so they compare equal to the system-wide
// constants of the layers above.
#pragma once

#include <cstdint>

namespace tarvik::driverio {

inline constexpr std::uint32_t kStatusSuccess = 0;
inline constexpr std::uint32_t kStatusFileNotFound = 2;        // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kStatusAccessDenied = 5;        // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t kStatusInvalidHandle = 6;       // ERROR_INVALID_HANDLE
inline constexpr std::uint32_t kStatusGenFailure = 31;         // ERROR_GEN_FAILURE
inline constexpr std::uint32_t kStatusInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kStatusOperationAborted = 995;  // ERROR_OPERATION_ABORTED
inline constexpr std::uint32_t kStatusTimeout = 1460;          // ERROR_TIMEOUT

}  // namespace tarvik::driverio
