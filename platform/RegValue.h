// One typed registry value and the small helpers shared by the registry code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// Value types, numbered as the Windows registry numbers them. String, Binary and
// Dword are decoded; every other number (the named ones below and any other) keeps
// its raw data in RegValue::bytes and is written back unchanged as hex(N):.
enum class RegType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    MultiString = 7,
    Qword = 11,
};

struct RegValue {
    std::string name;  // "" is the key's default value ("@" in files)
    RegType type = RegType::Dword;
    std::uint32_t dword = 0;          // RegType::Dword
    std::string text;                 // RegType::String (UTF-8)
    std::vector<std::uint8_t> bytes;  // RegType::Binary and every other type

    static RegValue MakeDword(std::string name, std::uint32_t value);
    static RegValue MakeString(std::string name, std::string value);
    static RegValue MakeBinary(std::string name, std::vector<std::uint8_t> value);

    // Equal name (exactly), type and the data that type uses.
    bool operator==(const RegValue& other) const;
};

// ASCII case folding, the comparison used for key and value names.
std::string FoldCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace tarvik
