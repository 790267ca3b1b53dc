#include <gtest/gtest.h>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "adapter/DriverAnswerBound.h"
#include "adapter/MediaEvents.h"
#include "ndis/Oids.h"
#include "tests/driver/TestBackend.h"

namespace tarvik::testing {
namespace {

const std::string kStaticCard = "\\DEVICE\\{AD000021-0000-4000-8000-000000000021}";
const std::string kAutoconfigCard = "\\DEVICE\\{AD000023-0000-4000-8000-000000000023}";
const std::string kOldCard = "\\DEVICE\\{AD000024-0000-4000-8000-000000000024}";
const std::string kTwinA = "\\DEVICE\\{AD000041-0000-4000-8000-000000000041}";
const std::string kTwinB = "\\DEVICE\\{AD000042-0000-4000-8000-000000000042}";

// Counted queries need the in-test driver world.
class MediaWaitTest : public ServedBackend {
  protected:
    TempFolder folder_;
    LogCapture log_{folder_.Path()};
};

TEST_F(MediaWaitTest, AlreadyConnectedCardNeedsOneQueryAndNoLogLine) {
    backend_.SetOidValue(kAdapterA, ndis::OID_GEN_PHYSICAL_MEDIUM, {1, 0, 0, 0});
    backend_.SetOidValue(kAdapterA, ndis::OID_GEN_MEDIA_CONNECT_STATUS, {0, 0, 0, 0});
    CAdapter adapter(kAdapterA, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    const std::size_t lines = log_.Messages().size();
    const std::size_t queries = backend_.Queries();
    EXPECT_EQ(adapter.WaitForMediaConnect(10), RES_MEDIA_CONNECTED);
    EXPECT_EQ(backend_.Queries() - queries, 1u);
    EXPECT_EQ(log_.Messages().size(), lines);
}

class LinkWaitTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()); }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{ScenarioPath("associated.json")};
    QueueDispatcher dispatcher_;
};

