#include "driver/TraceBackend.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "ndis/Keys.h"
#include "ndis/Oids.h"

namespace tarvik::driver {
namespace {

double SystemSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Where key material starts in the data of an OID that carries a key.
std::optional<std::size_t> KeyMaterialOffset(std::uint32_t oid) {
    switch (oid) {
        case ndis::OID_802_11_ADD_KEY:
            return ndis::key_layout::kKeyMaterial;
        case ndis::OID_802_11_ADD_WEP:
            return ndis::wep_layout::kKeyMaterial;
        default:
            return std::nullopt;
    }
}

std::string OidText(std::uint32_t oid) {
    const std::string_view name = ndis::OidName(oid);
    if (!name.empty()) return std::string(name);
    char number[16];
    std::snprintf(number, sizeof(number), "0x%08X", oid);
    return number;
}

}  // namespace

std::string TraceSetData(std::uint32_t oid, std::span<const std::uint8_t> data, bool showKeys) {
    const auto keyAt = showKeys ? std::nullopt : KeyMaterialOffset(oid);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(data.size() * 2);
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (keyAt && i >= *keyAt) {
            hex += "**";
            continue;
        }
        hex += kDigits[data[i] >> 4];
        hex += kDigits[data[i] & 0x0F];
    }
    return hex;
}

CTraceBackend::CTraceBackend(IBackend& inner, bool showKeys, WallClock clock)
    : inner_(inner), showKeys_(showKeys), clock_(clock ? std::move(clock) : SystemSeconds) {}

bool CTraceBackend::Open(const std::string& path, std::string& error) {
    return file_.Open(path, error);
}

void CTraceBackend::SetSink(IBackendSink* sink) {
    sink_ = sink;
    inner_.SetSink(sink ? this : nullptr);
}

template <typename Json>
void CTraceBackend::WriteLine(Json& line) {
    if (!file_.IsOpen()) return;
    line["time"] = clock_();
    // Replaced, not refused: a device name is the one text from outside.
    if (!file_.Write(line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n")) {
        std::fprintf(stderr, "tarvik-driverd: the trace file cannot be written; tracing stops\n");
    }
}

std::uint32_t CTraceBackend::QueryOid(const std::string& deviceName, std::uint32_t oid,
                                      std::size_t capacity, std::vector<std::uint8_t>& out,
                                      std::size_t& needed) {
    const std::uint32_t result = inner_.QueryOid(deviceName, oid, capacity, out, needed);
    nlohmann::ordered_json line;
    line["event"] = "query";
    line["device"] = deviceName;
    line["oid"] = OidText(oid);
    line["length"] = result == 0 ? out.size() : needed;
    line["result"] = result;
    WriteLine(line);
    return result;
}

std::uint32_t CTraceBackend::SetOid(const std::string& deviceName, std::uint32_t oid,
                                    std::span<const std::uint8_t> data) {
    const std::uint32_t result = inner_.SetOid(deviceName, oid, data);
    nlohmann::ordered_json line;
    line["event"] = "set";
    line["device"] = deviceName;
    line["oid"] = OidText(oid);
    line["length"] = data.size();
    line["result"] = result;
    line["data"] = TraceSetData(oid, data, showKeys_);
    WriteLine(line);
    return result;
}

std::uint32_t CTraceBackend::WriteFrame(const std::string& deviceName,
                                        std::span<const std::uint8_t> frame) {
    TraceFrame(deviceName, "out", frame);
    return inner_.WriteFrame(deviceName, frame);
}

void CTraceBackend::TraceFrame(const std::string& deviceName, const char* direction,
                               std::span<const std::uint8_t> frame) {
    nlohmann::ordered_json line;
    line["event"] = "frame";
    line["device"] = deviceName;
    line["direction"] = direction;
    line["length"] = frame.size();
    if (frame.size() >= 14) {
        char type[8];
        std::snprintf(type, sizeof(type), "0x%04x", (frame[12] << 8) | frame[13]);
        line["ethertype"] = type;
    }
    WriteLine(line);
}

void CTraceBackend::OnFrameReceived(const std::string& deviceName,
                                    std::span<const std::uint8_t> frame) {
    TraceFrame(deviceName, "in", frame);
    if (sink_) sink_->OnFrameReceived(deviceName, frame);
}

void CTraceBackend::OnMediaEvent(const std::string& deviceName, const std::string& instanceName,
                                 bool connected) {
    nlohmann::ordered_json line;
    line["event"] = "media";
    line["device"] = deviceName;
    line["connected"] = connected;
    WriteLine(line);
    if (sink_) sink_->OnMediaEvent(deviceName, instanceName, connected);
}

void CTraceBackend::OnAddressChanged(const std::string& deviceName) {
    if (sink_) sink_->OnAddressChanged(deviceName);
}

}  // namespace tarvik::driver
