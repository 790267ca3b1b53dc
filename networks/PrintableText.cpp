#include "networks/PrintableText.h"

#include <cstdint>

namespace tarvik {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `rest`, or 0.
std::size_t SequenceLength(std::string_view rest) {
    const auto lead = static_cast<std::uint8_t>(rest[0]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (rest.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(rest[i]);
        if ((next & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values above U+10FFFF.
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

bool IsControl(std::string_view sequence) {
    const auto lead = static_cast<std::uint8_t>(sequence[0]);
    if (sequence.size() == 1) return lead < 0x20 || lead == 0x7F;
    // C1 controls U+0080-U+009F.
    return lead == 0xC2 && static_cast<std::uint8_t>(sequence[1]) < 0xA0;
}

}  // namespace

std::string MakePrintableText(std::string_view raw, std::size_t maxBytes) {
    std::string out;
    out.reserve(raw.size() < maxBytes ? raw.size() : maxBytes);
    while (!raw.empty()) {
        std::size_t length = SequenceLength(raw);
        std::string_view piece = raw.substr(0, length);
        if (length == 0) {
            length = 1;
            piece = "?";
        }
        raw.remove_prefix(length);
        if (IsControl(piece)) {
            // Tabs and line breaks inside a name read as a blank.
            if (piece[0] == '\t' || piece[0] == '\n' || piece[0] == '\r')
                piece = " ";
            else
                continue;
        }
        if (piece == " " && (out.empty() || out.back() == ' ')) continue;
        if (out.size() + piece.size() > maxBytes) break;
        out.append(piece);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace tarvik
