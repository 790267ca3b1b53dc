#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "adapter/AdapterList.h"

namespace tarvik {
namespace {

using testing::Contains;
using testing::DaemonProcess;
using testing::FakeCombo;
using testing::ScenarioPath;

const ndis::MacAddress kFirstCard{0x00, 0x13, 0xe8, 0x20, 0x00, 0x01};
const ndis::MacAddress kSecondCard{0x00, 0x13, 0xe8, 0x20, 0x00, 0x03};

class AdapterListTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    FakeCombo combo_;
    std::int64_t now_ = 1000000;
    CAdapterList list_{log_.Settings(), combo_, [this] { return now_; }};
};

TEST_F(AdapterListTest, TwoWirelessCardsChooseTheLaterAndShowTheirNames) {
    DaemonProcess daemon(ScenarioPath("two_wireless.json"));
    ASSERT_TRUE(daemon.ready());
    std::vector<std::string> started;
    list_.SetSelectedHook([&](CAdapter& adapter) { started.push_back(adapter.DeviceName()); });

    EXPECT_EQ(list_.EnumerateDevices(), 1);
    ASSERT_EQ(list_.Count(), 3u);
    ASSERT_NE(list_.Chosen(), nullptr);
    EXPECT_EQ(list_.Chosen(), list_.At(2));
    EXPECT_EQ(list_.Chosen()->PermanentAddress(), kSecondCard);
    EXPECT_EQ(combo_.selection, 2);
    EXPECT_EQ(started,
              std::vector<std::string>{"\\DEVICE\\{AD000003-0000-4000-8000-000000000003}"});
    // Only the chosen adapter keeps its channel open.
    EXPECT_TRUE(list_.Chosen()->Channel().Handle());
    EXPECT_FALSE(list_.At(0)->Channel().Handle());

    ASSERT_EQ(combo_.items.size(), 3u);
    EXPECT_EQ(combo_.items[0].text, " First Test Card (First Card Registry Name) - Wireless LAN");
    EXPECT_EQ(combo_.items[1].text, " Test Wired Card - Non-Wireless");
    // The vendor text already holds the registry description: no parenthesis.
    EXPECT_EQ(combo_.items[2].text, " Second Test Card (Mini PCI) - Wireless LAN");
    EXPECT_EQ(list_.At(1)->AdapterTypeText(), "Non-WLAN");

    const auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: No wireless adapter currently chosen."));
    EXPECT_TRUE(
        Contains(lines, "App: Info: Wireless device found and no previous wireless device"));
}

TEST_F(AdapterListTest, ReEnumerationFindsThePreviousCardAtItsNewPosition) {
    {
        DaemonProcess daemon(ScenarioPath("two_wireless.json"));
        ASSERT_TRUE(daemon.ready());
        ASSERT_EQ(list_.EnumerateDevices(), 1);
        ASSERT_EQ(list_.Chosen(), list_.At(2));
    }
    // The chosen card moved to the front; the last wireless card is another one.
    DaemonProcess daemon(ScenarioPath("reordered.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    ASSERT_NE(list_.Chosen(), nullptr);
    EXPECT_EQ(list_.Chosen()->PermanentAddress(), kSecondCard);
    EXPECT_EQ(list_.Chosen(), list_.At(0));
    EXPECT_EQ(combo_.selection, 0);
    const auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Found chosen adapter: 2"));
    EXPECT_TRUE(Contains(lines, "App: Info: Previous device found in re-enumeration"));
}

TEST_F(AdapterListTest, SelectionChangeSwitchesTheChosenAdapter) {
    DaemonProcess daemon(ScenarioPath("two_wireless.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    CAdapter* before = list_.Chosen();
    list_.OnSelectionChange();  // the same card: nothing happens
    EXPECT_EQ(list_.Chosen(), before);
    EXPECT_FALSE(
        Contains(log_.Messages(), "App: Info: Active networking device has been changed."));

    combo_.selection = 0;
    list_.OnSelectionChange();
    EXPECT_EQ(list_.Chosen(), list_.At(0));
    EXPECT_EQ(list_.Chosen()->PermanentAddress(), kFirstCard);
    EXPECT_TRUE(list_.At(0)->Channel().Handle());
    EXPECT_FALSE(before->Channel().Handle());
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Active networking device has been changed."));
}

TEST_F(AdapterListTest, ReEnumerationWithoutThePreviousCardTakesTheLastWireless) {
    {
        DaemonProcess daemon(ScenarioPath("two_wireless.json"));
        ASSERT_TRUE(daemon.ready());
        ASSERT_EQ(list_.EnumerateDevices(), 1);
    }
    DaemonProcess daemon(ScenarioPath("associated.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    EXPECT_EQ(list_.Chosen(), list_.At(3));
    EXPECT_TRUE(
        Contains(log_.Messages(), "App: Info: Previous device not found in re-enumeration"));
}

TEST_F(AdapterListTest, WiredOnlyMachineChoosesTheFirstCard) {
    DaemonProcess daemon(ScenarioPath("wired_only.json"));
    ASSERT_TRUE(daemon.ready());
    bool started = false;
    list_.SetSelectedHook([&](CAdapter&) { started = true; });
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    EXPECT_EQ(list_.Chosen(), list_.At(0));
    EXPECT_EQ(combo_.selection, 0);
    EXPECT_FALSE(started);  // no receive thread for a wired card
    EXPECT_TRUE(Contains(log_.Messages(),
                         "App: Info: No wireless devices, but non-wireless devices found."));
}

TEST_F(AdapterListTest, NoBindingsLogTheWarning) {
    DaemonProcess daemon(ScenarioPath("empty.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    EXPECT_EQ(list_.Chosen(), nullptr);
    EXPECT_TRUE(Contains(log_.Messages(), "App: Warn: No networking devices found on the system."));
}

TEST_F(AdapterListTest, NoDriverLeavesNothingChosen) {
    ::setenv("TARVIK_DRIVER_SOCKET", (folder_.Path() / "absent.sock").c_str(), 1);
    EXPECT_EQ(list_.EnumerateDevices(), RES_BINDINGS_FAILED);
    ::unsetenv("TARVIK_DRIVER_SOCKET");
    EXPECT_EQ(list_.Chosen(), nullptr);
    EXPECT_EQ(list_.Count(), 0u);
    EXPECT_TRUE(Contains(log_.Messages(),
                         "App: Info: Could not connect to Tarvik driver! Please try to "
                         "re-install Tarvik."));
}

TEST_F(AdapterListTest, DeviceChangesWithinFiveSecondsAreIgnored) {
    DaemonProcess daemon(ScenarioPath("wired_only.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    list_.MarkReEnumerated();
    const std::string tooSoon = "App: Info: Last auto re-enumeration was within ";
    const std::string again =
        "App: Info: Device change indicates change in system nodes, re-enumerating devices";

    now_ += 3;
    EXPECT_TRUE(list_.OnDeviceChange(kDbtDevNodesChanged));
    now_ += 2;  // 5 seconds: still too soon
    EXPECT_TRUE(list_.OnDeviceChange(kDbtDevNodesChanged));
    auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, tooSoon + "3.000000 seconds (too soon), ignoring signal"));
    EXPECT_TRUE(Contains(lines, tooSoon + "5.000000 seconds (too soon), ignoring signal"));
    EXPECT_FALSE(Contains(lines, again));

    now_ += 1;
    EXPECT_TRUE(list_.OnDeviceChange(kDbtDevNodesChanged));
    EXPECT_TRUE(Contains(log_.Messages(), again));

    // Other events, busy flags and the switched-off setting never re-enumerate.
    now_ += 100;
    EXPECT_TRUE(list_.OnDeviceChange(0x8000));
    list_.SetConnectionInProgress(true);
    EXPECT_TRUE(list_.OnDeviceChange(kDbtDevNodesChanged));
    list_.SetConnectionInProgress(false);
    log_.Settings().EnumerateOnDeviceChangeEvent = 0;
    EXPECT_TRUE(list_.OnDeviceChange(kDbtDevNodesChanged));
    lines = log_.Messages();
    EXPECT_EQ(testing::CountOf(lines, again), 1u);
    EXPECT_EQ(testing::CountOf(lines, "App: Info: Device change event"), 6u);
}

TEST_F(AdapterListTest, SelectionConfirmedFetchesFromTheNamedAdapter) {
    DaemonProcess daemon(ScenarioPath("two_wireless.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    CAdapter* fetched = nullptr;
    list_.OnSelectionConfirmed([&](CAdapter& adapter) { fetched = &adapter; });
    EXPECT_EQ(fetched, list_.At(2));

    combo_.selection = -1;
    fetched = nullptr;
    list_.OnSelectionConfirmed([&](CAdapter& adapter) { fetched = &adapter; });
    EXPECT_EQ(fetched, nullptr);
    EXPECT_TRUE(
        Contains(log_.Messages(), "App: Info: Error while retrieving adapter information!"));
    list_.OnSelectionChange();
    EXPECT_TRUE(Contains(log_.Messages(),
                         "App: Error: Selected wireless adapter could not be found in the list!"));
}

TEST_F(AdapterListTest, PrepareCardProbesAndLeavesTheCardUnassociated) {
    EXPECT_EQ(list_.PrepareCard(), RES_FAILURE);  // nothing chosen
    DaemonProcess daemon(ScenarioPath("associated.json"));
    ASSERT_TRUE(daemon.ready());
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    ASSERT_EQ(list_.Chosen(), list_.At(3));
    // Make the chosen card the associated one with the static address.
    combo_.selection = 0;
    list_.OnSelectionChange();
    CAdapter* card = list_.Chosen();
    ASSERT_EQ(card, list_.At(0));
    ASSERT_EQ(card->QueryMediaStatus(), 0);
    ASSERT_EQ(card->MediaStatus(), kMediaConnected);

    EXPECT_EQ(list_.PrepareCard(), 0);
    EXPECT_TRUE(card->CapabilitiesProbed());
    EXPECT_EQ(card->WpaCapability(), 3u);
    EXPECT_EQ(card->BestEncryption(), 6u);
    bool left = false;
    for (int i = 0; i < 100 && !left; ++i) {
        left = card->QueryMediaStatus() == 0 && card->MediaStatus() == kMediaDisconnected;
        if (!left) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(left);
}

}  // namespace
}  // namespace tarvik
