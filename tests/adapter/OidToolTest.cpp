#include <gtest/gtest.h>

#include "ndis/BssidList.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/driver/TestBackend.h"
#include "tools/oid/OidDecode.h"

namespace tarvik::testing {
namespace {

using oidtool::DecodeReply;

std::vector<std::uint8_t> SampleList() {
    ndis::BssidEntryFields entries[2];
    entries[0].macAddress = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    entries[0].SetSsid("HomeNet");
    entries[0].rssi = -48;
    entries[0].privacy = 1;
    entries[0].configuration.dsConfig = 2437000;
    entries[0].supportedRates = {0x82, 0x84, 0x0b, 0x16};
    entries[1].macAddress = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    entries[1].SetSsid("Cafe\x01");
    entries[1].rssi = -80;
    entries[1].configuration.dsConfig = 2412000;
    return ndis::BuildBssidList(entries);
}

TEST(OidDecode, HexBothWays) {
    EXPECT_EQ(oidtool::HexLine(std::vector<std::uint8_t>{0x0a, 0xff, 0x00}), "0aff00");
    const std::vector<std::uint8_t> bytes{0x0a, 0xff, 0x00};
    for (const char* text : {"0aFF00", "0a:ff 00"}) EXPECT_EQ(oidtool::ParseHex(text), bytes);
    for (const char* text : {"-", ""})
        EXPECT_EQ(oidtool::ParseHex(text), std::vector<std::uint8_t>{});
    for (const char* text : {"0a0", "0g", "0:a"}) EXPECT_FALSE(oidtool::ParseHex(text)) << text;
}

TEST(OidDecode, RepliesInWords) {
    struct Row {
        std::uint32_t oid;
        std::vector<std::uint8_t> reply;
        const char* text;
    };
    const Row rows[] = {
        {ndis::OID_802_11_INFRASTRUCTURE_MODE, {1, 0, 0, 0}, "1 (infrastructure)\n"},
        {ndis::OID_802_11_RSSI, {0xc4, 0xff, 0xff, 0xff}, "-60 dBm\n"},
        {ndis::OID_802_11_BSSID, {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, "00:1a:2b:3c:4d:5e\n"},
        {ndis::OID_802_11_SSID, *ndis::BuildSsid("Cafe"), "SSID \"Cafe\"\n"},
        {ndis::OID_802_11_SUPPORTED_RATES, {0x82, 0x0b, 0x6c, 0}, "1* 5.5 54 Mbit/s\n"},
        // Too short for its structure, or unknown: hex.
        {ndis::OID_802_11_BSSID, {1, 2}, "0102\n"},
        {0x7FFF0000, {1, 2, 3}, "010203\n"}};
    for (const Row& row : rows) EXPECT_EQ(DecodeReply(row.oid, row.reply), row.text);
}

TEST(OidDecode, BssidListAsATableWithItsProblems) {
    auto list = SampleList();
    const std::string table = oidtool::DecodeBssidList(list);
    EXPECT_NE(table.find("00:1a:2b:3c:4d:5e  HomeNet"), std::string::npos) << table;
    EXPECT_NE(table.find("Cafe\\x01"), std::string::npos) << table;
    EXPECT_NE(table.find("-48     6  yes"), std::string::npos) << table;
    EXPECT_NE(table.find("2 network(s)"), std::string::npos);
    list.resize(list.size() - 10);  // the second item cut short
    const std::string cut = oidtool::DecodeBssidList(list);
    EXPECT_NE(cut.find("1 network(s)"), std::string::npos) << cut;
    EXPECT_NE(cut.find("item 1"), std::string::npos) << cut;
}

// tarvik-oid itself, run against a served test world.
class OidTool : public ServedBackend {
  protected:
    using Run = ToolRun;
    static Run Tool(const std::string& args) { return RunTool(args); }
};

TEST_F(OidTool, ListsBindingsQueriesSetsAndScans) {
    const Run bindings = Tool("bindings");
    EXPECT_EQ(bindings.status, 0);
    EXPECT_EQ(bindings.out, "0  " + kAdapterA + "\n1  " + kAdapterB + "\n");

    const std::uint8_t mode[] = {1, 0, 0, 0};
    backend_.SetOidValue(kAdapterA, ndis::OID_802_11_INFRASTRUCTURE_MODE, {mode, mode + 4});
    EXPECT_EQ(Tool("query 0 OID_802_11_INFRASTRUCTURE_MODE --hex").out, "01000000\n");
    EXPECT_EQ(Tool("query '" + kGuidA + "' 0x0D010108 --decode --direct").out,
              "1 (infrastructure)\n");

    Run set = Tool("set 0 OID_802_11_INFRASTRUCTURE_MODE 00000000");
    EXPECT_EQ(set.status, 0) << set.out;
    EXPECT_EQ(backend_.Sets().back().data, std::vector<std::uint8_t>(4, 0));

    backend_.SetOidValue(kAdapterA, ndis::OID_802_11_BSSID_LIST, SampleList());
    const Run scan = Tool("scan 0 --wait 0");
    EXPECT_EQ(scan.status, 0) << scan.out;
    EXPECT_NE(scan.out.find("HomeNet"), std::string::npos) << scan.out;
    EXPECT_EQ(backend_.Sets().back().oid, ndis::OID_802_11_BSSID_LIST_SCAN);
    // A list longer than the first buffer is fetched whole.
    EXPECT_NE(Tool("query 0 OID_802_11_BSSID_LIST --decode").out.find("2 network(s)"),
              std::string::npos);
}

TEST_F(OidTool, FailuresNameTheErrorAndExitNonZero) {
    const std::pair<std::string, std::string> rows[] = {
        {"query 0 OID_GEN_VENDOR_DESCRIPTION --length 8", "error 122 (ERROR_INSUFFICIENT_BUFFER)"},
        {"set 0 " + std::to_string(kOidRejected) + " 01020304",
         "error 87 (ERROR_INVALID_PARAMETER)"},
        {"query '{NOPE}' OID_GEN_VENDOR_DESCRIPTION", "error 2 (ERROR_FILE_NOT_FOUND)"}};
    for (const auto& [args, error] : rows) {
        const Run run = Tool(args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_NE(run.out.find(error), std::string::npos) << run.out;
    }
    EXPECT_EQ(Tool("query 0 OID_NO_SUCH_THING").status, 2);
    EXPECT_EQ(Tool("set 0 OID_802_11_SSID xyz").status, 2);
}

}  // namespace
}  // namespace tarvik::testing
