#include <gtest/gtest.h>

#include "AdapterTestSupport.h"
#include "DaemonProcess.h"
#include "adapter/Adapter.h"
#include "adapter/AdapterList.h"

namespace tarvik::testing {
namespace {

const ndis::MacAddress kFirstCard{0x00, 0x13, 0xe8, 0x20, 0x00, 0x01};
const ndis::MacAddress kSecondCard{0x00, 0x13, 0xe8, 0x20, 0x00, 0x03};

class AdapterListTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    FakeCombo combo_;
    QueueDispatcher dispatcher_;
    CMediaEventSource source_{dispatcher_};
    std::int64_t now_ = 1000000;
    CAdapterList list_{log_.Settings(), combo_, [this] { return now_; }, &source_};
    std::unique_ptr<DaemonProcess> daemon_;

    // A daemon serving `scenario` in place of the one before; whether it answers.
    bool Serve(const std::string& scenario) {
        daemon_.reset();
        daemon_ = std::make_unique<DaemonProcess>(ScenarioPath(scenario));
        return daemon_->ready();
    }
};

// Two wireless cards: the later is chosen; switching away and back keeps its media
// events; a restarted driver is picked up via device change; fetch from one only.
TEST_F(AdapterListTest, TwoWirelessCardsChooseSwitchComeBackAndFetch) {
    ASSERT_TRUE(Serve("two_wireless.json"));
    ASSERT_EQ(source_.StartWmi(), 0);
    std::vector<std::string> started;
    list_.SetSelectedHook([&](CAdapter& adapter) { started.push_back(adapter.DeviceName()); });

    EXPECT_EQ(list_.EnumerateDevices(), 1);
    ASSERT_EQ(list_.Count(), 3u);
    ASSERT_EQ(list_.Chosen(), list_.At(2));
    EXPECT_EQ(list_.Chosen()->PermanentAddress(), kSecondCard);
    EXPECT_EQ(combo_.selection, 2);
    EXPECT_EQ(started,
              std::vector<std::string>{"\\DEVICE\\{AD000003-0000-4000-8000-000000000003}"});
    // Only the chosen adapter keeps its channel open.
    EXPECT_TRUE(list_.Chosen()->Channel().Handle());
    EXPECT_FALSE(list_.At(0)->Channel().Handle());

    ASSERT_EQ(combo_.items.size(), 3u);
    EXPECT_EQ(combo_.items[0].text, " First Test Card (First Card Registry Name) - Wireless LAN");
    EXPECT_EQ(combo_.items[2].text, " Second Test Card (Mini PCI) - Wireless LAN");
    EXPECT_TRUE(Contains(log_.Messages(),
                         "App: Info: Wireless device found and no previous wireless device"));

    CAdapter* second = list_.Chosen();
    list_.OnSelectionChange();  // the same card: nothing happens
    EXPECT_FALSE(
        Contains(log_.Messages(), "App: Info: Active networking device has been changed."));

    combo_.selection = 0;
    list_.OnSelectionChange();
    EXPECT_EQ(list_.Chosen()->PermanentAddress(), kFirstCard);
    EXPECT_TRUE(list_.At(0)->Channel().Handle());
    EXPECT_FALSE(second->Channel().Handle());
    EXPECT_FALSE(second->HasMediaEventSink());
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Active networking device has been changed."));

    combo_.selection = 2;
    list_.OnSelectionChange();
    EXPECT_EQ(list_.Chosen(), second);
    EXPECT_TRUE(second->HasMediaEventSink());

    // The daemon's return is a device change: the list is enumerated again
    // and the chosen card answers, with no menu command.
    source_.SetDeviceChangeHandler([this] { list_.OnDeviceChange(kDbtDevNodesChanged); });
    list_.MarkReEnumerated();
    now_ += 10;
    daemon_->Restart();
    ASSERT_TRUE(daemon_->ready());
    EXPECT_TRUE(dispatcher_.PumpUntil(
        [this] { return list_.Chosen() != nullptr && list_.Chosen()->QueryMediaStatus() == 0; }));
    EXPECT_EQ(list_.Chosen()->PermanentAddress(), kSecondCard);
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Previous device found in re-enumeration"));

    // A confirmed selection fetches from the named adapter, and only from one.
    CAdapter* fetched = nullptr;
    list_.OnSelectionConfirmed([&](CAdapter& adapter) { fetched = &adapter; });
    EXPECT_EQ(fetched, list_.At(2));
    combo_.selection = -1;
    fetched = nullptr;
    list_.OnSelectionConfirmed([&](CAdapter& adapter) { fetched = &adapter; });
    EXPECT_EQ(fetched, nullptr);
    list_.OnSelectionChange();
    const auto lines = log_.Messages();
    EXPECT_TRUE(Contains(lines, "App: Info: Error while retrieving adapter information!"));
    EXPECT_TRUE(
        Contains(lines, "App: Error: Selected wireless adapter could not be found in the list!"));
}

// Re-enumeration against a changed world: the previous card where it moved
// to, else the last wireless one.
TEST_F(AdapterListTest, ReEnumerationFindsThePreviousCardElseTakesTheLastWireless) {
    struct Row {
        const char* scenario;
        std::size_t chosen;
        const char* line;
    };
    for (const Row& row :
         {Row{"reordered.json", 0, "Previous device found in re-enumeration"},
          Row{"associated.json", 3, "Previous device not found in re-enumeration"}}) {
        SCOPED_TRACE(row.scenario);
        ASSERT_TRUE(Serve("two_wireless.json"));
        ASSERT_EQ(list_.EnumerateDevices(), 1);
        ASSERT_EQ(list_.Chosen(), list_.At(2));
        ASSERT_TRUE(Serve(row.scenario));
        ASSERT_EQ(list_.EnumerateDevices(), 1);
        EXPECT_EQ(list_.Chosen(), list_.At(row.chosen));
        EXPECT_EQ(combo_.selection, static_cast<int>(row.chosen));
        EXPECT_TRUE(Contains(log_.Messages(), std::string("App: Info: ") + row.line));
    }
    EXPECT_TRUE(Contains(log_.Messages(), "App: Info: Found chosen adapter: 2"));
}

TEST_F(AdapterListTest, WiredOnlyNoBindingsAndNoDriver) {
    struct Row {
        const char* scenario;  // empty: no daemon
        Result result;
        int chosen;
        const char* line;
    };
    const Row rows[] = {
        {"wired_only.json", 1, 0,
         "App: Info: No wireless devices, but non-wireless devices found."},
        {"empty.json", 1, -1, "App: Warn: No networking devices found on the system."},
        {"", RES_BINDINGS_FAILED, -1,
         "App: Info: Could not connect to Tarvik driver! Please try to re-install Tarvik."}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        bool started = false;
        list_.SetSelectedHook([&](CAdapter&) { started = true; });
        if (*row.scenario != 0) {
            ASSERT_TRUE(Serve(row.scenario));
        } else {
            daemon_.reset();
            ::setenv("TARVIK_DRIVER_SOCKET", (folder_.Path() / "absent.sock").c_str(), 1);
        }
        EXPECT_EQ(list_.EnumerateDevices(), row.result);
        ::unsetenv("TARVIK_DRIVER_SOCKET");
        EXPECT_EQ(list_.Chosen(), row.chosen < 0 ? nullptr : list_.At(row.chosen));
        EXPECT_EQ(combo_.selection, row.chosen);
        EXPECT_FALSE(started);  // no receive thread for a wired card
        EXPECT_TRUE(Contains(log_.Messages(), row.line));
    }
}

// Seconds since the last re-enumeration: 5 is still too soon. Other events, busy
// flags and the switched-off setting never re-enumerate.
TEST_F(AdapterListTest, DeviceChangesWithinFiveSecondsAreIgnored) {
    ASSERT_TRUE(Serve("wired_only.json"));
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    list_.MarkReEnumerated();
    const std::string again =
        "App: Info: Device change indicates change in system nodes, re-enumerating devices";
    struct Row {
        int advance;
        std::uint32_t event;
        bool busy, enabled;
        const char* tooSoon;  // the elapsed text, or null when no such line
        std::size_t enumerations;
    };
    const Row rows[] = {{5, kDbtDevNodesChanged, false, true, "5.000000", 0},
                        {1, kDbtDevNodesChanged, false, true, nullptr, 1},
                        {100, 0x8000, false, true, nullptr, 1},
                        {0, kDbtDevNodesChanged, true, true, nullptr, 1},
                        {0, kDbtDevNodesChanged, false, false, nullptr, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.advance);
        now_ += row.advance;
        list_.SetConnectionInProgress(row.busy);
        log_.Settings().EnumerateOnDeviceChangeEvent = row.enabled ? 1 : 0;
        EXPECT_TRUE(list_.OnDeviceChange(row.event));
        const auto lines = log_.Messages();
        if (row.tooSoon) {
            EXPECT_TRUE(
                Contains(lines, std::string("App: Info: Last auto re-enumeration was within ") +
                                    row.tooSoon + " seconds (too soon), ignoring signal"));
        }
        EXPECT_EQ(CountOf(lines, again), row.enumerations);
    }
    EXPECT_EQ(CountOf(log_.Messages(), "App: Info: Device change event"), 5u);
}

// Start-up leaves a connected card connected when asked to, whatever the
// cached state said; otherwise the card is probed and left unassociated.
TEST_F(AdapterListTest, PrepareCardOnLoadSparesAConnectedCardOnlyWhenAsked) {
    EXPECT_EQ(list_.PrepareCardOnLoad(true), RES_FAILURE);  // nothing chosen
    ASSERT_TRUE(Serve("associated.json"));
    ASSERT_EQ(list_.EnumerateDevices(), 1);
    combo_.selection = 0;  // the associated card with the static address
    list_.OnSelectionChange();
    CAdapter* card = list_.Chosen();
    ASSERT_EQ(card, list_.At(0));

    EXPECT_EQ(list_.PrepareCardOnLoad(true), 0);
    EXPECT_FALSE(card->CapabilitiesProbed());
    EXPECT_TRUE(card->IsConnected());

    EXPECT_EQ(list_.PrepareCardOnLoad(false), 0);
    EXPECT_TRUE(card->CapabilitiesProbed());
    EXPECT_EQ(card->WpaCapability(), 3u);
    EXPECT_EQ(card->BestEncryption(), 6u);
    EXPECT_TRUE(Eventually([&] {
        return card->QueryMediaStatus() == 0 && card->MediaStatus() == kMediaDisconnected;
    }));
}

}  // namespace
}  // namespace tarvik::testing
