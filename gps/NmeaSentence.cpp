#include "gps/NmeaSentence.h"

#include <cstdint>

namespace tarvik {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsPrintable(char c) {
    return c >= 32 && c <= 126;
}

// The line without its trailing CR/LF characters.
std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

// `tail` is what follows '*': exactly two hex digits matching the XOR of `body`.
bool ChecksumMatches(std::string_view body, std::string_view tail) {
    if (tail.size() != 2) return false;
    const int high = HexValue(tail[0]);
    const int low = HexValue(tail[1]);
    if (high < 0 || low < 0) return false;
    std::uint8_t sum = 0;
    for (char c : body) sum ^= static_cast<std::uint8_t>(c);
    return sum == high * 16 + low;
}

void SplitFields(std::string_view body, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = body.find(',', start);
        fields.push_back(body.substr(start, comma - start));
        if (comma == std::string_view::npos) return;
        start = comma + 1;
    }
}

}  // namespace

NmeaDropReason SplitNmeaSentence(std::string_view line, NmeaSentence& sentence) {
    const std::string_view text = WithoutLineEnd(line);
    if (text.size() > kNmeaMaxSentenceLength) return DROP_TOO_LONG;
    if (text.empty() || text.front() != '$') return DROP_NOT_A_SENTENCE;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // '$' starts a sentence, so one inside the text means two were spliced.
        if (!IsPrintable(text[i]) || (i > 0 && text[i] == '$')) return DROP_BAD_CHARACTER;
    }
    const std::size_t star = text.find('*');
    const std::string_view body =
        text.substr(1, star == std::string_view::npos ? std::string_view::npos : star - 1);
    if (star != std::string_view::npos && !ChecksumMatches(body, text.substr(star + 1)))
        return DROP_BAD_CHECKSUM;
    SplitFields(body, sentence.fields);
    if (sentence.fields.front().empty()) return DROP_NOT_A_SENTENCE;
    sentence.textLength = 1 + body.size();
    sentence.hadChecksum = star != std::string_view::npos;
    return DROP_NONE;
}

}  // namespace tarvik
