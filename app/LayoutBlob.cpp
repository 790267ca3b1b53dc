#include "app/LayoutBlob.h"

namespace tarvik {

std::vector<std::uint8_t> EncodeLayoutBlob(const std::vector<int>& values) {
    std::vector<std::uint8_t> blob;
    blob.reserve(values.size() * 4);
    for (int value : values) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            blob.push_back(static_cast<std::uint8_t>(bits >> shift));
        }
    }
    return blob;
}

std::optional<std::vector<int>> DecodeLayoutBlob(std::span<const std::uint8_t> blob,
                                                 std::size_t count) {
    if (count > blob.size() / 4 || blob.size() != count * 4) return std::nullopt;
    std::vector<int> values;
    values.reserve(count);
    for (std::size_t at = 0; at < blob.size(); at += 4) {
        const std::uint32_t bits = std::uint32_t{blob[at]} | std::uint32_t{blob[at + 1]} << 8 |
                                   std::uint32_t{blob[at + 2]} << 16 |
                                   std::uint32_t{blob[at + 3]} << 24;
        values.push_back(static_cast<int>(bits));
    }
    return values;
}

bool IsColumnPermutation(const std::vector<int>& order, std::size_t count) {
    if (order.size() != count) return false;
    std::vector<bool> seen(count, false);
    for (int column : order) {
        if (column < 0 || static_cast<std::size_t>(column) >= count || seen[column]) return false;
        seen[column] = true;
    }
    return true;
}

}  // namespace tarvik
