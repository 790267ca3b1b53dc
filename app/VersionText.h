// Version texts such as "1.2" or "1.10.3": compared component by component
// as numbers, so 1.10 is newer than 1.2 and 1.2 equals 1.2.0.
#pragma once

#include <string_view>

namespace tarvik {

// True for a text of up to 32 characters that starts with a digit and holds
// only digits, letters, '.', '-' and '+'.
bool IsVersionText(std::string_view text);

// Negative, 0 or positive as `a` is older than, equal to or newer than `b`.
// Components are split at '.'; each compares by its leading number (any
// length), then by the rest of it byte by byte; a missing component is 0.
int CompareVersionTexts(std::string_view a, std::string_view b);

}  // namespace tarvik
