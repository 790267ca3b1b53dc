// Hex text to bytes and back, as profile keys and BSSIDs are typed and shown.
#include <algorithm>

#include "profiles/NetworkKey.h"

namespace tarvik {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A pair read as a base-16 number: the value of its valid leading digits, 0 for none.
std::uint8_t PairValue(char high, char low) {
    const int first = HexDigit(high);
    if (first < 0) return 0;
    const int second = HexDigit(low);
    if (second < 0) return static_cast<std::uint8_t>(first);
    return static_cast<std::uint8_t>(first * 16 + second);
}

}  // namespace

bool DecodeHexText(std::string_view text, std::span<std::uint8_t> out, std::uint32_t capacity) {
    const std::size_t count = text.size() / 2;
    if (count > capacity || count > out.size()) return false;
    if (text.empty() || text.size() % 2 != 0) return false;
    std::fill(out.begin(), out.end(), 0);
    for (std::size_t i = 0; i < count; ++i) out[i] = PairValue(text[2 * i], text[2 * i + 1]);
    return true;
}

std::string EncodeHexText(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0f];
    }
    return text;
}

}  // namespace tarvik
