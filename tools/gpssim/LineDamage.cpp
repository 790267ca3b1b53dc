#include "tools/gpssim/LineDamage.h"

#include <algorithm>

namespace tarvik::gpssim {

CLineDamage::CLineDamage(double badChecksumRate, double cutRate, std::uint32_t seed)
    : badChecksumRate_(badChecksumRate), cutRate_(cutRate), random_(seed) {}

bool CLineDamage::Chance(double rate) {
    if (rate <= 0) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < rate;
}

std::string CLineDamage::Apply(std::string sentence) {
    const std::size_t star = sentence.rfind('*');
    if (star == std::string::npos || star + 2 >= sentence.size()) return sentence;
    if (Chance(cutRate_) && star > 2) {
        ++damaged_;
        // Bytes lost on the line: a piece of the body goes and the checksum
        // stays, no longer matching. A piece that XORs to zero would leave it
        // matching, so it grows or shrinks by one character.
        std::size_t from = std::uniform_int_distribution<std::size_t>(1, star - 1)(random_);
        std::size_t length = std::uniform_int_distribution<std::size_t>(1, star - from)(random_);
        std::uint8_t lost = 0;
        for (std::size_t i = from; i < from + length; ++i) lost ^= std::uint8_t(sentence[i]);
        if (lost == 0) {
            if (from + length < star) {
                ++length;
            } else if (from > 1) {
                --from;
            } else {
                --length;
            }
        }
        return sentence.erase(from, length);
    }
    if (Chance(badChecksumRate_)) {
        ++damaged_;
        char& digit = sentence[star + 2];
        digit = digit == '0' ? '1' : '0';
    }
    return sentence;
}

}  // namespace tarvik::gpssim
