#include "platform/RegValue.h"

#include <utility>

namespace tarvik {

RegValue RegValue::MakeDword(std::string name, std::uint32_t value) {
    RegValue v;
    v.name = std::move(name);
    v.type = RegType::Dword;
    v.dword = value;
    return v;
}

RegValue RegValue::MakeString(std::string name, std::string value) {
    RegValue v;
    v.name = std::move(name);
    v.type = RegType::String;
    v.text = std::move(value);
    return v;
}

RegValue RegValue::MakeBinary(std::string name, std::vector<std::uint8_t> value) {
    RegValue v;
    v.name = std::move(name);
    v.type = RegType::Binary;
    v.bytes = std::move(value);
    return v;
}

bool RegValue::operator==(const RegValue& other) const {
    if (name != other.name || type != other.type) return false;
    switch (type) {
        case RegType::Dword:
            return dword == other.dword;
        case RegType::String:
            return text == other.text;
        default:
            return bytes == other.bytes;
    }
}

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace tarvik
