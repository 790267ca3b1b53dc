#include "platform/RegText.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "platform/RegLimits.h"
#include "platform/TextEncoding.h"

namespace tarvik {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, nothing else.
std::optional<std::uint32_t> ParseHex32(std::string_view s) {
    if (s.empty() || s.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return value;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Turns the file's bytes into UTF-8 text.
bool DecodeBytes(std::string_view bytes, std::string& text, bool& wasUtf16, RegParseError& error) {
    wasUtf16 = false;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        if (bytes.size() % 2 != 0) {
            error = {1, "the UTF-16 file has an odd number of bytes"};
            return false;
        }
        text = Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2,
                             bytes.size() - 2);
        wasUtf16 = true;
        return true;
    }
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
        error = {1, "UTF-16 big-endian files are not supported"};
        return false;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    text.assign(bytes);
    return true;
}

class Parser {
  public:
    Parser(std::vector<std::string_view> lines, bool regedit4, std::vector<RegOp>& ops)
        : lines_(std::move(lines)), regedit4_(regedit4), ops_(ops) {}

    // Stops at the first bad line unless `tolerant`; then every bad line is listed
    // and skipped, and the value lines of a skipped key line are skipped too.
    bool Run(std::size_t firstLine, bool tolerant, std::vector<RegParseError>& errors) {
        for (index_ = firstLine; index_ < lines_.size(); ++index_) {
            std::string_view line = Trim(lines_[index_]);
            if (line.empty() || line.front() == ';') continue;
            std::string message;
            bool ok;
            if (line.front() == '[') {
                ok = ParseKeyLine(line, message);
                if (!ok) keySkipped_ = true;
            } else if (line.front() == '"' || line.front() == '@') {
                std::size_t startLine = index_;
                ok = ParseValueLine(line, message);
                if (!ok) index_ = startLine;
            } else {
                ok = false;
                message = "expected a [key] line or a \"name\"= value line";
            }
            if (!ok) {
                errors.push_back({index_ + 1, message});
                if (!tolerant) return false;
            }
        }
        return errors.empty();
    }

  private:
    bool ParseKeyLine(std::string_view line, std::string& message) {
        if (line.back() != ']') {
            message = "the key line does not end with ]";
            return false;
        }
        std::string_view inner = line.substr(1, line.size() - 2);
        bool remove = !inner.empty() && inner.front() == '-';
        if (remove) inner.remove_prefix(1);
        std::size_t sep = inner.find('\\');
        std::string_view root = inner.substr(0, sep);
        std::string_view rest = sep == std::string_view::npos ? "" : inner.substr(sep + 1);
        if (root.empty()) {
            message = "the key line names no root key";
            return false;
        }
        auto path = RegHive::NormalizePath(rest);
        if (!path || !RegHive::NormalizePath(root)) {
            message = "the key name holds a control character";
            return false;
        }
        message = CheckKeyPathLimits(*path);
        if (!message.empty()) return false;
        RegOp op;
        op.kind = remove ? RegOpKind::DeleteKey : RegOpKind::CreateKey;
        op.root.assign(root);
        op.path = *path;
        op.line = index_ + 1;
        ops_.push_back(op);
        currentKey_ = std::move(op);
        haveKey_ = true;
        keySkipped_ = false;
        return true;
    }

