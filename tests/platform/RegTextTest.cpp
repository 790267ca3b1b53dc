#include "platform/RegText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST(RegTextTest, ReadsEveryFormOfValueLine) {
    RegHive hive = ParseToHive(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tarvik]\r\n"
        "@=\"default\"\r\n"
        "\"Short\"=dword:a\r\n"
        "  \"Spaced\" = dword:0000000B  \r\n"
        "\"Text\"=\"a \\\"b\\\" c:\\\\d\"\r\n"
        "\"Bin\"=hex:01,2,\\\r\n"
        "  ff,\\\r\n"
        "  10\r\n"
        "\"Sz\"=hex(1):41,00,42,00,00,00\r\n"
        "\"Dw\"=hex(4):01,02,00,00\r\n"
        "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
        "\"NoData\"=hex(0):\r\n");
    auto value = [&](const char* name) {
        const RegValue* v = hive.FindValue("software\\tarvik", name);
        return v ? *v : RegValue{};
    };
    EXPECT_EQ(value(""), RegValue::MakeString("", "default"));
    EXPECT_EQ(value("Short"), RegValue::MakeDword("Short", 10));
    EXPECT_EQ(value("Spaced"), RegValue::MakeDword("Spaced", 11));
    EXPECT_EQ(value("Text"), RegValue::MakeString("Text", "a \"b\" c:\\d"));
    EXPECT_EQ(value("Bin"), RegValue::MakeBinary("Bin", {0x01, 0x02, 0xFF, 0x10}));
    EXPECT_EQ(value("Sz"), RegValue::MakeString("Sz", "AB"));
    EXPECT_EQ(value("Dw"), RegValue::MakeDword("Dw", 0x201));
    EXPECT_EQ(value("Multi").type, RegType::MultiString);
    EXPECT_EQ(value("Multi").bytes, (std::vector<std::uint8_t>{0x41, 0, 0, 0, 0, 0}));
    EXPECT_EQ(value("NoData").type, RegType::None);
}

TEST(RegTextTest, ReadsUtf16AndOlderFiles) {
    RegHive utf16 = ParseToHive(Utf16Le(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"n\"=\"v\"\r\n"));
    EXPECT_EQ(*utf16.FindValue("A", "n"), RegValue::MakeString("n", "v"));

    RegHive bom =
        ParseToHive("\xEF\xBB\xBFREGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"n\"=\"\xC3\xA9\"\n");
    EXPECT_EQ(bom.FindValue("A", "n")->text, "\xC3\xA9");

    // REGEDIT4 text in Windows-1252, also inside hex(1) and hex(2).
    RegHive old = ParseToHive(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"n\"=\"caf\xE9 \x80\"\n\"s\"=hex(1):41,e9,00\n"
        "\"e\"=hex(2):41,00\n");
    EXPECT_EQ(old.FindValue("A", "n")->text, "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(old.FindValue("A", "s")->text, "A\xC3\xA9");
    EXPECT_EQ(old.FindValue("A", "e")->bytes, (std::vector<std::uint8_t>{0x41, 0, 0, 0}));
}

TEST(RegTextTest, DeletionsAreInstructionsInOrder) {
    std::vector<RegOp> ops;
    RegParseError error;
    ASSERT_TRUE(
        ParseRegFile("Windows Registry Editor Version 5.00\n\n[-HKEY_CURRENT_USER\\A\\B]\n"
                     "[HKEY_CURRENT_USER\\A]\n\"gone\"=-\n",
                     ops, error));
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, RegOpKind::DeleteKey);
    EXPECT_EQ(ops[0].root, "HKEY_CURRENT_USER");
    EXPECT_EQ(ops[0].path, "A\\B");
    EXPECT_EQ(ops[2].kind, RegOpKind::DeleteValue);
    EXPECT_EQ(ops[2].value.name, "gone");
    EXPECT_EQ(ops[2].line, 5u);

    RegHive hive;
    hive.SetValue("A\\B\\C", RegValue::MakeDword("x", 1));
    hive.SetValue("A", RegValue::MakeDword("gone", 1));
    hive.SetValue("A", RegValue::MakeDword("kept", 1));
    for (const RegOp& op : ops) ApplyRegOp(hive, op);
    EXPECT_FALSE(hive.HasKey("A\\B"));
    EXPECT_EQ(hive.FindValue("A", "gone"), nullptr);
    EXPECT_NE(hive.FindValue("A", "kept"), nullptr);
}

struct BadFile {
    const char* name;
    std::string text;
    std::size_t line;
    const char* message;
};

