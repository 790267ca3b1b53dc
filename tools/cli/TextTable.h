// Text for a terminal: cells in padded columns, and outside bytes made safe
// to print (an SSID may hold escape sequences that a terminal would obey).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::cli {

// Control bytes (below 0x20, and 0x7f) as "\xNN"; everything else as is.
std::string PrintableText(std::string_view text);

// The rows (the first is the header) as lines, each cell padded to its
// column's widest cell (UTF-8 characters counted, not bytes), two spaces
// between columns, no trailing blanks. Cells are printed as PrintableText.
std::string FormatTable(const std::vector<std::vector<std::string>>& rows);

}  // namespace tarvik::cli
