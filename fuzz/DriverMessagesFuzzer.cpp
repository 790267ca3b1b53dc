// The daemon's side of the wire: a byte stream split into messages, each
// decoded, and every control request run against a small world, as the
// server does with whatever a client sends.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/Backend.h"
#include "driver/DeviceControl.h"
#include "fuzz/FuzzCheck.h"
#include "platform/driverio/DriverProtocol.h"
#include "tests/support/QuietBackend.h"

namespace {

using namespace tarvik;

class FuzzBackend : public testing_support::QuietBackend {
  public:
    std::vector<driver::Binding> Bindings() const override {
        return {{"\\DEVICE\\{A}", "Wireless"}, {"\\DEVICE\\{B}", "Wired"}};
    }
    bool IsBound(const std::string& name) const override {
        return name == "\\DEVICE\\{A}" || name == "\\DEVICE\\{B}";
    }
    std::uint32_t QueryOid(const std::string&, std::uint32_t oid, std::size_t capacity,
                           std::vector<std::uint8_t>& out, std::size_t& needed) override {
        needed = oid & 0xFFF;
        if (needed > capacity) return 122;
        out.assign(needed, 0x5A);
        return 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBackend backend;
    driver::HandleState handles[3];
    handles[0].opened = true;
    handles[0].target = driverio::DeviceTarget::Driver;
    handles[1].opened = true;
    handles[1].target = driverio::DeviceTarget::Direct;
    handles[1].device = "\\DEVICE\\{A}";

    // Arbitrary chunking, as a socket delivers it: the first byte picks the size.
    driverio::FrameBuffer frames;
    const std::size_t step = size > 0 ? 1 + data[0] % 64 : 1;
    std::vector<std::uint8_t> body;
    for (std::size_t at = 0; at < size; at += step) {
        frames.Append({data + at, std::min(step, size - at)});
        for (;;) {
            const auto next = frames.Take(body);
            if (next != driverio::FrameBuffer::Next::Body) break;
            TARVIK_FUZZ_CHECK(!body.empty() && body.size() <= driverio::kMaxMessageSize);
            driverio::Message message;
            if (driverio::DecodeMessage(body, message) != driverio::DecodeResult::Ok) continue;
            // What decodes re-encodes to the same bytes.
            const auto again = driverio::EncodeMessage(message);
            TARVIK_FUZZ_CHECK(again.size() == body.size() + 4);
            TARVIK_FUZZ_CHECK(std::equal(body.begin(), body.end(), again.begin() + 4));
            if (message.kind == driverio::MessageKind::Control) {
                auto& handle = handles[message.id % 3];
                const auto result = driver::RunDeviceControl(backend, handle, message.code,
                                                             message.data, message.capacity);
                TARVIK_FUZZ_CHECK(result.output.size() <= message.capacity);
            }
            if (message.kind == driverio::MessageKind::Reply) {
                driverio::IpConfigRecord record;
                if (driverio::DecodeIpConfig(message.data, record) == driverio::DecodeResult::Ok) {
                    TARVIK_FUZZ_CHECK(driverio::EncodeIpConfig(record) == message.data);
                }
            }
        }
    }
    return 0;
}