TEST(RegTextTest, RejectsMalformedFilesNamingTheLine) {
    const std::string h = "Windows Registry Editor Version 5.00\n\n";
    const std::string k = h + "[HKEY_CURRENT_USER\\A]\n";  // values start on line 4
    const std::vector<BadFile> cases = {
        {"no header", "[HKEY_CURRENT_USER\\A]\n", 1, "does not begin"},
        {"empty file", "", 1, "does not begin"},
        {"header misspelt", "Windows Registry Editor Version 5.0\n", 1, "does not begin"},
        {"value before key", h + "\"a\"=dword:1\n", 3, "before any [key]"},
        {"unterminated key", h + "[HKEY_CURRENT_USER\\A\n", 3, "does not end with ]"},
        {"empty root", h + "[\\A]\n", 3, "no root"},
        {"control char in key", h + "[HKEY_CURRENT_USER\\A\tB]\n", 3, "control character"},
        {"stray text", k + "junk\n", 4, "expected a [key]"},
        {"missing quote", k + "\"a=dword:1\n", 4, "missing closing quote"},
        {"missing equals", k + "\"a\" dword:1\n", 4, "expected ="},
        {"bad escape", k + "\"a\"=\"C:\\dir\"\n", 4, "backslash"},
        {"text after string", k + "\"a\"=\"x\" y\n", 4, "after the closing quote"},
        {"dword too long", k + "\"a\"=dword:123456789\n", 4, "1 to 8 hex digits"},
        {"dword empty", k + "\"a\"=dword:\n", 4, "1 to 8 hex digits"},
        {"dword not hex", k + "\"a\"=dword:0x10\n", 4, "1 to 8 hex digits"},
        {"hex item too long", k + "\"a\"=hex:100\n", 4, "1 or 2 hex digits"},
        {"hex empty item", k + "\"a\"=hex:01,,02\n", 4, "1 or 2 hex digits"},
        {"hex type missing", k + "\"a\"=hex():01\n", 4, "type number"},
        {"unknown type", k + "\"a\"=qword:1\n", 4, "unknown value data"},
        {"continuation at end", k + "\"a\"=hex:01,\\\n", 4, "past the end"},
        {"bad item after continuation", k + "\"a\"=hex:01,\\\n  zz\n", 4, "hex digits"},
        {"hex(4) size", k + "\"a\"=hex(4):01,02\n", 4, "4 bytes"},
        {"hex(1) odd", k + "\"a\"=hex(1):41\n", 4, "even number"},
        {"value after delete", h + "[-HKEY_CURRENT_USER\\A]\n\"a\"=dword:1\n", 4, "deletion"},
        {"later line", k + "\"a\"=dword:1\n\n\"b\"=\n", 6, "unknown value data"},
        {"utf16 big endian", "\xFE\xFF", 1, "big-endian"},
        {"utf16 odd length", "\xFF\xFE\x41", 1, "odd number"},
    };
    for (const BadFile& c : cases) {
        std::vector<RegOp> ops;
        RegParseError error;
        EXPECT_FALSE(ParseRegFile(c.text, ops, error)) << c.name;
        EXPECT_EQ(error.line, c.line) << c.name;
        EXPECT_THAT(error.message, HasSubstr(c.message)) << c.name;
    }
}

TEST(RegTextTest, WritesParentsFirstAndReadsBackTheSame) {
    RegHive hive;
    hive.SetValue("", RegValue::MakeDword("RootValue", 1));
    hive.SetValue("b\\Child", RegValue::MakeString("", "x"));
    hive.SetValue("B", RegValue::MakeDword("v", 2));
    hive.SetValue("a", RegValue::MakeBinary("blob", std::vector<std::uint8_t>(40, 0xAB)));
    hive.CreateKey("Empty");
    std::string text = FormatRegFile(hive, "HKEY_CURRENT_USER");
    EXPECT_EQ(text,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER]\n\"RootValue\"=dword:00000001\n\n"
              "[HKEY_CURRENT_USER\\a]\n"
              "\"blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
              "  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\n\n"
              "[HKEY_CURRENT_USER\\b]\n\"v\"=dword:00000002\n\n"
              "[HKEY_CURRENT_USER\\b\\Child]\n@=\"x\"\n\n"
              "[HKEY_CURRENT_USER\\Empty]\n\n");
    EXPECT_EQ(ParseToHive(text), hive);

    std::string subtree = FormatRegFile(hive, "HKEY_CURRENT_USER", "B");
    EXPECT_EQ(subtree,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\b]\n\"v\"=dword:00000002\n\n"
              "[HKEY_CURRENT_USER\\b\\Child]\n@=\"x\"\n\n");
}

}  // namespace
}  // namespace tarvik
