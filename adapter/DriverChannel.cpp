#include "adapter/DriverChannel.h"

#include <algorithm>
#include <cstring>

#include "core/EventLog.h"
#include "ndis/Oids.h"
#include "platform/driverio/ReplyDeadline.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kOidField = 4;
constexpr auto kStatusTooSmall = static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER);
constexpr std::uint32_t kBindingQuerySize = 20;
constexpr std::uint32_t kDevicePrefixChars = 8;  // "\DEVICE\"

thread_local std::uint32_t t_lastDriverError = 0;

// Steps 1 to 5 of every gated request: wait for the gate (bounded, and
// never past the thread's reply deadline), warn and go on without it when
// the wait fails, free it on every way out.
class GatedRequest {
  public:
    GatedRequest(CDriverGate* gate, const char* operation) : gate_(gate) {
        taken_ = gate_ != nullptr && gate_->Take(driverio::BoundByReplyDeadline(kDriverGateBound));
        if (!taken_ && operation != nullptr) {
            LogWarn("Giving up on waiting for driver to be free inside %s", operation);
        }
    }
    ~GatedRequest() {
        if (taken_) gate_->Free();
    }
    GatedRequest(const GatedRequest&) = delete;
    GatedRequest& operator=(const GatedRequest&) = delete;

  private:
    CDriverGate* gate_;
    bool taken_ = false;
};

void PutU32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{bytes[at + i]} << (8 * i);
    return v;
}

// The wide device name as 8-bit text; characters outside 8 bits become '?'.
std::string Narrow(const std::u16string& wide) {
    std::string out;
    out.reserve(wide.size());
    for (char16_t c : wide) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

std::shared_ptr<driverio::CDeviceFile> OpenFirst(const std::string& first,
                                                 const std::string& second, std::uint32_t& error) {
    auto file = driverio::CDeviceFile::Open(first, error);
    if (!file) file = driverio::CDeviceFile::Open(second, error);
    return file;
}

}  // namespace

std::uint32_t LastDriverError() {
    return t_lastDriverError;
}

DriverHandle OpenDriver() {
    std::uint32_t error = 0;
    DriverHandle handle = OpenFirst(kDriverDeviceName, kDriverGlobalDeviceName, error);
    if (!handle) {
        t_lastDriverError = error;
        return nullptr;
    }
    std::vector<std::uint8_t> none;
    std::uint32_t returned = 0;
    error = handle->Control(ndis::IOCTL_TARVIK_BIND_WAIT, {}, 0, none, returned);
    if (error != 0) {
        t_lastDriverError = error;
        handle->Close();
        return nullptr;
    }
    return handle;
}

