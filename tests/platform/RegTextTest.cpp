#include "platform/RegText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/RegLimits.h"

namespace tarvik {
namespace {

using ::testing::HasSubstr;

RegHive ParseToHive(std::string_view bytes) {
    std::vector<RegOp> ops;
    RegParseError error;
    EXPECT_TRUE(ParseRegFile(bytes, ops, error)) << "line " << error.line << ": " << error.message;
    RegHive hive;
    for (const RegOp& op : ops) ApplyRegOp(hive, op);
    return hive;
}

std::string Utf16Le(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

RegValue Typed(const char* name, RegType type, std::vector<std::uint8_t> bytes) {
    return RegValue{name, type, 0, "", std::move(bytes)};
}

TEST(RegTextTest, ReadsEveryFormOfValueLineAndEveryEncoding) {
    const struct {
        const char* name;
        std::string text;
        std::vector<RegValue> values;  // of key A, in order
    } rows[] = {
        {"value lines",
         "Windows Registry Editor Version 5.00\r\n\r\n; a comment\r\n[HKEY_CURRENT_USER\\a]\r\n"
         "@=\"default\"\r\n\"Short\"=dword:a\r\n  \"Spaced\" = dword:0000000B  \r\n"
         "\"Text\"=\"a \\\"b\\\" c:\\\\d\"\r\n\"Bin\"=hex:01,2,\\\r\n  ff,\\\r\n  10\r\n"
         "\"Sz\"=hex(1):41,00,e9,00,00,00\r\n\"Dw\"=hex(4):01,02,00,00\r\n"
         "\"Multi\"=hex(7):41,00,00,00,00,00\r\n\"NoData\"=hex(0):\r\n",
         {RegValue::MakeString("", "default"), RegValue::MakeDword("Short", 10),
          RegValue::MakeDword("Spaced", 11), RegValue::MakeString("Text", "a \"b\" c:\\d"),
          RegValue::MakeBinary("Bin", {0x01, 0x02, 0xFF, 0x10}),
          RegValue::MakeString("Sz", "A\xC3\xA9"), RegValue::MakeDword("Dw", 0x201),
          Typed("Multi", RegType::MultiString, {0x41, 0, 0, 0, 0, 0}),
          Typed("NoData", RegType::None, {})}},
        {"UTF-16",
         Utf16Le("Windows Registry Editor Version "
                 "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"n\"=\"v\"\r\n"),
         {RegValue::MakeString("n", "v")}},
        {"UTF-8 BOM",
         "\xEF\xBB\xBFREGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"n\"=\"\xC3\xA9\"\n",
         {RegValue::MakeString("n", "\xC3\xA9")}},
        {"REGEDIT4 in Windows-1252, also inside hex(1) and hex(2)",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"n\"=\"caf\xE9 \x80\"\n\"s\"=hex(1):41,e9,00\n"
         "\"e\"=hex(2):41,00\n",
         {RegValue::MakeString("n", "caf\xC3\xA9 \xE2\x82\xAC"),
          RegValue::MakeString("s", "A\xC3\xA9"),
          Typed("e", RegType::ExpandString, {0x41, 0, 0, 0})}},
        {"deletions in order",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:1\n[-HKEY_CURRENT_USER\\A]\n"
         "[HKEY_CURRENT_USER\\A]\n\"b\"=dword:2\n\"c\"=dword:3\n\"b\"=-\n",
         {RegValue::MakeDword("c", 3)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseToHive(row.text).Values("A"), row.values);
    }
}

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00\n\n";
constexpr std::string_view kHeaderAndKey =
    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n";

[[gnu::noinline]] std::string WithPrefix(std::string_view prefix, std::string_view rest) {
    std::string text;
    text.reserve(prefix.size() + rest.size());
    text.append(prefix);
    text.append(rest);
    return text;
}

std::string Deep(std::size_t depth) {
    std::string path;
    for (std::size_t i = 0; i < depth; ++i) path += "\\k";
    return path;
}

struct BadFile {
    const char* name;
    std::string text;
    std::size_t line;
    const char* message;
};

TEST(RegTextTest, RejectsMalformedFilesNamingTheLine) {
    // Built out of line: GCC 12 at -O3 reports a false overlap in inlined string +.
    auto H = [](std::string_view rest) { return WithPrefix(kHeader, rest); };
    auto K = [](std::string_view rest) { return WithPrefix(kHeaderAndKey, rest); };  // line 4 on
    const std::vector<BadFile> cases = {
        {"no header", "[HKEY_CURRENT_USER\\A]\n", 1, "does not begin"},
        {"header misspelt", "Windows Registry Editor Version 5.0\n", 1, "does not begin"},
        {"value before key", H("\"a\"=dword:1\n"), 3, "before any [key]"},
        {"unterminated key", H("[HKEY_CURRENT_USER\\A\n"), 3, "does not end with ]"},
        {"empty root", H("[\\A]\n"), 3, "no root"},
        {"control char in key", H("[HKEY_CURRENT_USER\\A\tB]\n"), 3, "control character"},
        {"stray text", K("junk\n"), 4, "expected a [key]"},
        {"missing quote", K("\"a=dword:1\n"), 4, "missing closing quote"},
        {"missing equals", K("\"a\" dword:1\n"), 4, "expected ="},
        {"bad escape", K("\"a\"=\"C:\\dir\"\n"), 4, "backslash"},
        {"dword too long", K("\"a\"=dword:123456789\n"), 4, "1 to 8 hex digits"},
        {"dword not hex", K("\"a\"=dword:0x10\n"), 4, "1 to 8 hex digits"},
        {"hex item too long", K("\"a\"=hex:100\n"), 4, "1 or 2 hex digits"},
        {"unknown type", K("\"a\"=qword:1\n"), 4, "unknown value data"},
        {"continuation at end", K("\"a\"=hex:01,\\\n"), 4, "past the end"},
        {"hex(4) size", K("\"a\"=hex(4):01,02\n"), 4, "4 bytes"},
        {"hex(1) odd", K("\"a\"=hex(1):41\n"), 4, "even number"},
        {"value after delete", H("[-HKEY_CURRENT_USER\\A]\n\"a\"=dword:1\n"), 4, "deletion"},
        {"NUL in value name", K(std::string("\"a\0b\"=dword:1\n", 14)), 4, "NUL"},
        {"NUL in string", K(std::string("\"a\"=\"x\0\"\n", 9)), 4, "NUL"},
        {"CR in string", K("\"a\"=\"x\ry\"\n"), 4, "carriage-return"},
        {"later line", K("\"a\"=dword:1\n\n\"b\"=\n"), 6, "unknown value data"},
        {"utf16 big endian", "\xFE\xFF", 1, "big-endian"},
        {"utf16 odd length", "\xFF\xFE\x41", 1, "odd number"},
        // A 48 KB import once made a 384 MB hive that could not be read back.
        {"key too deep", H("[HKEY_CURRENT_USER" + Deep(kMaxKeyDepth + 1) + "]\n"), 3, "deeper"},
        {"key name too long", H("[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n"), 3,
         "longer than 255"},
        {"value too big", K("\"a\"=\"" + std::string(kMaxValueSize + 1, 'x') + "\"\n"), 4,
         "larger than 1 MiB"},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RegOp> ops;
        RegParseError error;
        EXPECT_FALSE(ParseRegFile(c.text, ops, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_THAT(error.message, HasSubstr(c.message));
    }
}

TEST(RegTextTest, WritesParentsFirstWrapsLongHexAndReadsBackTheSame) {
    RegHive hive;
    hive.SetValue("", RegValue::MakeDword("RootValue", 1));
    hive.SetValue("b\\Child", RegValue::MakeString("", "x"));
    hive.SetValue("B", RegValue::MakeDword("v", 2));
    hive.SetValue("B", RegValue::MakeString("s", "a\nb"));  // a line break goes out as hex(1)
    hive.SetValue("a", RegValue::MakeBinary("blob", std::vector<std::uint8_t>(40, 0xAB)));
    hive.CreateKey("Empty");
    std::string text = FormatRegFile(hive, "HKEY_CURRENT_USER");
    EXPECT_EQ(
        text,
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER]\n\"RootValue\"=dword:00000001\n\n"
        "[HKEY_CURRENT_USER\\a]\n"
        "\"blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
        "  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\n\n"
        "[HKEY_CURRENT_USER\\b]\n\"v\"=dword:00000002\n\"s\"=hex(1):61,00,0a,00,62,00,00,00\n\n"
        "[HKEY_CURRENT_USER\\b\\Child]\n@=\"x\"\n\n"
        "[HKEY_CURRENT_USER\\Empty]\n\n");
    EXPECT_EQ(ParseToHive(text), hive);
}
}  // namespace
}  // namespace tarvik
