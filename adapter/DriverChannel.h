// The channel to the protocol driver: OID queries and sets, frame reads and
// writes on a handle tied to one adapter, the driver's binding list, and the
// direct query path on the adapter's own device. Plain functions over the
// handle and the gate that CAdapter owns; callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adapter/DriverGate.h"
#include "core/ResultCodes.h"
#include "platform/driverio/DeviceFile.h"

namespace tarvik {

// An open driver handle; null is the invalid handle.
using DriverHandle = std::shared_ptr<driverio::CDeviceFile>;

inline constexpr const char* kDriverDeviceName = "\\\\.\\TarvikP";
inline constexpr const char* kDriverGlobalDeviceName = "\\\\.\\Globals\\TarvikP";
// Longest device name the open-device request carries, in characters.
inline constexpr std::size_t kMaxOpenDeviceChars = 255;
// The binding query's reply buffer, and the caller's binding-list buffer.
inline constexpr std::uint32_t kBindingReplySize = 1024;
inline constexpr std::size_t kBindingListSize = 8096;

// The error of the calling thread's last failed OpenDriver.
std::uint32_t LastDriverError();

// Opens `\\.\TarvikP`, else `\\.\Globals\TarvikP`, and waits for the driver
// to bind. Null when neither opens or the bind wait fails.
DriverHandle OpenDriver();

// Ties the handle to the adapter `deviceName` (`\DEVICE\{GUID}`).
bool OpenDevice(const DriverHandle& handle, const std::string& deviceName);
// The open-device request's bytes: UTF-16LE, each 8-bit character
// sign-extended, at most 255 characters, no terminator.
std::vector<std::uint8_t> EncodeOpenDeviceName(const std::string& deviceName);

// 0, 3 without a handle, or the request's Win32 error. On success `length`
// bytes of the reply's data go to `buffer` and `bytesReturned` (when given)
// gets the count the driver reported for the whole block.
Result QueryOid(const DriverHandle& handle, CDriverGate* gate, std::uint32_t oid, void* buffer,
                std::uint32_t length, std::uint32_t* bytesReturned);
// The set block's length for `length` bytes of data: never below 8.
std::uint32_t SetBlockLength(std::uint32_t length);
// 0, -1 without a handle or with null data and a nonzero length, else the
// request's Win32 error. `data` may be null with `length` 0.
Result SetOid(const DriverHandle& handle, CDriverGate* gate, std::uint32_t oid, const void* data,
              std::uint32_t length, std::uint32_t* bytesReturned);

// One complete Ethernet frame. RES_PACKET_WRITTEN, RES_PACKET_WRITE_FAILED
// or -1 without a handle; `length` in: the frame's, out: the count written.
Result WritePacket(const DriverHandle& handle, CDriverGate* gate, const std::uint8_t* frame,
                   std::uint32_t& length);

// The read request block of one posted read; its offsets are zeroed when posted.
struct ReadRequest {
    std::uint32_t offset = 0;
    std::uint32_t offsetHigh = 0;
    void* context = nullptr;  // the caller's
};
// Runs on the posting thread when it waits alertably (driverio::WaitAlertable).
using ReadCompletionRoutine =
    std::function<void(std::uint32_t error, std::uint32_t bytesRead, ReadRequest& request)>;

// Posts one asynchronous read of up to `length` bytes into `buffer`. 0 when
// posted, -1 without a handle, else the Win32 error. `buffer` and `request`
// must stay valid until the completion routine has run.
Result ReadPacket(const DriverHandle& handle, CDriverGate* gate, std::uint8_t* buffer,
                  std::uint32_t length, ReadRequest& request, ReadCompletionRoutine completion);

// Reads the driver's binding list into `output` (`size` bytes, 8096 for
// callers): the device names as UTF-16LE strings, each zero-terminated as
// the driver gives it, closed by an extra zero. RES_BINDINGS_DONE or
// RES_BINDINGS_FAILED; a list that does not fit, or a reply whose name
// reaches past its 1024 bytes, fails rather than being cut.
Result QueryBindings(std::uint8_t* output, std::size_t size);
// The 8-bit names in a binding list (up to its closing zero).
std::vector<std::string> BindingNames(const std::uint8_t* list, std::size_t size);

// IOCTL_NDIS_QUERY_GLOBAL_STATS on `\\.\` (else `\\.\Globals\`) followed by
// the device name less its first 8 characters. 0, 3 when neither name
// opens, else the request's Win32 error.
Result QueryOidDirect(const std::u16string& deviceName, std::uint32_t oid, void* buffer,
                      std::uint32_t length, std::uint32_t* bytesReturned);

}  // namespace tarvik
