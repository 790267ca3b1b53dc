// Outside bytes as each export format writes them.
#include <gtest/gtest.h>

#include "export/ExportEscaping.h"

namespace tarvik::testing {
namespace {

TEST(ExportEscaping, HostileBytesStayInsideTheirField) {
    const struct {
        std::string bytes;
        const char* xml;
        const char* csv;
        const char* spreadsheet;  // the table's CSV
    } cases[] = {
        {"plain", "plain", "plain", "plain"},
        {"<a href='x'>&amp;</a>", "&lt;a href=&apos;x&apos;&gt;&amp;amp;&lt;/a&gt;",
         "<a href='x'>&amp;</a>", "<a href='x'>&amp;</a>"},
        {"say \"hi\", bye", "say &quot;hi&quot;, bye", "\"say \"\"hi\"\", bye\"",
         "\"say \"\"hi\"\", bye\""},
        {"two\r\nlines\t", "two\\x0D\\x0Alines\\x09", "\"two\r\nlines\t\"", "\"two\r\nlines\t\""},
        {std::string("nul\0end", 7), "nul\\x00end", "nul\\x00end", "nul\\x00end"},
        {"bad \xff\xfe \xc3\xa9 \xe2\x82 \xed\xa0\x80 \xf0\x9f\x98\x80",
         "bad \\xFF\\xFE \xc3\xa9 \\xE2\\x82 \\xED\\xA0\\x80 \xf0\x9f\x98\x80",
         "bad \\xFF\\xFE \xc3\xa9 \\xE2\\x82 \\xED\\xA0\\x80 \xf0\x9f\x98\x80",
         "bad \\xFF\\xFE \xc3\xa9 \\xE2\\x82 \\xED\\xA0\\x80 \xf0\x9f\x98\x80"},
        {"\\x41 \\q", "\\x5Cx41 \\q", "\\x5Cx41 \\q", "\\x5Cx41 \\q"},
        {" padded ", " padded ", "\" padded \"", "\" padded \""},
        {"=HYPERLINK(1)", "=HYPERLINK(1)", "=HYPERLINK(1)", "'=HYPERLINK(1)"},
        {"-65 dBm", "-65 dBm", "-65 dBm", "-65 dBm"},
        {"-cmd", "-cmd", "-cmd", "'-cmd"},
        {"@sum", "@sum", "@sum", "'@sum"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        std::string xml, csv, spreadsheet;
        AppendXmlText(xml, c.bytes);
        AppendCsvField(csv, c.bytes);
        AppendCsvField(spreadsheet, c.bytes, true);
        EXPECT_EQ(xml, c.xml);
        EXPECT_EQ(csv, c.csv);
        EXPECT_EQ(spreadsheet, c.spreadsheet);
        std::string display;
        AppendDisplayText(display, c.bytes, true);
        EXPECT_EQ(DecodeDisplayText(display), c.bytes);
    }
}

}  // namespace
}  // namespace tarvik::testing
