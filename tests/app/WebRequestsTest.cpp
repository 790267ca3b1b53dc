// The web requests against a real HTTP server on loopback: the client's
// limits, the version check's texts and the vendor look-up's results in the
// settings and the records.
#include <gtest/gtest.h>

#include "MainWindowFakes.h"
#include "app/UpdateServer.h"
#include "app/VersionText.h"
#include "app/WebRequests.h"
#include "networks/NetworkColumns.h"
#include "platform/RegistryStore.h"
#include "tests/core/TempFolder.h"
#include "tests/networks/BssidTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"

namespace tarvik {
namespace {

using testing_support::ContentLengthAnswer;
using testing_support::HttpAnswer;
using testing_support::LoopbackHttpServer;

const HttpAnswer kNotFound = ContentLengthAnswer("no\n", 404);
const HttpAnswer kStall{.raw = "", .close = false, .stall = true};
const HttpLimits kShortLimits{.connectTimeoutMs = 2000, .totalTimeoutMs = 1500};

// One server answer and what it should give: the client's result and body,
// or the version check's verdict.
struct Row {
    const char* name;
    HttpAnswer answer;
    Result result = RES_HTTP_OK;
    std::string expected = {};
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

class HttpClientTest : public ::testing::TestWithParam<Row> {};

TEST_P(HttpClientTest, GetsTheBodyWithinItsLimits) {
    LoopbackHttpServer server([](const std::string&) { return GetParam().answer; });
    const HttpReply reply = CHttpClient(kShortLimits).Get("http://" + server.Host() + "/v");
    EXPECT_EQ(reply.result, GetParam().result) << reply.error;
    EXPECT_EQ(reply.body, GetParam().expected);
    EXPECT_EQ(reply.error.empty(), GetParam().result == RES_HTTP_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, HttpClientTest,
    ::testing::Values(Row{"ContentLength", ContentLengthAnswer("1.3\nrest"), RES_HTTP_OK,
                          "1.3\nrest"},
                      Row{"Chunked",
                          {"HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                           "chunked\r\n\r\n2\r\nAc\r\n8\r\nme Corp\n\r\n0\r\n\r\n"},
                          RES_HTTP_OK,
                          "Acme Corp\n"},
                      Row{"NotFound", kNotFound, RES_HTTP_STATUS, ""},
                      Row{"StalledTimesOut", kStall, RES_HTTP_FAILED, ""},
                      Row{"HugeDeclaredLength",
                          {"HTTP/1.1 200 OK\r\nContent-Length: 9000000\r\n\r\n"},
                          RES_HTTP_TOO_LARGE,
                          ""},
                      Row{"EndlessBody",
                          {.raw = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", .endless = true},
                          RES_HTTP_TOO_LARGE,
                          ""}),
    RowName);

TEST(HttpClientKeepAlive, AsksTwiceOverOneConnection) {
    LoopbackHttpServer server(
        [](const std::string& target) { return ContentLengthAnswer(target); });
    CHttpClient client(kShortLimits);
    EXPECT_EQ(client.Get("http://" + server.Host() + "/a").body, "/a");
    EXPECT_EQ(client.Get("http://" + server.Host() + "/b").body, "/b");
    EXPECT_EQ(server.Connections(), 1);
}

// "1.10" is newer than "1.2": components compare as numbers, not bytes.
TEST(VersionTextTest, ComparesComponentsAsNumbers) {
    const std::tuple<const char*, const char*, int> rows[] = {
        {"1.10", "1.2", 1},  {"1.2", "1.2.0", 0},
        {"01.2", "1.2", 0},  {"1.2", "1.3", -1},
        {"2", "10", -1},     {"1.2b", "1.2a", 1},
        {"1.2.1", "1.2", 1}, {"123456789012345678901", "9", 1},
    };
    for (const auto& [a, b, order] : rows) {
        SCOPED_TRACE(std::string(a) + " vs " + b);
        EXPECT_EQ(CompareVersionTexts(a, b), order);
        EXPECT_EQ(CompareVersionTexts(b, a), -order);
    }
    for (const char* text : {"", "v1.3", "1.3 beta", "<html>", "1.3\r"}) {
        EXPECT_FALSE(IsVersionText(text)) << text;
    }
}

constexpr const char* kNewer = "A newer version of Tarvik is available.";
constexpr const char* kLatest = "You already have the latest version of Tarvik: 1.2";
constexpr const char* kProblem = "There was a problem talking to HOST, please try again later.";
constexpr const char* kNoConnection =
    "Connection error, please make sure you have an active internet connection and try again "
    "later.";

class VersionCheckTest : public ::testing::TestWithParam<Row> {};

TEST_P(VersionCheckTest, ReportsTheVerdict) {
    LoopbackHttpServer server([](const std::string&) { return GetParam().answer; });
    CHttpClient client(kShortLimits);
    std::vector<std::string> texts;
    RunVersionCheck(client, server.Host(), [&](const std::string& text) { texts.push_back(text); });
    std::string verdict = GetParam().expected;
    if (const std::size_t at = verdict.find("HOST"); at != std::string::npos) {
        verdict.replace(at, 4, server.Host());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Contacting " + server.Host() + " for the latest version...", verdict}));
    EXPECT_EQ(server.Targets(), std::vector<std::string>{"/reg/version.py"});
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, VersionCheckTest,
    ::testing::Values(Row{"Newer", ContentLengthAnswer("1.3\n"), 0, kNewer},
                      Row{"TwoDigitMinorIsNewer", ContentLengthAnswer("1.10\n"), 0, kNewer},
                      Row{"Same", ContentLengthAnswer("1.2\n"), 0, kLatest},
                      Row{"SameWithCrLf", ContentLengthAnswer("1.2.0\r\n"), 0, kLatest},
                      Row{"NoLineFeed", ContentLengthAnswer("1.3"), 0, kProblem},
                      Row{"NotAVersion", ContentLengthAnswer("<html>\n"), 0, kProblem},
                      Row{"NotFound", kNotFound, 0, kNoConnection},
                      Row{"Stalled", kStall, 0, kNoConnection}),
    RowName);

class VendorLookupTest : public ::testing::TestWithParam<Row> {
  protected:
    void UseServer(const std::string& host) {
        store_.WriteString(options_.SectionKey("Settings"), "UpdateServer", host);
    }
    static BssidRecord Record(std::uint8_t last,
                              std::uint32_t mode = ndis::Ndis802_11Infrastructure) {
        ndis::BssidEntryFields fields = testing_support::Fields(last);
        fields.macAddress = {0x00, 0x11, 0x22, 0x33, 0x44, last};
        fields.infrastructureMode = mode;
        return std::make_shared<CBssid>(testing_support::Entry(fields), 1);
    }
    std::string Stored() {
        return store_.ReadString(options_.SectionKey(kOuiLookupSection), "001122", "");
    }
    // Looks up each record, then runs the GUI side until the answers are in.
    void LookUp(const std::vector<BssidRecord>& records) {
        for (const BssidRecord& record : records) web_.LookUpVendor(record);
        dispatcher_.RunUntil([this] { return web_.LookupsInFlight() == 0; });
    }

    TempFolder folder_;
    RegistryStore store_{folder_.Path() / "user.reg", "HKEY_CURRENT_USER"};
    CApplicationOptions options_{&store_, "/opt/tarvik/bin/tarvik"};
    OuiVendorCache vendors_;
    testing::FakeMainLoop dispatcher_;
    std::vector<std::string> status_;
    CWebRequests web_{dispatcher_, options_, vendors_, kShortLimits,
                      [this](const std::string& text) { status_.push_back(text); }};
};

// Rows: an answer stored (printable) under the OUI, or "" for a failure that
// marks every record that asked and stores nothing. Three records of one OUI
// make one request.
TEST_P(VendorLookupTest, AsksOncePerOuiAndStoresOrMarksTheAnswer) {
    LoopbackHttpServer server([](const std::string&) { return GetParam().answer; });
    UseServer(server.Host());
    const std::vector<BssidRecord> records{Record(1), Record(2), Record(3)};
    LookUp(records);
    EXPECT_EQ(server.Targets(), std::vector<std::string>{"/reg/oui.py?001122"});
    EXPECT_EQ(Stored(), GetParam().expected);
    const std::string shown = GetParam().expected.empty() ? std::string(kVendorErrorText) : "";
    for (const BssidRecord& record : records) EXPECT_EQ(record->VendorText(), shown);
    const std::optional<std::string_view> known =
        vendors_.Find(records[0]->Entry()->GetMacAddress());
    EXPECT_EQ(known.value_or(""), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Loopback, VendorLookupTest,
                         ::testing::Values(Row{"Printable",
                                               ContentLengthAnswer("Ac\x01me\x7f Corp\r\nsecond\n"),
                                               0, "Acme Corp"},
                                           Row{"Error", ContentLengthAnswer("Error\n")},
                                           Row{"LowerError", ContentLengthAnswer("error\n")},
                                           Row{"NoLineFeed", ContentLengthAnswer("Acme")},
                                           Row{"EmptyLine", ContentLengthAnswer("\x01\n")},
                                           Row{"NotFound", kNotFound}, Row{"Stalled", kStall}),
                         RowName);

TEST_F(VendorLookupTest, AsksNobodyWithoutAServerOrForAnAdHocNetwork) {
    LoopbackHttpServer server([](const std::string&) { return ContentLengthAnswer("Acme\n"); });
    LookUp({Record(1)});
    UseServer("evil.example/path?");
    web_.CheckVersion();
    UseServer(server.Host());
    LookUp({Record(1, ndis::Ndis802_11IBSS)});
    EXPECT_TRUE(server.Targets().empty());
    EXPECT_EQ(status_, (std::vector<std::string>{
                           "No update server is configured (Settings\\UpdateServer).",
                           "The update server \"evil.example/path?\" is not a host name "
                           "(Settings\\UpdateServer: host or host:port)."}));
    for (const char* host : {"example.org", "192.0.2.7:8080", "[2001:db8::1]:80"}) {
        EXPECT_TRUE(IsValidServerHost(host)) << host;
    }
    for (const char* host : {"a/b", "user@host", "host:0", "host:65536", "-x", "[::1", "a b"}) {
        EXPECT_FALSE(IsValidServerHost(host)) << host;
    }
}

}  // namespace
}  // namespace tarvik
