// Reading and writing registry-editor text files.
//
// Read: "Windows Registry Editor Version 5.00" or "REGEDIT4" header; UTF-8 with or
// without BOM, UTF-16LE with BOM, or (REGEDIT4 only) Windows-1252; LF or CRLF; ";"
// comment lines; "[ROOT\Key]" and "[-ROOT\Key]" (delete) key lines; value lines
// "name"=..., @=... with data "text" (escapes \\ and \"), dword:XXXXXXXX, hex:..,..,
// hex(N):..,.. (hex lists may continue on the next line after a trailing backslash),
// or - (delete the value).
//
// Written: the 5.00 header, UTF-8 without BOM, LF line ends; keys parents first,
// siblings sorted case-insensitively, each followed by its values in insertion
// order and a blank line. Strings holding a line break or NUL are written as
// hex(1): (UTF-16LE) since quoted strings cannot carry them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegHive.h"
#include "platform/RegValue.h"

namespace tarvik {

inline constexpr std::string_view kRegHeader5 = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kRegHeader4 = "REGEDIT4";

enum class RegOpKind { CreateKey, DeleteKey, SetValue, DeleteValue };

// One instruction of a registry file, in file order.
struct RegOp {
    RegOpKind kind = RegOpKind::CreateKey;
    std::string root;  // the first component of the key line, e.g. "HKEY_CURRENT_USER"
    std::string path;  // normalized, relative to the root
    RegValue value;    // SetValue; DeleteValue uses only the name
    std::size_t line = 0;
};

struct RegParseError {
    std::size_t line = 0;  // 1-based line of the file
    std::string message;   // lower-case phrase, e.g. "missing closing quote"
};

// Parses the whole file; on failure `ops` is left unspecified. Keys and values beyond
// the limits of RegLimits.h are errors.
bool ParseRegFile(std::string_view bytes, std::vector<RegOp>& ops, RegParseError& error);

// The same, listing every bad line in `errors` (in file order). With `tolerant`, bad
// lines are skipped and `ops` holds every other line's instruction (the value lines
// of a skipped key line are skipped too); without it, parsing stops at the first.
// True when there was no bad line.
bool ParseRegFile(std::string_view bytes, std::vector<RegOp>& ops,
                  std::vector<RegParseError>& errors, bool tolerant);

void ApplyRegOp(RegHive& hive, const RegOp& op);

// Whether FormatRegFile can write this REG_SZ text so that it reads back unchanged:
// text holding a line break or NUL goes out as UTF-16, so it must be valid UTF-8.
bool IsWritableString(std::string_view text);

// The hive, or the subtree at `path` (which must exist), as a 5.00 file.
std::string FormatRegFile(const RegHive& hive, std::string_view root, std::string_view path = {});

}  // namespace tarvik