std::vector<std::uint8_t> EncodeOpenDeviceName(const std::string& deviceName) {
    const std::size_t chars = std::min(deviceName.size(), kMaxOpenDeviceChars);
    std::vector<std::uint8_t> out;
    out.reserve(chars * 2);
    for (std::size_t i = 0; i < chars; ++i) {
        const auto unit = static_cast<std::uint16_t>(
            static_cast<std::int16_t>(static_cast<signed char>(deviceName[i])));
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

bool OpenDevice(const DriverHandle& handle, const std::string& deviceName) {
    if (!handle) return false;
    std::vector<std::uint8_t> none;
    std::uint32_t returned = 0;
    return handle->Control(ndis::IOCTL_TARVIK_OPEN_DEVICE, EncodeOpenDeviceName(deviceName), 0,
                           none, returned) == 0;
}

Result QueryOid(const DriverHandle& handle, CDriverGate* gate, std::uint32_t oid, void* buffer,
                std::uint32_t length, std::uint32_t* bytesReturned) {
    GatedRequest frame(gate, "QueryOid");
    if (!handle) return ERROR_PATH_NOT_FOUND;
    if (length > driverio::kMaxOidDataSize || (buffer == nullptr && length > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    // Zeroed, so that data the driver did not fill reads as zeros.
    std::vector<std::uint8_t> block(std::size_t{length} + 8, 0);
    PutU32(block.data(), oid);
    std::vector<std::uint8_t> reply;
    std::uint32_t returned = 0;
    const std::uint32_t status =
        handle->Control(ndis::IOCTL_TARVIK_QUERY_OID, block, length + 8, reply, returned);
    if (status != 0) {
        // A driver that finds the block too small says how large it must be.
        if (status == kStatusTooSmall && bytesReturned != nullptr) *bytesReturned = returned;
        return static_cast<Result>(status);
    }
    std::copy(reply.begin(),
              reply.begin() + static_cast<std::ptrdiff_t>(std::min(reply.size(), block.size())),
              block.begin());
    if (length > 0) std::memcpy(buffer, block.data() + kOidField, length);
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return 0;
}

std::uint32_t SetBlockLength(std::uint32_t length) {
    return length >= 4 ? length + kOidField : length + 8;
}

Result SetOid(const DriverHandle& handle, CDriverGate* gate, std::uint32_t oid, const void* data,
              std::uint32_t length, std::uint32_t* bytesReturned) {
    GatedRequest frame(gate, "SetOid");
    Result result = 0;
    if (!handle) {
        result = RES_FAILURE;
    } else if (data == nullptr && length != 0) {
        LogError("InformationBuffer is NULL but length is > 0, aborting SetOid");
        result = RES_FAILURE;
    } else if (length > driverio::kMaxOidDataSize) {
        result = ERROR_INVALID_PARAMETER;
    } else {
        std::vector<std::uint8_t> block(std::size_t{length} + 8, 0);
        PutU32(block.data(), oid);
        if (length > 0) std::memcpy(block.data() + kOidField, data, length);
        block.resize(SetBlockLength(length));
        std::vector<std::uint8_t> reply;
        std::uint32_t returned = 0;
        result = static_cast<Result>(handle->Control(ndis::IOCTL_TARVIK_SET_OID, block,
                                                     static_cast<std::uint32_t>(block.size()),
                                                     reply, returned));
        if (bytesReturned != nullptr) *bytesReturned = returned;
    }
    if (result != 0) {
        LogError("Set Oid failed with error %u", static_cast<unsigned>(result));
    }
    return result;
}

Result WritePacket(const DriverHandle& handle, CDriverGate* gate, const std::uint8_t* frame,
                   std::uint32_t& length) {
    GatedRequest gated(gate, nullptr);
    if (!handle) {
        LogError("Write packet failed with error %u", static_cast<unsigned>(ERROR_INVALID_HANDLE));
        return RES_FAILURE;
    }
    std::uint32_t status = ERROR_INVALID_PARAMETER;
    std::uint32_t written = 0;
    if (frame != nullptr || length == 0) {
        status = handle->Write({frame, length}, written);
    }
    if (status != 0) {
        length = 0;
        LogError("Write packet failed with error %u", status);
        return RES_PACKET_WRITE_FAILED;
    }
    length = written;
    return RES_PACKET_WRITTEN;
}

Result ReadPacket(const DriverHandle& handle, CDriverGate* gate, std::uint8_t* buffer,
                  std::uint32_t length, ReadRequest& request, ReadCompletionRoutine completion) {
    GatedRequest gated(gate, "ReadPacket");
    request.offset = 0;
    request.offsetHigh = 0;
    if (!handle) return RES_FAILURE;
    std::uint32_t status = ERROR_INVALID_PARAMETER;
    if (buffer != nullptr || length == 0) {
        // The completion copies the frame into the caller's buffer on the
        // posting thread, where the caller reads it.
        status = handle->ReadAsync(
            length, [buffer, length, &request, completion = std::move(completion)](
                        std::uint32_t error, std::span<const std::uint8_t> data) {
                const auto count =
                    static_cast<std::uint32_t>(std::min<std::size_t>(data.size(), length));
                if (count > 0) std::memcpy(buffer, data.data(), count);
                if (completion) completion(error, count, request);
            });
    }
    if (status != 0) {
        LogError("ReadFileEx failed with error: %u", status);
        return static_cast<Result>(status);
    }
    return 0;
}

Result QueryBindings(std::uint8_t* output, std::size_t size) {
    DriverHandle handle = OpenDriver();
    if (!handle || output == nullptr) return RES_BINDINGS_FAILED;
    std::size_t used = 0;
    for (std::uint32_t index = 0;; ++index) {
        std::uint8_t query[kBindingQuerySize] = {};
        PutU32(query, index);
        std::vector<std::uint8_t> reply;
        std::uint32_t returned = 0;
        const std::uint32_t status = handle->Control(ndis::IOCTL_TARVIK_QUERY_BINDING, query,
                                                     kBindingReplySize, reply, returned);
        if (status == static_cast<std::uint32_t>(ERROR_NO_MORE_ITEMS)) {
            if (size - used < 2) break;
            output[used] = 0;
            output[used + 1] = 0;
            return RES_BINDINGS_DONE;
        }
        if (status != 0 || reply.size() < kBindingQuerySize) break;
        const std::uint64_t offset = GetU32(reply, 4);
        const std::uint64_t length = GetU32(reply, 8);
        if (offset + length > reply.size()) {
            LogWarn("Binding %u names bytes past the end of the driver's reply", index);
            break;
        }
        // Room for this name and the closing zero, or the list fails whole.
        if (length + 2 > size - used) {
            LogWarn("The driver's binding list does not fit its %zu-byte buffer", size);
            break;
        }
        std::memcpy(output + used, reply.data() + offset, length);
        used += length & ~std::uint64_t{1};
    }
    handle->Close();
    return RES_BINDINGS_FAILED;
}

std::vector<std::string> BindingNames(const std::uint8_t* list, std::size_t size) {
    std::vector<std::string> names;
    std::string current;
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const auto unit = static_cast<char16_t>(list[at] | (list[at + 1] << 8));
        if (unit != 0) {
            current.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
            continue;
        }
        if (current.empty()) break;  // the closing zero
        names.push_back(std::move(current));
        current.clear();
    }
    return names;
}

Result QueryOidDirect(const std::u16string& deviceName, std::uint32_t oid, void* buffer,
                      std::uint32_t length, std::uint32_t* bytesReturned) {
    const std::string name = Narrow(deviceName);
    const std::string rest =
        name.size() > kDevicePrefixChars ? name.substr(kDevicePrefixChars) : "";
    std::uint32_t error = 0;
    auto device = OpenFirst("\\\\.\\" + rest, "\\\\.\\Globals\\" + rest, error);
    if (!device) return ERROR_PATH_NOT_FOUND;
    if (buffer == nullptr && length > 0) return ERROR_INVALID_PARAMETER;
    std::uint8_t oidBytes[kOidField];
    PutU32(oidBytes, oid);
    std::vector<std::uint8_t> reply;
    std::uint32_t returned = 0;
    const std::uint32_t status =
        device->Control(ndis::IOCTL_NDIS_QUERY_GLOBAL_STATS, oidBytes, length, reply, returned);
    device->Close();
    if (status != 0) {
        if (status == kStatusTooSmall && bytesReturned != nullptr) *bytesReturned = returned;
        return static_cast<Result>(status);
    }
    if (!reply.empty())
        std::memcpy(buffer, reply.data(), std::min<std::size_t>(reply.size(), length));
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return 0;
}

}  // namespace tarvik
