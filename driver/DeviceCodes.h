// The driver device's control codes, block sizes and the Win32 errors the
// daemon answers with.
#pragma once

#include <cstdint>

#include "ndis/Oids.h"

namespace tarvik::driver {

// The protocol driver's codes and the direct query's, as ndis/ numbers them.
inline constexpr std::uint32_t kIoctlOpenDevice = ndis::IOCTL_TARVIK_OPEN_DEVICE;
inline constexpr std::uint32_t kIoctlQueryOid = ndis::IOCTL_TARVIK_QUERY_OID;
inline constexpr std::uint32_t kIoctlQueryBinding = ndis::IOCTL_TARVIK_QUERY_BINDING;
inline constexpr std::uint32_t kIoctlBindWait = ndis::IOCTL_TARVIK_BIND_WAIT;
inline constexpr std::uint32_t kIoctlSetOid = ndis::IOCTL_TARVIK_SET_OID;
inline constexpr std::uint32_t kIoctlQueryGlobalStats = ndis::IOCTL_NDIS_QUERY_GLOBAL_STATS;

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