    bool ParseValueLine(std::string_view line, std::string& message) {
        if (keySkipped_) {
            message = "the value belongs to a key line that was skipped";
            return false;
        }
        if (!haveKey_) {
            message = "a value line comes before any [key] line";
            return false;
        }
        if (currentKey_.kind == RegOpKind::DeleteKey) {
            message = "a value line follows a key deletion";
            return false;
        }
        RegOp op;
        op.root = currentKey_.root;
        op.path = currentKey_.path;
        op.line = index_ + 1;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, op.value.name, message)) {
            return false;
        } else if (!RegHive::IsValidValueName(op.value.name)) {
            message = "the value name holds a NUL or line-break character";
            return false;
        }
        std::string_view rest = Trim(line.substr(pos));
        if (rest.empty() || rest.front() != '=') {
            message = "expected = after the value name";
            return false;
        }
        std::string data(Trim(rest.substr(1)));
        if (StartsWithNoCase(data, "hex") && !JoinContinuations(data, message)) return false;
        if (!ParseData(data, op, message)) return false;
        message = CheckValueLimits(op.value);
        if (!message.empty()) return false;
        ops_.push_back(std::move(op));
        return true;
    }

    // Appends the following lines while the data ends with a backslash.
    bool JoinContinuations(std::string& data, std::string& message) {
        while (!data.empty() && data.back() == '\\') {
            data.pop_back();
            if (index_ + 1 >= lines_.size()) {
                message = "the hex list continues past the end of the file";
                return false;
            }
            ++index_;
            data += Trim(lines_[index_]);
        }
        return true;
    }

    // A double-quoted string starting at line[pos]; pos ends after the closing quote.
    static bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& out,
                            std::string& message) {
        ++pos;  // opening quote
        while (pos < line.size()) {
            char c = line[pos++];
            if (c == '"') return true;
            if (c == '\\') {
                if (pos >= line.size() || (line[pos] != '\\' && line[pos] != '"')) {
                    message =
                        "a backslash in a quoted string must be doubled (\\\\) or escape a "
                        "quote (\\\")";
                    return false;
                }
                c = line[pos++];
            }
            out += c;
        }
        message = "missing closing quote";
        return false;
    }

    bool ParseData(std::string_view data, RegOp& op, std::string& message) {
        if (data == "-") {
            op.kind = RegOpKind::DeleteValue;
            return true;
        }
        op.kind = RegOpKind::SetValue;
        if (!data.empty() && data.front() == '"') {
            std::size_t pos = 0;
            op.value.type = RegType::String;
            if (!ParseQuoted(data, pos, op.value.text, message)) return false;
            if (pos != data.size()) {
                message = "unexpected text after the closing quote";
                return false;
            }
            if (op.value.text.find_first_of(std::string_view("\r\0", 2)) != std::string::npos) {
                message = "a quoted string holds a NUL or carriage-return character";
                return false;
            }
            return true;
        }
        if (StartsWithNoCase(data, "dword:")) {
            auto value = ParseHex32(data.substr(6));
            if (!value) {
                message = "dword: must be followed by 1 to 8 hex digits";
                return false;
            }
            op.value.type = RegType::Dword;
            op.value.dword = *value;
            return true;
        }
        std::uint32_t type = static_cast<std::uint32_t>(RegType::Binary);
        std::string_view list;
        if (StartsWithNoCase(data, "hex:")) {
            list = data.substr(4);
        } else if (StartsWithNoCase(data, "hex(")) {
            std::size_t close = data.find("):");
            auto number = close == std::string_view::npos ? std::nullopt
                                                          : ParseHex32(data.substr(4, close - 4));
            if (!number) {
                message = "hex( must be followed by a hex type number and ):";
                return false;
            }
            type = *number;
            list = data.substr(close + 2);
        } else {
            message = "unknown value data (expected \"text\", dword:, hex:, hex(N): or -)";
            return false;
        }
        std::vector<std::uint8_t> bytes;
        if (!ParseHexList(list, bytes, message)) return false;
        return MakeTyped(type, std::move(bytes), op.value, message);
    }

    static bool ParseHexList(std::string_view list, std::vector<std::uint8_t>& bytes,
                             std::string& message) {
        list = Trim(list);
        if (!list.empty() && list.back() == ',') list.remove_suffix(1);
        if (list.empty()) return true;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(',', start);
            if (end == std::string_view::npos) end = list.size();
            std::string_view item = Trim(list.substr(start, end - start));
            auto value = item.size() <= 2 ? ParseHex32(item) : std::nullopt;
            if (!value) {
                message = "a hex list item must be 1 or 2 hex digits";
                return false;
            }
            bytes.push_back(static_cast<std::uint8_t>(*value));
            start = end + 1;
        }
        return true;
    }

    // hex(1) and hex(4) become the decoded types; REGEDIT4 files hold 8-bit text
    // in hex(1), hex(2) and hex(7), which is turned into what 5.00 files hold.
    bool MakeTyped(std::uint32_t type, std::vector<std::uint8_t> bytes, RegValue& value,
                   std::string& message) const {
        value.type = static_cast<RegType>(type);
        bool text8 =
            regedit4_ && (value.type == RegType::String || value.type == RegType::ExpandString ||
                          value.type == RegType::MultiString);
        if (text8) {
            std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            std::string utf8 = IsValidUtf8(raw) ? std::string(raw) : Cp1252ToUtf8(raw);
            if (value.type == RegType::String) {
                if (!utf8.empty() && utf8.back() == '\0') utf8.pop_back();
                value.text = std::move(utf8);
                return true;
            }
            bytes = Utf8ToUtf16Le(utf8);
        }
        if (value.type == RegType::String) {
            if (bytes.size() % 2 != 0) {
                message = "hex(1) data must be UTF-16 (an even number of bytes)";
                return false;
            }
            std::size_t size = bytes.size();
            if (size >= 2 && bytes[size - 1] == 0 && bytes[size - 2] == 0) size -= 2;
            value.text = Utf16LeToUtf8(bytes.data(), size);
            return true;
        }
        if (value.type == RegType::Dword) {
            if (bytes.size() != 4) {
                message = "hex(4) data must be 4 bytes";
                return false;
            }
            value.dword = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                          (static_cast<std::uint32_t>(bytes[3]) << 24);
            return true;
        }
        value.bytes = std::move(bytes);
        return true;
    }

    std::vector<std::string_view> lines_;
    bool regedit4_;
    std::vector<RegOp>& ops_;
    std::size_t index_ = 0;
    RegOp currentKey_;
    bool haveKey_ = false;
    bool keySkipped_ = false;
};

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendHexList(std::string& out, const std::vector<std::uint8_t>& bytes) {
    // Wrapped like Windows exports: at most about 80 columns, two-space indent.
    std::size_t column =
        out.size() - (out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    static constexpr char kDigits[] = "0123456789abcdef";
    out.reserve(out.size() + bytes.size() * 3 + bytes.size() / 8);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column >= 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

bool NeedsUtf16(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void AppendValue(std::string& out, const RegValue& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    char buffer[32];
    switch (value.type) {
        case RegType::Dword:
            std::snprintf(buffer, sizeof buffer, "dword:%08x", value.dword);
            out += buffer;
            break;
        case RegType::String:
            if (!NeedsUtf16(value.text)) {
                AppendQuoted(out, value.text);
            } else {
                std::vector<std::uint8_t> bytes = Utf8ToUtf16Le(value.text);
                bytes.push_back(0);
                bytes.push_back(0);
                out += "hex(1):";
                AppendHexList(out, bytes);
            }
            break;
        case RegType::Binary:
            out += "hex:";
            AppendHexList(out, value.bytes);
            break;
        default:
            std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
            out += buffer;
            AppendHexList(out, value.bytes);
            break;
    }
    out += '\n';
}

}  // namespace

bool ParseRegFile(std::string_view bytes, std::vector<RegOp>& ops,
                  std::vector<RegParseError>& errors, bool tolerant) {
    ops.clear();
    errors.clear();
    std::string text;
    bool wasUtf16 = false;
    RegParseError error;
    if (!DecodeBytes(bytes, text, wasUtf16, error)) {
        errors.push_back(error);
        return false;
    }
    std::vector<std::string_view> lines = SplitLines(text);
    std::size_t header = 0;
    while (header < lines.size() && Trim(lines[header]).empty()) ++header;
    std::string_view first = header < lines.size() ? Trim(lines[header]) : std::string_view();
    bool regedit4 = first == kRegHeader4;
    std::size_t firstBody = header + 1;
    if (first != kRegHeader5 && !regedit4) {
        errors.push_back({header + 1,
                          "the file does not begin with \"Windows Registry Editor Version "
                          "5.00\" or \"REGEDIT4\""});
        if (!tolerant) return false;
        // A lost header line: a key line in its place is still read.
        if (!first.empty() && first.front() == '[') firstBody = header;
    }
    if (regedit4 && !wasUtf16 && !IsValidUtf8(text)) {
        text = Cp1252ToUtf8(text);
        lines = SplitLines(text);
    }
    return Parser(std::move(lines), regedit4, ops).Run(firstBody, tolerant, errors);
}

bool ParseRegFile(std::string_view bytes, std::vector<RegOp>& ops, RegParseError& error) {
    std::vector<RegParseError> errors;
    if (ParseRegFile(bytes, ops, errors, false)) return true;
    error = errors.front();
    return false;
}

bool IsWritableString(std::string_view text) {
    return !NeedsUtf16(text) || IsValidUtf8(text);
}

void ApplyRegOp(RegHive& hive, const RegOp& op) {
    switch (op.kind) {
        case RegOpKind::CreateKey:
            hive.CreateKey(op.path);
            break;
        case RegOpKind::DeleteKey:
            hive.DeleteKey(op.path);
            break;
        case RegOpKind::SetValue:
            hive.SetValue(op.path, op.value);
            break;
        case RegOpKind::DeleteValue:
            hive.DeleteValue(op.path, op.value.name);
            break;
    }
}

std::string FormatRegFile(const RegHive& hive, std::string_view root, std::string_view path) {
    std::string out(kRegHeader5);
    out += "\n\n";
    for (const RegHive::Key* key : hive.Subtree(path)) {
        if (key->path.empty() && key->values.empty()) continue;
        out += '[';
        out += root;
        if (!key->path.empty()) {
            out += '\\';
            out += key->path;
        }
        out += "]\n";
        for (const RegValue& value : key->values) AppendValue(out, value);
        out += '\n';
    }
    return out;
}

}  // namespace tarvik
