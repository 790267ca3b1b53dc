#include "app/VersionText.h"

namespace tarvik {
namespace {

constexpr std::size_t kMaxVersionLength = 32;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Takes the next component off `rest`.
std::string_view NextComponent(std::string_view& rest) {
    const std::size_t dot = rest.find('.');
    const std::string_view component = rest.substr(0, dot);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    return component;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

int CompareComponents(std::string_view a, std::string_view b) {
    auto split = [](std::string_view text, std::string_view& number) {
        std::size_t digits = 0;
        while (digits < text.size() && IsDigit(text[digits])) ++digits;
        number = text.substr(0, digits);
        while (!number.empty() && number.front() == '0') number.remove_prefix(1);
        return text.substr(digits);
    };
    std::string_view numberA;
    std::string_view numberB;
    const std::string_view restA = split(a, numberA);
    const std::string_view restB = split(b, numberB);
    // Without leading zeros, the longer number is the larger.
    if (numberA.size() != numberB.size()) return numberA.size() < numberB.size() ? -1 : 1;
    if (const int byDigits = numberA.compare(numberB)) return Sign(byDigits);
    return Sign(restA.compare(restB));
}

}  // namespace

bool IsVersionText(std::string_view text) {
    if (text.empty() || text.size() > kMaxVersionLength || !IsDigit(text.front())) return false;
    for (const char c : text) {
        if (!IsDigit(c) && !IsLetter(c) && c != '.' && c != '-' && c != '+') return false;
    }
    return true;
}

int CompareVersionTexts(std::string_view a, std::string_view b) {
    while (!a.empty() || !b.empty()) {
        if (const int order = CompareComponents(NextComponent(a), NextComponent(b))) return order;
    }
    return 0;
}

}  // namespace tarvik
