#include "app/WepKeyBlock.h"

#include <algorithm>

#include "ndis/ByteOrder.h"
#include "ndis/Keys.h"

namespace tarvik {

std::optional<WepKeyBlock> BuildWepKeyBlock(std::span<const std::uint8_t> key) {
    if (key.size() > kWepKeyBlockCapacity) return std::nullopt;
    WepKeyBlock block{};
    const auto keyLength = static_cast<std::uint32_t>(key.size());
    ndis::StoreLe32(block.data() + ndis::key_layout::kLength,
                    static_cast<std::uint32_t>(kWepKeyBlockHeader) + keyLength);
    ndis::StoreLe32(block.data() + ndis::key_layout::kKeyIndex, kWepTransmitKeyIndex);
    ndis::StoreLe32(block.data() + ndis::key_layout::kKeyLength, keyLength);
    // Broadcast BSSID; padding and KeyRSC stay zero.
    std::fill_n(block.begin() + ndis::key_layout::kBssid, 6, std::uint8_t{0xff});
    std::copy(key.begin(), key.end(), block.begin() + ndis::key_layout::kKeyMaterial);
    return block;
}

}  // namespace tarvik
