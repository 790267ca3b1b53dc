// Hex text to bytes for tests that write elements and frames by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::testing_support {

using Bytes = std::vector<std::uint8_t>;

// Pairs of hex digits to bytes; blanks are ignored.
inline Bytes Hex(std::string text) {
    std::erase(text, ' ');
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return out;
}

}  // namespace tarvik::testing_support
