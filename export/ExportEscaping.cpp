#include "export/ExportEscaping.h"

#include <cstdint>

namespace tarvik {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendByteEscape(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0f];
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xc0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at `text[i]` (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    if (at(1) < low || at(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (!IsContinuation(at(k))) return 0;
    }
    return length;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool StartsByteEscape(std::string_view text, std::size_t i) {
    return text.size() - i >= 4 && text[i] == '\\' && (text[i + 1] == 'x') &&
           IsHexDigit(text[i + 2]) && IsHexDigit(text[i + 3]);
}

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

}  // namespace

void AppendDisplayText(std::string& out, std::string_view bytes, bool escapeControls) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0 || byte == 0 || (escapeControls && IsControl(byte)) ||
            StartsByteEscape(bytes, i)) {
            AppendByteEscape(out, byte);
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
}

std::string DecodeDisplayText(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (StartsByteEscape(text, i)) {
            bytes += static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
            i += 4;
        } else {
            bytes += text[i++];
        }
    }
    return bytes;
}

void AppendXmlText(std::string& out, std::string_view bytes) {
    std::string text;
    AppendDisplayText(text, bytes, true);
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
}

void AppendCsvField(std::string& out, std::string_view bytes, bool guardFormula) {
    std::string text;
    if (guardFormula && !bytes.empty()) {
        const char first = bytes.front();
        const bool digitFollows = bytes.size() > 1 && bytes[1] >= '0' && bytes[1] <= '9';
        if (first == '=' || first == '+' || first == '@' || (first == '-' && !digitFollows))
            text += '\'';
    }
    AppendDisplayText(text, bytes, false);
    bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') quote = true;
    }
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace tarvik
