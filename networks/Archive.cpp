#include "networks/Archive.h"

#include <algorithm>

namespace tarvik {
namespace {

constexpr std::uint8_t kLongLength = 0xFF;
constexpr std::uint16_t kWideMarker = 0xFFFE;
constexpr std::uint16_t kHugeLength = 0xFFFF;

void AppendUtf8(std::string& text, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes '?'.
std::string Utf16ToUtf8(const std::uint8_t* bytes, std::size_t units) {
    std::string text;
    text.reserve(units);
    const auto unitAt = [bytes](std::size_t i) {
        return static_cast<std::uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const std::uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) {
            text += '?';
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

}  // namespace

void Archive::WriteU8(std::uint8_t value) {
    buffer_.push_back(value);
}

void Archive::WriteU16(std::uint16_t value) {
    WriteU8(static_cast<std::uint8_t>(value));
    WriteU8(static_cast<std::uint8_t>(value >> 8));
}

void Archive::WriteU32(std::uint32_t value) {
    WriteU16(static_cast<std::uint16_t>(value));
    WriteU16(static_cast<std::uint16_t>(value >> 16));
}

void Archive::WriteBytes(std::span<const std::uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void Archive::WriteString(std::string_view text) {
    const std::size_t n = text.size();
    if (n < kLongLength) {
        WriteU8(static_cast<std::uint8_t>(n));
    } else if (n < kWideMarker) {
        WriteU8(kLongLength);
        WriteU16(static_cast<std::uint16_t>(n));
    } else {
        // Texts of 4 GiB and more cannot occur in a record; cut rather than wrap.
        const std::size_t stored = std::min<std::size_t>(n, UINT32_MAX);
        WriteU8(kLongLength);
        WriteU16(kHugeLength);
        WriteU32(static_cast<std::uint32_t>(stored));
        text = text.substr(0, stored);
    }
    WriteBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

const std::uint8_t* Archive::Take(std::size_t n) {
    const std::span<const std::uint8_t> input = Input();
    if (failed_ || n > input.size() - position_) {
        failed_ = true;
        return nullptr;
    }
    const std::uint8_t* p = input.data() + position_;
    position_ += n;
    return p;
}

std::uint8_t Archive::ReadU8() {
    const std::uint8_t* p = Take(1);
    return p ? p[0] : 0;
}

std::uint16_t Archive::ReadU16() {
    const std::uint8_t* p = Take(2);
    return p ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : 0;
}

std::uint32_t Archive::ReadU32() {
    const std::uint8_t* p = Take(4);
    if (p == nullptr) return 0;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool Archive::ReadBytes(std::span<std::uint8_t> out) {
    const std::uint8_t* p = Take(out.size());
    if (p == nullptr) {
        std::fill(out.begin(), out.end(), 0);
        return false;
    }
    std::copy(p, p + out.size(), out.begin());
    return true;
}

bool Archive::ReadStringLength(std::uint32_t& length, bool& wide) {
    wide = false;
    // At most one 16-bit character marker; a second one is malformed.
    for (int round = 0; round < 2; ++round) {
        const std::uint8_t first = ReadU8();
        if (failed_) return false;
        if (first < kLongLength) {
            length = first;
            return true;
        }
        const std::uint16_t second = ReadU16();
        if (failed_) return false;
        if (second == kWideMarker) {
            if (wide) break;
            wide = true;
            continue;
        }
        length = second == kHugeLength ? ReadU32() : second;
        return !failed_;
    }
    failed_ = true;
    return false;
}

std::string Archive::ReadString() {
    std::uint32_t length = 0;
    bool wide = false;
    if (!ReadStringLength(length, wide)) return {};
    // Checked against the input before anything is allocated.
    const std::size_t bytes = static_cast<std::size_t>(length) * (wide ? 2 : 1);
    const std::uint8_t* p = Take(bytes);
    if (p == nullptr) return {};
    if (wide) return Utf16ToUtf8(p, length);
    return std::string(reinterpret_cast<const char*>(p), bytes);
}

}  // namespace tarvik
