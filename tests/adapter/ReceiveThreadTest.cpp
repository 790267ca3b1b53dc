// The chosen card's receive thread against tarvik-driverd: the frames of a
// joined network are classified in the log, and the thread starts, stops and
// starts again on one card, a pending read included.
#include <gtest/gtest.h>

#include <regex>
#include <semaphore>
#include <thread>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "adapter/PacketWriter.h"

namespace tarvik::testing {
namespace {

const std::string kCard = "\\DEVICE\\{AD000061-0000-4000-8000-000000000061}";

class ReceiveThreadTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ready()); }

    // An open join unless told otherwise; the media status the thread reads
    // is the card's answer.
    void Join(const std::string& ssid, std::uint32_t authentication = 0,
              std::uint32_t encryption = 1) {
        ASSERT_EQ(adapter_.OpenChannel(), 0);
        ASSERT_EQ(adapter_.SetInfrastructureMode(1), 0);
        ASSERT_EQ(adapter_.SetAuthenticationMode(authentication), 0);
        ASSERT_EQ(adapter_.SetEncryptionStatus(encryption), 0);
        ASSERT_EQ(adapter_.SetSsid(ssid), 0);
        ASSERT_TRUE(Eventually([&] {
            adapter_.QueryMediaStatus();
            return adapter_.MediaStatus() == kMediaConnected;
        }));
    }
    std::size_t Count(const std::string& line) const { return CountOf(log_.Messages(), line); }
    std::size_t CountMatching(const std::regex& pattern) const {
        const auto lines = log_.Messages();
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](auto& l) { return std::regex_match(l, pattern); }));
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    DaemonProcess daemon_{ScenarioPath("receive.json")};
    CAdapter adapter_{kCard, log_.Settings()};
};

const std::regex kArpLine(
    "App: Info: Receive Thread: Arp packet, source=00:18:39:61:00:01, "
    "destination=(ff:ff:ff:ff:ff:ff|00:13:e8:61:00:01), bytes=\\d+");
const std::regex kIpLine(
    "App: Info: Receive Thread: IP packet, source=([0-9a-f]{2}:){5}[0-9a-f]{2}, "
    "destination=([0-9a-f]{2}:){5}[0-9a-f]{2}, bytes=\\d+");

TEST_F(ReceiveThreadTest, ClassifiesTheNetworksFramesAndStartsAgainOnTheSameCard) {
    Join("RxBusy");
    std::atomic<int> eapol = 0;
    const EapolHandler count = [&](CAdapter&, std::span<const std::uint8_t>) { ++eapol; };
    EXPECT_EQ(adapter_.StartReceive(count), 0);
    EXPECT_TRUE(
        Eventually([&] { return CountMatching(kArpLine) >= 2 && CountMatching(kIpLine) >= 2; }));

    // A second start replaces the running thread, which ends cleanly.
    EXPECT_EQ(adapter_.StartReceive(count), 0);
    EXPECT_EQ(Count("App: Warn: Receive thread already open for " + kCard +
                    ", closing existing thread first"),
              1u);
    EXPECT_EQ(Count("App: Info: Receive thread closed succesfully within timeout"), 1u);
    const std::size_t before = CountMatching(kArpLine) + CountMatching(kIpLine);
    EXPECT_TRUE(
        Eventually([&] { return CountMatching(kArpLine) + CountMatching(kIpLine) > before + 2; }));

    adapter_.Close();
    EXPECT_FALSE(adapter_.HasReceiveThread());
    for (const char* line :
         {"Receive Thread: App indicates close, closing thread", "Receive thread is now closing.",
          "Receive thread closed succesfully within timeout"}) {
        EXPECT_EQ(Count(std::string("App: Info: ") + line), 2u) << line;
    }
    EXPECT_EQ(Count("App: Info: Started receive thread for: " + kCard), 2u);
    EXPECT_EQ(adapter_.StopReceive(true), 0);
    EXPECT_EQ(Count("App: Warn: Stop receive called on non-existant receive thread for " + kCard),
              1u);
    EXPECT_EQ(eapol.load(), 0);
}

