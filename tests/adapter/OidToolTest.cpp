// tarvik-oid: its decoding, and the program itself run against a driver.
#include <gtest/gtest.h>

#include <string>

#include "ndis/BssidList.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"
#include "platform/RegistryStore.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/core/LogCapture.h"
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

// Hex both ways, then replies in words.
TEST(OidDecode, HexAndRepliesInWords) {
    const std::vector<std::uint8_t> bytes{0x0a, 0xff, 0x00};
    for (const char* text : {"0aFF00", "0a:ff 00"}) EXPECT_EQ(oidtool::ParseHex(text), bytes);
    for (const char* text : {"-", ""})
        EXPECT_EQ(oidtool::ParseHex(text), std::vector<std::uint8_t>{});
    for (const char* text : {"0a0", "0g", "0:a"}) EXPECT_FALSE(oidtool::ParseHex(text)) << text;

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
    for (const char* piece :
         {"00:1a:2b:3c:4d:5e  HomeNet", "Cafe\\x01", "-48     6  yes", "2 network(s)"})
        EXPECT_NE(table.find(piece), std::string::npos) << table;
    list.resize(list.size() - 10);  // the second item cut short
    const std::string cut = oidtool::DecodeBssidList(list);
    for (const char* piece : {"1 network(s)", "item 1"})
        EXPECT_NE(cut.find(piece), std::string::npos) << cut;
}

// tarvik-oid against a served test world: command lines in order, status, output.
class OidTool : public ServedBackend {};

TEST_F(OidTool, CommandsExitAndAnswerAsExpected) {
    const std::uint8_t mode[] = {1, 0, 0, 0};
    backend_.SetOidValue(kAdapterA, ndis::OID_802_11_INFRASTRUCTURE_MODE, {mode, mode + 4});
    backend_.SetOidValue(kAdapterA, ndis::OID_802_11_BSSID_LIST, SampleList());
    const std::string usage = "usage: tarvik-oid";
    const struct {
        std::string args;
        int status;
        std::string says;
    } rows[] = {{"bindings", 0, "0  " + kAdapterA + "\n1  " + kAdapterB + "\n"},
                {"query '" + kGuidA + "' 0x0D010108 --decode --direct", 0, "1 (infrastructure)\n"},
                {"set 0 OID_802_11_INFRASTRUCTURE_MODE 00000000", 0, ""},
                {"query 0 OID_802_11_INFRASTRUCTURE_MODE --hex", 0, "00000000\n"},
                {"scan 0 --wait 0", 0, "HomeNet"},
                // A list longer than the first buffer is fetched whole.
                {"query 0 OID_802_11_BSSID_LIST --decode", 0, "2 network(s)"},
                {"set 0 " + std::to_string(kOidRejected) + " 01020304", 1,
                 "error 87 (ERROR_INVALID_PARAMETER)"},
                {"query 0 OID_NO_SUCH_THING", 2, "tarvik-oid: unknown OID\n" + usage},
                {"set 0 OID_802_11_SSID xyz", 2, "tarvik-oid: HEXBYTES is not hex\n" + usage},
                {"watch --seconds x", 2, "watch takes only --seconds N"}};
    for (const auto& row : rows) {
        const ToolRun run = RunTool(row.args);
        EXPECT_EQ(run.status, row.status) << row.args << "\n" << run.out;
        EXPECT_NE(run.out.find(row.says), std::string::npos) << row.args << "\n" << run.out;
    }
    const auto sets = backend_.Sets();
    ASSERT_EQ(sets.size(), 3u);  // the set, the scan and the refused set
    EXPECT_EQ(sets[1].oid, ndis::OID_802_11_BSSID_LIST_SCAN);
}

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// `tarvik-oid watch` against the daemon serving a small world where one of
// two networks leaves the air. Its settings come from a user hive.
TEST(WatchTool, SeesANetworkLeave) {
    TempFolder folder;
    const ScopedHives hives(folder.Path());
    // A scan every second; one scan missed is out of range.
    RegistryStore user(hives.ConfigHome() / "tarvik/user.reg", "HKEY_CURRENT_USER");
    for (const char* name : {"HardRefreshInterval", "HitOutOfRangeInterval"})
        ASSERT_TRUE(user.WriteDword("Software\\Tarvik\\tarvik\\Settings", name, 1));
    DaemonProcess daemon(ScenarioPath("watch.json"));
    ASSERT_TRUE(daemon.ready());

    const ToolRun run = RunTool("watch --seconds 3");
    EXPECT_EQ(run.status, 0) << run.out;
    // Once at the start and once a second after (a second may be lost when
    // the machine is busy), each time with the staying network.
    const std::size_t blocks = CountOf(run.out, "Scan counter: ");
    EXPECT_GE(blocks, 3u) << run.out;
    EXPECT_LE(blocks, 4u) << run.out;
    EXPECT_EQ(CountOf(run.out, "StayingNet"), blocks) << run.out;
    EXPECT_EQ(run.out.find("StayingNet  1  7"), std::string::npos) << run.out;
    // Seen and not connected at first, then gone from the air.
    for (const char* piece : {"Scan counter: 1\n", "00:18:39:20:00:01  StayingNet  ",
                              "LeavingNet  1  6  Not Connected"})
        EXPECT_NE(run.out.find(piece), std::string::npos) << run.out;
    const std::size_t lastBlock = run.out.rfind("Scan counter: ");
    const std::size_t leaving = run.out.find("LeavingNet", lastBlock);
    ASSERT_NE(leaving, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("7  Not Detected", leaving), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tarvik::testing
