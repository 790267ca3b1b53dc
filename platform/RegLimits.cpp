#include "platform/RegLimits.h"

namespace tarvik {

namespace {

// Code points of UTF-8 text; a byte that is not valid UTF-8 counts as one.
std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace

std::string CheckKeyPathLimits(std::string_view path) {
    if (path.empty()) return {};
    std::size_t depth = 0;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (++depth > kMaxKeyDepth) {
            return "the key is nested deeper than " + std::to_string(kMaxKeyDepth) + " levels";
        }
        if (CharacterCount(path.substr(start, end - start)) > kMaxKeyNameLength) {
            return "a key name is longer than " + std::to_string(kMaxKeyNameLength) + " characters";
        }
        start = end + 1;
    }
    return {};
}

std::string CheckValueLimits(const RegValue& value) {
    if (CharacterCount(value.name) > kMaxValueNameLength) {
        return "the value name is longer than " + std::to_string(kMaxValueNameLength) +
               " characters";
    }
    std::size_t size = value.type == RegType::String ? value.text.size() : value.bytes.size();
    if (size > kMaxValueSize) {
        return "the value's data is larger than " + std::to_string(kMaxValueSize >> 20) + " MiB";
    }
    return {};
}

}  // namespace tarvik
