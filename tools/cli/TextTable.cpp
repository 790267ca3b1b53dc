#include "tools/cli/TextTable.h"

#include <algorithm>
#include <cstdio>

namespace tarvik::cli {
namespace {

// Characters, not bytes: continuation bytes of UTF-8 do not count.
std::size_t DisplayWidth(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string FormatTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::vector<std::string>> cells;
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        auto& printable = cells.emplace_back();
        for (std::size_t i = 0; i < row.size(); ++i) {
            printable.push_back(PrintableText(row[i]));
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], DisplayWidth(printable.back()));
        }
    }
    std::string out;
    for (const auto& row : cells) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) line += "  ";
            line += row[i];
            if (i + 1 < row.size()) line.append(widths[i] - DisplayWidth(row[i]), ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    return out;
}

}  // namespace tarvik::cli