// On a quiet network the read stays pending; a media disconnect cancels it,
// and a stop with a read pending ends within the bound all the same.
TEST_F(ReceiveThreadTest, StopsWithAPendingReadAndCancelsItOnMediaDisconnect) {
    Join("RxQuiet");
    ASSERT_EQ(adapter_.StartReceive(nullptr), 0);
    ASSERT_EQ(adapter_.StopReceive(true), 0);
    EXPECT_EQ(Count("App: Info: Receive thread closed succesfully within timeout"), 1u);
    EXPECT_EQ(
        Count("App: Info: Stopped receive thread for " + kCard + ", waiting for it to finish"), 1u);

    ASSERT_EQ(adapter_.StartReceive(nullptr), 0);
    // The thread has taken the connected status as its starting point.
    ASSERT_TRUE(
        Eventually([&] { return Count("App: Info: Receive Thread: Starting thread") == 2; }));
    ASSERT_EQ(adapter_.SetRandomSsid(), 0);
    EXPECT_TRUE(Eventually([&] {
        adapter_.QueryMediaStatus();
        return adapter_.MediaStatus() == kMediaDisconnected;
    }));
    EXPECT_TRUE(Eventually([&] {
        return Count(
                   "App: Info: Receive Thread: App indicates change in media state, resetting "
                   "signal") == 1;
    }));
    ASSERT_EQ(adapter_.StopReceive(true), 0);
    EXPECT_EQ(Count("App: Info: Receive thread closed succesfully within timeout"), 2u);
    EXPECT_EQ(CountStarting(log_.Messages(), "App: Error: ReadFileEx failed"), 0u);
}

// A thread stuck in its handler past the stop bound (here on message 1 of a
// WPA2 join, let go once the time-out is logged): it is left to end on its
// own with its context, and the card starts and stops a new one cleanly.
TEST_F(ReceiveThreadTest, StopThatTimesOutLeavesTheThreadToEndOnItsOwn) {
    Join("RxWpa2", 7, 6);
    std::binary_semaphore entered{0}, letGo{0};
    ASSERT_EQ(adapter_.StartReceive([&](CAdapter&, std::span<const std::uint8_t>) {
        entered.release();
        letGo.acquire();
    }),
              0);
    ASSERT_TRUE(entered.try_acquire_for(std::chrono::seconds(10)));
    const std::string timeout =
        "App: Error: Timeout occured when stopping thread, leaving it to end on its own.";
    std::thread releaser([&] {
        Eventually([&] { return Count(timeout) > 0; });
        letGo.release();
    });
    EXPECT_EQ(adapter_.StopReceive(true), 0);
    releaser.join();
    EXPECT_EQ(Count(timeout), 1u);
    EXPECT_FALSE(adapter_.HasReceiveThread());
    EXPECT_TRUE(
        Eventually([&] { return Count("App: Info: Receive thread is now closing.") == 1; }));

    ASSERT_EQ(adapter_.StartReceive(nullptr), 0);
    EXPECT_EQ(adapter_.StopReceive(true), 0);
    EXPECT_EQ(Count("App: Info: Receive thread closed succesfully within timeout"), 1u);
    EXPECT_EQ(Count("App: Info: Receive thread is now closing."), 2u);
    EXPECT_EQ(CountStarting(log_.Messages(), "App: Warn: Receive thread already open"), 0u);
}

// The write wrapper refuses empty and oversized packets without writing, and
// a frame from an unassociated card fails at the driver and is logged.
TEST_F(ReceiveThreadTest, WritePacketChecksTheLengthAndReportsAFailedWrite) {
    ASSERT_EQ(adapter_.OpenChannel(), 0);
    const auto handle = adapter_.Channel().Handle();
    CPacket packet;
    for (const std::uint32_t length : {0u, kReceiveBufferSize + 1}) {
        packet.length = length;
        EXPECT_EQ(WritePacketObject(packet, handle, adapter_.Channel().Gate()), RES_FAILURE);
    }
    EXPECT_EQ(Count("App: Info: Error occured while writing packet to interface"), 0u);
    const std::vector<std::uint8_t> frame(60, 0xFF);
    EXPECT_EQ(SendEthernetFrame(adapter_, frame), RES_PACKET_WRITE_FAILED);
    EXPECT_EQ(Count("App: Info: Error occured while writing packet to interface"), 1u);
}

}  // namespace
}  // namespace tarvik::testing
