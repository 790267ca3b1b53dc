// The stored column layout's blobs: one 32-bit little-endian integer per
// column, by column index or, for the order, leftmost first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarvik {

std::vector<std::uint8_t> EncodeLayoutBlob(const std::vector<int>& values);
// The `count` integers of `blob`; nothing unless it holds exactly 4 x count
// bytes.
std::optional<std::vector<int>> DecodeLayoutBlob(std::span<const std::uint8_t> blob,
                                                 std::size_t count);
// True when `order` holds each of 0 ... count - 1 exactly once.
bool IsColumnPermutation(const std::vector<int>& order, std::size_t count);

}  // namespace tarvik
