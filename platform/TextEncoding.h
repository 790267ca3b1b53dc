// Conversions between the text encodings that registry files come in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

bool IsValidUtf8(std::string_view text);

// Unpaired surrogates become U+FFFD. The input length must be even; an odd final
// byte is dropped (callers check the length when it matters).
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t size);

// Invalid sequences become U+FFFD.
std::vector<std::uint8_t> Utf8ToUtf16Le(std::string_view text);

// Windows-1252 text (what older registry files use) to UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace tarvik
