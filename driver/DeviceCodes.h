// I/O control codes of the protocol driver device and of the direct query
// path, and the Win32 errors the daemon answers with.
#pragma once

#include <cstdint>

namespace tarvik::driver {

// Buffered, device type network (0x12), read and write access.
inline constexpr std::uint32_t kIoctlOpenDevice = 0x0012C800;
inline constexpr std::uint32_t kIoctlQueryOid = 0x0012C804;
inline constexpr std::uint32_t kIoctlQueryBinding = 0x0012C80C;
inline constexpr std::uint32_t kIoctlBindWait = 0x0012C810;
inline constexpr std::uint32_t kIoctlSetOid = 0x0012C814;
// IOCTL_NDIS_QUERY_GLOBAL_STATS on an adapter's own device.
inline constexpr std::uint32_t kIoctlQueryGlobalStats = 0x00170002;

// The binding query block: index, name offset/length, description offset/length.
inline constexpr std::uint32_t kBindingHeaderSize = 20;
// The OID field in front of the data in query and set blocks; a block is
// never shorter than this plus 4 bytes.
inline constexpr std::uint32_t kOidFieldSize = 4;
inline constexpr std::uint32_t kMinOidBlockSize = 8;
// Largest frame a read completes with.
inline constexpr std::uint32_t kMaxFrameSize = 2400;

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorNoMoreItems = 259;
inline constexpr std::uint32_t kErrorOperationAborted = 995;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
inline constexpr std::uint32_t kErrorNotFound = 1168;
inline constexpr std::uint32_t kErrorNoSystemResources = 1450;

}  // namespace tarvik::driver
