// The web requests against a real HTTP server on loopback: the client's
// limits, the version check's texts and the vendor look-up's results in the
// settings and the records.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>

#include "app/HttpClient.h"
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

using testing_support::ChunkedAnswer;
using testing_support::ContentLengthAnswer;
using testing_support::HttpAnswer;
using testing_support::LoopbackHttpServer;

const HttpAnswer kNotFound = ContentLengthAnswer("no\n", 404);
const HttpAnswer kStall{.raw = "", .close = false, .stall = true};
const HttpLimits kShortLimits{.connectTimeoutMs = 2000, .totalTimeoutMs = 1500};

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// Rows print as their names, in test output and CTest's test names.
template <typename Row>
void PrintRow(const Row& row, std::ostream* out) {
    *out << row.name;
}

struct ClientRow {
    const char* name;
    HttpAnswer answer;
    Result result;
    std::string body;
};

void PrintTo(const ClientRow& row, std::ostream* out) {
    PrintRow(row, out);
}

class HttpClientTest : public ::testing::TestWithParam<ClientRow> {};

TEST_P(HttpClientTest, GetsTheBodyWithinItsLimits) {
    LoopbackHttpServer server([](const std::string&) { return GetParam().answer; });
    CHttpClient client(kShortLimits);
    const HttpReply reply = client.Get("http://" + server.Host() + "/reg/version.py");
    EXPECT_EQ(reply.result, GetParam().result) << reply.error;
    EXPECT_EQ(reply.body, GetParam().body);
    EXPECT_EQ(reply.error.empty(), GetParam().result == RES_HTTP_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, HttpClientTest,
    ::testing::Values(
        ClientRow{"ContentLength", ContentLengthAnswer("1.3\nrest"), RES_HTTP_OK, "1.3\nrest"},
        ClientRow{"Chunked", ChunkedAnswer({"Ac", "me Co", "rp\n"}), RES_HTTP_OK, "Acme Corp\n"},
        ClientRow{"ClosedAtTheEnd",
                  {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nAcme\n", true},
                  RES_HTTP_OK,
                  "Acme\n"},
        ClientRow{"NotFound", kNotFound, RES_HTTP_STATUS, ""},
        ClientRow{"StalledTimesOut", kStall, RES_HTTP_FAILED, ""},
        ClientRow{"HugeDeclaredLength",
                  {"HTTP/1.1 200 OK\r\nContent-Length: 9000000\r\n\r\n"},
                  RES_HTTP_TOO_LARGE,
                  ""},
        ClientRow{"EndlessChunks",
                  {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", true, false, true},
                  RES_HTTP_TOO_LARGE,
                  ""}),
    RowName<ClientRow>);

TEST(HttpClientKeepAlive, AsksTwiceOverOneConnection) {
    LoopbackHttpServer server(
        [](const std::string& target) { return ContentLengthAnswer(target); });
    CHttpClient client(kShortLimits);
    EXPECT_EQ(client.Get("http://" + server.Host() + "/a").body, "/a");
    EXPECT_EQ(client.Get("http://" + server.Host() + "/b").body, "/b");
    EXPECT_EQ(server.Connections(), 1);
}

struct CompareRow {
    const char* a;
    const char* b;
    int order;
};

// "1.10" is newer than "1.2": components compare as numbers, not bytes.
TEST(VersionTextTest, ComparesComponentsAsNumbers) {
    const CompareRow rows[] = {
        {"1.10", "1.2", 1},  {"1.2", "1.2.0", 0},
        {"01.2", "1.2", 0},  {"1.2", "1.3", -1},
        {"2", "10", -1},     {"1.2b", "1.2a", 1},
        {"1.2.1", "1.2", 1}, {"123456789012345678901.0", "1.2", 1},
    };
    for (const CompareRow& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
        EXPECT_EQ(CompareVersionTexts(row.a, row.b), row.order);
        EXPECT_EQ(CompareVersionTexts(row.b, row.a), -row.order);
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

struct VersionRow {
    const char* name;
    HttpAnswer answer;
    std::string verdict;
};

void PrintTo(const VersionRow& row, std::ostream* out) {
    PrintRow(row, out);
}

class VersionCheckTest : public ::testing::TestWithParam<VersionRow> {};

TEST_P(VersionCheckTest, ReportsTheVerdict) {
    LoopbackHttpServer server([](const std::string&) { return GetParam().answer; });
    CHttpClient client(kShortLimits);
    std::vector<std::string> texts;
    RunVersionCheck(client, server.Host(), [&](const std::string& text) { texts.push_back(text); });
    std::string verdict = GetParam().verdict;
    if (const std::size_t at = verdict.find("HOST"); at != std::string::npos) {
        verdict.replace(at, 4, server.Host());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Contacting " + server.Host() + " for the latest version...", verdict}));
    EXPECT_EQ(server.Targets(), std::vector<std::string>{"/reg/version.py"});
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, VersionCheckTest,
    ::testing::Values(VersionRow{"Newer", ContentLengthAnswer("1.3\n"), kNewer},
                      VersionRow{"TwoDigitMinorIsNewer", ContentLengthAnswer("1.10\n"), kNewer},
                      VersionRow{"Same", ContentLengthAnswer("1.2\n"), kLatest},
                      VersionRow{"SameWithCrLf", ContentLengthAnswer("1.2.0\r\n"), kLatest},
                      VersionRow{"Older", ContentLengthAnswer("1.1.9\n"), kLatest},
                      VersionRow{"NoLineFeed", ContentLengthAnswer("1.3"), kProblem},
                      VersionRow{"NotAVersion", ContentLengthAnswer("<html>\n"), kProblem},
                      VersionRow{"NotFound", kNotFound, kNoConnection},
                      VersionRow{"Stalled", kStall, kNoConnection}),
    RowName<VersionRow>);

// Runs posted work on the test's thread, as the GUI loop would.
class TestDispatcher : public IEventDispatcher {
  public:
    void Post(std::function<void()> work) override {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(work));
        posted_.notify_all();
    }
    // Runs posted work until `done` holds (blocks while nothing is posted).
    void RunUntil(const std::function<bool()>& done) {
        while (!done()) {
            std::unique_lock<std::mutex> lock(mutex_);
            posted_.wait(lock, [this] { return !queue_.empty(); });
            std::function<void()> work = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            work();
        }
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

class VendorLookupTest : public ::testing::Test {
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
        return store_.ReadString(options_.SectionKey(kOuiLookupSection), "001122", "(none)");
    }
    // Looks up `record` and runs the GUI side until the answer is in.
    void LookUp(const BssidRecord& record) {
        web_.LookUpVendor(record);
        dispatcher_.RunUntil([this] { return web_.LookupsInFlight() == 0; });
    }

    TempFolder folder_;
    RegistryStore store_{folder_.Path() / "user.reg", "HKEY_CURRENT_USER"};
    CApplicationOptions options_{&store_, "/opt/tarvik/bin/tarvik"};
    OuiVendorCache vendors_;
    TestDispatcher dispatcher_;
    std::vector<std::string> status_;
    CWebRequests web_{dispatcher_, options_, vendors_, kShortLimits,
                      [this](const std::string& text) { status_.push_back(text); }};
};

TEST_F(VendorLookupTest, StoresAPrintableAnswerUnderTheOui) {
    LoopbackHttpServer server([](const std::string&) {
        return ContentLengthAnswer("Ac\x01me\x7f Corp\r\nsecond line\n");
    });
    UseServer(server.Host());
    const BssidRecord record = Record(1);
    LookUp(record);
    EXPECT_EQ(server.Targets(), std::vector<std::string>{"/reg/oui.py?001122"});
    EXPECT_EQ(Stored(), "Acme Corp");
    EXPECT_EQ(vendors_.Find(record->Entry()->GetMacAddress()), "Acme Corp");
}

struct FailureRow {
    const char* name;
    HttpAnswer answer;
};

void PrintTo(const FailureRow& row, std::ostream* out) {
    PrintRow(row, out);
}

class VendorFailureTest : public VendorLookupTest,
                          public ::testing::WithParamInterface<FailureRow> {};

TEST_P(VendorFailureTest, MarksTheRecordAndStoresNothing) {
    LoopbackHttpServer server([](const std::string&) { return GetParam().answer; });
    UseServer(server.Host());
    const BssidRecord record = Record(1);
    LookUp(record);
    EXPECT_EQ(record->VendorText(), kVendorErrorText);
    EXPECT_EQ(Stored(), "(none)");
}

INSTANTIATE_TEST_SUITE_P(Loopback, VendorFailureTest,
                         ::testing::Values(FailureRow{"Error", ContentLengthAnswer("Error\n")},
                                           FailureRow{"LowerError", ContentLengthAnswer("error\n")},
                                           FailureRow{"NoLineFeed", ContentLengthAnswer("Acme")},
                                           FailureRow{"EmptyLine", ContentLengthAnswer("\x01\n")},
                                           FailureRow{"NotFound", kNotFound},
                                           FailureRow{"Stalled", kStall}),
                         RowName<FailureRow>);

// Many clicks on networks of one OUI make one request; the others wait for it.
TEST_F(VendorLookupTest, AsksOncePerOuiInFlight) {
    LoopbackHttpServer server([](const std::string&) { return kStall; });
    UseServer(server.Host());
    const std::vector<BssidRecord> records{Record(1), Record(2), Record(3)};
    for (const BssidRecord& record : records) web_.LookUpVendor(record);
    server.WaitForRequests(1);
    dispatcher_.RunUntil([this] { return web_.LookupsInFlight() == 0; });
    EXPECT_EQ(server.Targets().size(), 1u);
    for (const BssidRecord& record : records) EXPECT_EQ(record->VendorText(), kVendorErrorText);
}

TEST_F(VendorLookupTest, AsksNobodyWithoutAServerOrForAnAdHocNetwork) {
    LoopbackHttpServer server([](const std::string&) { return ContentLengthAnswer("Acme\n"); });
    LookUp(Record(1));
    UseServer("evil.example/path?");
    LookUp(Record(1));
    web_.CheckVersion();
    UseServer(server.Host());
    LookUp(Record(1, ndis::Ndis802_11IBSS));
    EXPECT_TRUE(server.Targets().empty());
    EXPECT_EQ(status_, (std::vector<std::string>{
                           "No update server is configured (Settings\\UpdateServer).",
                           "The update server \"evil.example/path?\" is not a host name "
                           "(Settings\\UpdateServer: host or host:port).",
                           "The update server \"evil.example/path?\" is not a host name "
                           "(Settings\\UpdateServer: host or host:port)."}));
}

TEST(UpdateServerTest, AcceptsHostsAndPortsOnly) {
    for (const char* host : {"example.org", "192.0.2.7:8080", "[2001:db8::1]:80", "localhost"}) {
        EXPECT_TRUE(IsValidServerHost(host)) << host;
    }
    for (const char* host : {"", "a/b", "user@host", "host:0", "host:65536", "host:", "-x", "[::1",
                             "[::1]x", "http://x", "a b"}) {
        EXPECT_FALSE(IsValidServerHost(host)) << host;
    }
}

}  // namespace
}  // namespace tarvik
