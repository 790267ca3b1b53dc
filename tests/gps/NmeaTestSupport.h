// Sentence builders for the parser tests.
#pragma once

#include <cstdio>
#include <string>

namespace tarvik {

// "$" + body + "*hh" with the body's XOR checksum.
inline std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

}  // namespace tarvik
