#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "adapter/MediaEvents.h"

namespace tarvik {
namespace {

using testing::Contains;
using testing::CountOf;
using testing::DaemonProcess;
using testing::ScenarioPath;

const std::string kStaticCard = "\\DEVICE\\{AD000021-0000-4000-8000-000000000021}";
const std::string kAutoconfigCard = "\\DEVICE\\{AD000023-0000-4000-8000-000000000023}";
const std::string kOldCard = "\\DEVICE\\{AD000024-0000-4000-8000-000000000024}";

// The main loop's stand-in: work queued from any thread, run when pumped.
class QueueDispatcher : public IEventDispatcher {
  public:
    void Post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    void Pump() {
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) return;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

// Runs `wait` on a worker thread while this thread pumps the dispatcher.
Result RunWhilePumping(QueueDispatcher& dispatcher, const std::function<Result()>& wait) {
    std::atomic<bool> done = false;
    Result result = 0;
    std::thread worker([&] {
        result = wait();
        done = true;
    });
    while (!done) {
        dispatcher.Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    return result;
}

std::size_t CountStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    std::size_t count = 0;
    for (const auto& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

class MediaWaitTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()); }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{ScenarioPath("associated.json")};
    QueueDispatcher dispatcher_;
};

TEST_F(MediaWaitTest, AlreadyConnectedCardNeedsOneQueryAndNoLogLine) {
    CAdapter adapter(kStaticCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    const std::size_t before = log_.Messages().size();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(adapter.WaitForMediaConnect(10), RES_MEDIA_CONNECTED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(log_.Messages().size(), before);
}

TEST_F(MediaWaitTest, TimeoutZeroDecidesOnTheSecondQuery) {
    CAdapter adapter(kOldCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    EXPECT_EQ(adapter.WaitForMediaConnect(0), RES_MEDIA_WAIT_TIMEOUT);
    auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Timed out wait for media status change"));
    EXPECT_EQ(CountStarting(lines, "App: Warn: Timed out waiting"), 0u);

    EXPECT_EQ(adapter.WaitForAddress(0), RES_ADDRESS_WAIT_TIMEOUT);
    CAdapter staticCard(kStaticCard, log_.Settings());
    EXPECT_EQ(staticCard.WaitForAddress(0), RES_ADDRESS_OBTAINED);
    lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Already have an IP! 10.9.8.7"));
    EXPECT_EQ(CountStarting(lines, "App: Error: Timed out waiting for ip"), 0u);
}

TEST_F(MediaWaitTest, MediaWaitCountsDownItsPasses) {
    CAdapter adapter(kOldCard, log_.Settings());
    ASSERT_EQ(adapter.OpenChannel(), 0);
    EXPECT_EQ(adapter.WaitForMediaConnect(2), RES_MEDIA_WAIT_TIMEOUT);
    const auto lines = log_.Messages();
    const std::string warn = "App: Warn: Timed out waiting for media state change, but trying ";
    EXPECT_TRUE(Contains(lines, warn + "3 more times"));
    EXPECT_TRUE(Contains(lines, warn + "2 more times"));
    EXPECT_TRUE(Contains(lines, warn + "1 more times"));
    EXPECT_EQ(CountStarting(lines, warn), 3u);
    EXPECT_EQ(CountOf(lines, "App: Error: Timed out waiting for media state change"), 1u);
    EXPECT_TRUE(Contains(lines, "App: Info: Timed out wait for media status change"));
}

TEST_F(MediaWaitTest, AddressWaitWithAutoconfigurationTimesOut) {
    CAdapter adapter(kAutoconfigCard, log_.Settings());
    EXPECT_EQ(adapter.WaitForAddress(1), RES_ADDRESS_WAIT_TIMEOUT);
    const auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Waiting for an IP from the DHCP server..."));
    EXPECT_TRUE(Contains(
        lines, "App: Warn: Timed out waiting for ip address change, but trying 1 more times"));
    EXPECT_TRUE(Contains(lines, "App: Error: Timed out waiting for ip address change"));
}

TEST_F(MediaWaitTest, SinkEventEndsTheWaitThenTheLeaseArrives) {
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
    auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Got a connect on: Old Card"));
    EXPECT_TRUE(Contains(lines, "App: Info: Received an media status change event from the sink"));
    EXPECT_TRUE(Contains(lines, "App: Info: Media is connected, we are ready to proceed"));
    // Another card's events never reach this sink.
    EXPECT_EQ(CountStarting(lines, "App: Info: Got a connect on: Static Card"), 0u);

    EXPECT_EQ(RunWhilePumping(dispatcher_, [&] { return adapter.WaitForAddress(5); }),
              RES_ADDRESS_OBTAINED);
    EXPECT_EQ(adapter.IpAddressText(), "192.168.21.50");

    adapter.Close();
    EXPECT_FALSE(adapter.HasMediaEventSink());
}

TEST(MediaEventSourceTest, WithoutTheDaemonNoSinkIsInstalled) {
    TempFolder folder;
    LogCapture log(folder.Path());
    ::setenv("TARVIK_DRIVER_SOCKET", (folder.Path() / "absent.sock").c_str(), 1);
    QueueDispatcher dispatcher;
    CMediaEventSource source(dispatcher);
    EXPECT_EQ(source.StartWmi(), RES_FAILURE);
    ::unsetenv("TARVIK_DRIVER_SOCKET");
    EXPECT_TRUE(
        Contains(log.Messages(), "App: Error: Could not connect to the root\\WMI, error 2"));

    DaemonProcess daemon(ScenarioPath("associated.json"));
    ASSERT_TRUE(daemon.ready());
    CAdapter adapter(kOldCard, log.Settings(), &source);
    EXPECT_FALSE(adapter.HasMediaEventSink());
    EXPECT_TRUE(Contains(log.Messages(),
                         "App: Warn: WMI service is NULL, skipping installation of media state "
                         "notification handlers"));
}

}  // namespace
}  // namespace tarvik
