// The size limits of a hive, taken from the published Windows registry limits, and
// the checks that keep every hive file readable by the store that wrote it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/RegValue.h"

namespace tarvik {

// Characters (Unicode code points) in one key name, i.e. one path component.
inline constexpr std::size_t kMaxKeyNameLength = 255;
// Characters in a value name.
inline constexpr std::size_t kMaxValueNameLength = 16383;
// Levels of keys below the root.
inline constexpr std::size_t kMaxKeyDepth = 512;
// Bytes of one value's data (for strings: the UTF-8 text). Windows allows "available
// memory" in current hives; 1 MiB, its older per-value limit, is plenty for settings.
inline constexpr std::size_t kMaxValueSize = 1u << 20;
// The largest hive file the store reads; writes whose result would be larger are refused.
inline constexpr std::size_t kMaxHiveFileSize = kMaxReadSize;

// Each returns "" when the item is within the limits, else a lower-case phrase saying
// which limit it breaks, e.g. "the key is nested deeper than 512 levels".
// `path` is a normalized key path (components separated by single backslashes).
std::string CheckKeyPathLimits(std::string_view path);
std::string CheckValueLimits(const RegValue& value);

}  // namespace tarvik
