// Escaping of outside bytes (SSIDs above all) for the export formats. Every
// output is valid UTF-8: a byte that does not belong to a well-formed UTF-8
// sequence is written as the four characters \xNN, and so is a backslash
// that would otherwise read as the start of such an escape, so that the
// importer can turn every \xNN back into its byte.
#pragma once

#include <string>
#include <string_view>

namespace tarvik {

// Appends `bytes` as UTF-8 text: malformed bytes, NUL and (when
// `escapeControls`) every other C0 control and DEL as \xNN.
void AppendDisplayText(std::string& out, std::string_view bytes, bool escapeControls);

// The reverse for the importer: every \xNN (two hex digits) becomes its byte.
std::string DecodeDisplayText(std::string_view text);

// Text content or attribute value for XML 1.0: display text with every
// control escaped (XML cannot carry them), and & < > " ' as entities.
void AppendXmlText(std::string& out, std::string_view bytes);

// One CSV field (RFC 4180): display text with NUL escaped, quoted when it
// holds a comma, a quote, CR, LF or leading or trailing blanks, inner quotes
// doubled. `guardFormula` also prefixes a field that a spreadsheet would run
// as a formula (=, +, @, or - not followed by a digit) with an apostrophe.
void AppendCsvField(std::string& out, std::string_view bytes, bool guardFormula = false);

}  // namespace tarvik