// A timeout of 0 makes no passes: the second query decides. Each pass of
// a longer wait but the last warns with the passes left.
TEST_F(LinkWaitTest, WaitsCountDownTheirPasses) {
    CAdapter adapter(kOldCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    EXPECT_EQ(adapter.WaitForMediaConnect(0), RES_MEDIA_WAIT_TIMEOUT);
    EXPECT_EQ(adapter.WaitForAddress(0), RES_ADDRESS_WAIT_TIMEOUT);
    CAdapter staticCard(kStaticCard, log_.Settings());
    EXPECT_EQ(staticCard.WaitForAddress(0), RES_ADDRESS_OBTAINED);
    auto lines = log_.Messages();
    EXPECT_EQ(CountOf(lines, "App: Info: Timed out wait for media status change"), 1u);
    EXPECT_TRUE(Contains(lines, "App: Info: Already have an IP! 10.9.8.7"));
    EXPECT_EQ(CountStarting(lines, "App: Warn: Timed out waiting"), 0u);
    EXPECT_EQ(CountStarting(lines, "App: Error: Timed out waiting"), 0u);

    EXPECT_EQ(adapter.WaitForMediaConnect(2), RES_MEDIA_WAIT_TIMEOUT);
    CAdapter autoCard(kAutoconfigCard, log_.Settings());
    EXPECT_EQ(autoCard.WaitForAddress(1), RES_ADDRESS_WAIT_TIMEOUT);
    lines = log_.Messages();
    const std::string media = "App: Warn: Timed out waiting for media state change, but trying ";
    for (const char* n : {"3", "2", "1"}) EXPECT_EQ(CountOf(lines, media + n + " more times"), 1u);
    EXPECT_EQ(CountStarting(lines, media), 3u);
    EXPECT_EQ(CountOf(lines, "App: Error: Timed out waiting for media state change"), 1u);
    EXPECT_EQ(CountOf(lines,
                      "App: Warn: Timed out waiting for ip address change, but trying 1 "
                      "more times"),
              1u);
    EXPECT_EQ(CountOf(lines, "App: Error: Timed out waiting for ip address change"), 1u);
}

TEST_F(LinkWaitTest, SinkEventEndsTheWaitThenTheLeaseArrives) {
    CMediaEventSource source(dispatcher_);
    ASSERT_EQ(source.StartWmi(), 0);
    CAdapter adapter(kOldCard, log_.Settings(), &source);
    ASSERT_TRUE(adapter.HasMediaEventSink());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    ASSERT_EQ(adapter.SetInfrastructureMode(1), 0);
    ASSERT_EQ(adapter.SetAuthenticationMode(0), 0);
    ASSERT_EQ(adapter.SetEncryptionStatus(1), 0);
    ASSERT_EQ(adapter.SetSsid("LeaseNet"), 0);

    EXPECT_EQ(RunWhilePumping(dispatcher_, [&] { return adapter.WaitForMediaConnect(5); }),
              RES_MEDIA_CONNECTED);
    const auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Got a connect on: Old Card"));
    EXPECT_TRUE(Contains(lines, "App: Info: Received an media status change event from the sink"));
    EXPECT_TRUE(Contains(lines, "App: Info: Media is connected, we are ready to proceed"));
    EXPECT_EQ(RunWhilePumping(dispatcher_, [&] { return adapter.WaitForAddress(5); }),
              RES_ADDRESS_OBTAINED);
    EXPECT_EQ(adapter.IpAddressText(), "192.168.21.50");
    adapter.Close();
    EXPECT_FALSE(adapter.HasMediaEventSink());
}

// A driver that stops answering costs a GUI-thread stretch its bound: the
// request fails as not answered and the status line says so.
TEST_F(LinkWaitTest, AFrozenDriverFailsTheBoundedRequestAndSaysSo) {
    CAdapter adapter(kStaticCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    daemon_.Freeze();
    {
        const CDriverAnswerBound bound;
        EXPECT_EQ(adapter.QueryMediaStatus(), ERROR_TIMEOUT);
        EXPECT_EQ(adapter.QueryAssociatedBssid(), ERROR_TIMEOUT);
        EXPECT_TRUE(bound.ReportIfNotAnswering());
    }
    EXPECT_TRUE(Contains(log_.Messages(), std::string("App: Info: ") + kDriverNotAnsweringText));
    daemon_.Thaw();
    // Once the driver answers again, so do bounded requests.
    ASSERT_EQ(adapter.QueryMediaStatus(), 0);
    const CDriverAnswerBound bound;
    EXPECT_EQ(adapter.QueryMediaStatus(), 0);
    EXPECT_FALSE(bound.ReportIfNotAnswering());
}

TEST(MediaEventsOfOneModel, ACardsConnectNeverMarksItsTwinConnected) {
    TempFolder folder;
    LogCapture log(folder.Path());
    DaemonProcess daemon(ScenarioPath("same_model.json"));
    ASSERT_TRUE(daemon.ready());
    QueueDispatcher dispatcher;
    CMediaEventSource source(dispatcher);
    ASSERT_EQ(source.StartWmi(), 0);
    CAdapter a(kTwinA, log.Settings(), &source);
    CAdapter b(kTwinB, log.Settings(), &source);
    ASSERT_EQ(a.VendorDescription(), b.VendorDescription());
    ASSERT_EQ(a.OpenChannel(), 0);
    ASSERT_EQ(a.SetInfrastructureMode(1), 0);
    ASSERT_EQ(a.SetAuthenticationMode(0), 0);
    ASSERT_EQ(a.SetEncryptionStatus(1), 0);
    ASSERT_EQ(a.SetSsid("TwinNet"), 0);
    EXPECT_EQ(RunWhilePumping(dispatcher, [&] { return a.WaitForMediaConnect(5); }),
              RES_MEDIA_CONNECTED);
    // The connect event has reached every sink.
    EXPECT_TRUE(dispatcher.PumpUntil(
        [&] { return Contains(log.Messages(), "App: Info: Got a connect on: Twin Card"); }));
    EXPECT_EQ(a.MediaStatus(), kMediaConnected);
    EXPECT_EQ(b.MediaStatus(), kMediaDisconnected);
    EXPECT_EQ(CountOf(log.Messages(), "App: Info: Got a connect on: Twin Card"), 1u);
}

TEST(MediaEventSourceTest, WithoutTheDaemonNoSinkIsInstalled) {
    TempFolder folder;
    LogCapture log(folder.Path());
    ::setenv("TARVIK_DRIVER_SOCKET", (folder.Path() / "absent.sock").c_str(), 1);
    QueueDispatcher dispatcher;
    CMediaEventSource source(dispatcher);
    EXPECT_EQ(source.StartWmi(), RES_FAILURE);
    ::unsetenv("TARVIK_DRIVER_SOCKET");
    DaemonProcess daemon(ScenarioPath("associated.json"));
    ASSERT_TRUE(daemon.ready());
    CAdapter adapter(kOldCard, log.Settings(), &source);
    EXPECT_FALSE(adapter.HasMediaEventSink());
    const auto lines = log.Messages();
    EXPECT_TRUE(Contains(lines, "App: Error: Could not connect to the root\\WMI, error 2"));
    EXPECT_TRUE(Contains(lines,
                         "App: Warn: WMI service is NULL, skipping installation of media state "
                         "notification handlers"));
}

}  // namespace
}  // namespace tarvik::testing
