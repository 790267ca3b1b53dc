#include "ndis/Ssid.h"

#include <algorithm>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace layout = ssid_layout;

std::optional<std::vector<std::uint8_t>> BuildSsid(std::span<const std::uint8_t> ssid) {
    if (ssid.size() > layout::kCapacity) return std::nullopt;
    std::vector<std::uint8_t> out(layout::kSize, 0);
    StoreLe32(out.data() + layout::kSsidLength, static_cast<std::uint32_t>(ssid.size()));
    std::copy(ssid.begin(), ssid.end(), out.begin() + layout::kSsid);
    return out;
}

std::optional<std::vector<std::uint8_t>> BuildSsid(std::string_view ssid) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(ssid.data());
    return BuildSsid(std::span(data, ssid.size()));
}

std::optional<std::vector<std::uint8_t>> ParseSsid(std::span<const std::uint8_t> bytes,
                                                   NdisError* error) {
    NdisError result = NdisError::None;
    std::uint32_t length = 0;
    if (bytes.size() < layout::kSsid) {
        result = NdisError::TruncatedHeader;
    } else {
        length = LoadLe32(bytes.data() + layout::kSsidLength);
        if (length > layout::kCapacity) {
            result = NdisError::ValueTooLong;
        } else if (layout::kSsid + length > bytes.size()) {
            result = NdisError::TruncatedHeader;
        }
    }
    if (error) *error = result;
    if (result != NdisError::None) return std::nullopt;
    const auto ssid = bytes.subspan(layout::kSsid, length);
    return std::vector<std::uint8_t>(ssid.begin(), ssid.end());
}

}  // namespace tarvik::ndis
