// Text from outside (a web server's answer, a vendor file) made fit to show
// and to store: control characters dropped, malformed UTF-8 replaced by '?',
// surrounding blanks trimmed and the length capped at a character boundary.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvik {

std::string MakePrintableText(std::string_view raw, std::size_t maxBytes);

}  // namespace tarvik
