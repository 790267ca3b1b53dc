#include "driver/DeviceControl.h"

#include <strings.h>

#include <algorithm>
#include <limits>

#include "driver/DeviceCodes.h"

namespace tarvik::driver {
namespace {

using driverio::DeviceTarget;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{bytes[at + i]} << (8 * i);
    return v;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// 8-bit text to UTF-16LE, zero-terminated, as the binding reply carries names.
void PutUtf16Terminated(std::vector<std::uint8_t>& out, const std::string& text) {
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
}

ControlResult Fail(std::uint32_t status) {
    ControlResult result;
    result.status = status;
    return result;
}

// A reply that does not fit tells, as NDIS drivers do with BytesNeeded, how
// many bytes it needs, so the caller can ask once more with enough room.
ControlResult TooSmall(std::size_t needed) {
    ControlResult result = Fail(kErrorInsufficientBuffer);
    result.bytesReturned = static_cast<std::uint32_t>(
        std::min<std::size_t>(needed, std::numeric_limits<std::uint32_t>::max()));
    return result;
}

ControlResult QueryBinding(IBackend& backend, std::span<const std::uint8_t> input,
                           std::uint32_t capacity) {
    if (input.size() < kBindingHeaderSize) return Fail(kErrorInvalidParameter);
    const std::uint32_t index = ReadU32(input, 0);
    const std::vector<Binding> bindings = backend.Bindings();
    if (index >= bindings.size()) return Fail(kErrorNoMoreItems);
    const Binding& binding = bindings[index];
    const auto nameLength = static_cast<std::uint32_t>((binding.deviceName.size() + 1) * 2);
    const auto descrLength = static_cast<std::uint32_t>((binding.description.size() + 1) * 2);
    const std::uint64_t total = std::uint64_t{kBindingHeaderSize} + nameLength + descrLength;
    if (total > capacity) return Fail(kErrorInsufficientBuffer);

    ControlResult result;
    PutU32(result.output, index);
    PutU32(result.output, kBindingHeaderSize);
    PutU32(result.output, nameLength);
    PutU32(result.output, kBindingHeaderSize + nameLength);
    PutU32(result.output, descrLength);
    PutUtf16Terminated(result.output, binding.deviceName);
    PutUtf16Terminated(result.output, binding.description);
    result.bytesReturned = static_cast<std::uint32_t>(result.output.size());
    return result;
}

ControlResult OpenDevice(IBackend& backend, HandleState& handle,
                         std::span<const std::uint8_t> input) {
    if (!handle.device.empty()) return Fail(kErrorInvalidParameter);  // tied already
    std::string name;
    if (input.empty() || input.size() % 2 != 0) return Fail(kErrorInvalidParameter);
    if (!NarrowDeviceName(input, name) || !backend.IsBound(name)) {
        return Fail(kErrorFileNotFound);
    }
    handle.device = name;
    return ControlResult{};
}

ControlResult QueryOid(IBackend& backend, const HandleState& handle,
                       std::span<const std::uint8_t> input, std::uint32_t capacity) {
    if (handle.device.empty()) return Fail(kErrorDeviceNotConnected);
    if (input.size() < kMinOidBlockSize) return Fail(kErrorInvalidParameter);
    if (capacity < kMinOidBlockSize) return Fail(kErrorInsufficientBuffer);
    const std::uint32_t oid = ReadU32(input, 0);
    std::vector<std::uint8_t> data;
    std::size_t needed = 0;
    const std::uint32_t status =
        backend.QueryOid(handle.device, oid, capacity - kOidFieldSize, data, needed);
    if (status == kErrorInsufficientBuffer) return TooSmall(kOidFieldSize + needed);
    if (status != kErrorSuccess) return Fail(status);
    if (data.size() > capacity - kOidFieldSize) return TooSmall(kOidFieldSize + data.size());
    ControlResult result;
    PutU32(result.output, oid);
    result.output.insert(result.output.end(), data.begin(), data.end());
    result.bytesReturned = static_cast<std::uint32_t>(result.output.size());
    return result;
}

ControlResult SetOid(IBackend& backend, const HandleState& handle,
                     std::span<const std::uint8_t> input, std::uint32_t capacity) {
    if (handle.device.empty()) return Fail(kErrorDeviceNotConnected);
    if (input.size() < kMinOidBlockSize) return Fail(kErrorInvalidParameter);
    const std::uint32_t oid = ReadU32(input, 0);
    const std::uint32_t status = backend.SetOid(handle.device, oid, input.subspan(kOidFieldSize));
    if (status != kErrorSuccess) return Fail(status);
    ControlResult result;
    const std::size_t echoed = std::min<std::size_t>(input.size(), capacity);
    result.output.assign(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(echoed));
    result.bytesReturned = static_cast<std::uint32_t>(echoed);
    return result;
}

ControlResult QueryGlobalStats(IBackend& backend, const HandleState& handle,
                               std::span<const std::uint8_t> input, std::uint32_t capacity) {
    if (input.size() < kOidFieldSize) return Fail(kErrorInvalidParameter);
    std::vector<std::uint8_t> data;
    std::size_t needed = 0;
    const std::uint32_t status =
        backend.QueryOid(handle.device, ReadU32(input, 0), capacity, data, needed);
    if (status == kErrorInsufficientBuffer) return TooSmall(needed);
    if (status != kErrorSuccess) return Fail(status);
    if (data.size() > capacity) return TooSmall(data.size());
    ControlResult result;
    result.output = std::move(data);
    result.bytesReturned = static_cast<std::uint32_t>(result.output.size());
    return result;
}

}  // namespace

ControlResult RunDeviceControl(IBackend& backend, HandleState& handle, std::uint32_t code,
                               std::span<const std::uint8_t> input, std::uint32_t capacity) {
    if (handle.target == DeviceTarget::Direct) {
        if (code != kIoctlQueryGlobalStats) return Fail(kErrorInvalidFunction);
        return QueryGlobalStats(backend, handle, input, capacity);
    }
    if (handle.target != DeviceTarget::Driver) return Fail(kErrorInvalidFunction);
    switch (code) {
        case kIoctlBindWait:
            return ControlResult{};  // the backend's adapters are bound from the start
        case kIoctlQueryBinding:
            return QueryBinding(backend, input, capacity);
        case kIoctlOpenDevice:
            return OpenDevice(backend, handle, input);
        case kIoctlQueryOid:
            return QueryOid(backend, handle, input, capacity);
        case kIoctlSetOid:
            return SetOid(backend, handle, input, capacity);
        default:
            return Fail(kErrorInvalidFunction);
    }
}

std::string FindDirectDevice(const IBackend& backend, const std::string& name) {
    constexpr std::size_t kPrefixLength = 8;  // "\DEVICE\"
    if (name.empty()) return {};
    for (const Binding& binding : backend.Bindings()) {
        const std::string& device = binding.deviceName;
        if (device.size() == kPrefixLength + name.size() &&
            strcasecmp(device.c_str() + kPrefixLength, name.c_str()) == 0) {
            return device;
        }
    }
    return {};
}

bool NarrowDeviceName(std::span<const std::uint8_t> utf16, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const auto unit = static_cast<std::uint16_t>(utf16[i] | (utf16[i + 1] << 8));
        if (unit < 0x80 || unit >= 0xFF80) {
            out.push_back(static_cast<char>(unit & 0xFF));
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace tarvik::driver
