// The signal graph's command, sampling and window lifetime over a fake
// window factory, with the real controller and the simulated driver.
#include <gtest/gtest.h>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/SignalGraphLook.h"
#include "app/SignalGraphs.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

// Windows that count what they are asked to do; `live` lists those not yet
// destroyed.
struct FakeGraph : ISignalGraphView {
    explicit FakeGraph(std::vector<FakeGraph*>& live) : live(live) { live.push_back(this); }
    ~FakeGraph() override { std::erase(live, this); }
    void ShowGraph() override { shown = true; }
    bool IsGraphShown() const override { return shown; }
    void SetSamples(const std::vector<double>& values) override { samples = values; }
    std::vector<FakeGraph*>& live;
    bool shown = false;
    std::vector<double> samples;
};

struct FakeGraphs : ISignalGraphFactory {
    std::unique_ptr<ISignalGraphView> CreateSignalGraph(const SignalGraphLook&) override {
        ++created;
        return std::make_unique<FakeGraph>(live);
    }
    int created = 0;
    std::vector<FakeGraph*> live;
};

TEST(SignalGraphLookTest, LineColourByTheLastMacByte) {
    const GraphColour green{0.196F, 1.0F, 0.196F, 1.0F}, blue{0.2F, 0.8F, 1.0F, 1.0F},
        orange{1.0F, 0.4F, 0.2F, 1.0F};
    const std::pair<std::uint8_t, std::optional<GraphColour>> rows[] = {
        {0x00, green},  {0x3F, green},  {0x40, blue},         {0x7F, blue},
        {0x80, orange}, {0xBF, orange}, {0xC0, std::nullopt}, {0xFF, std::nullopt},
    };
    for (const auto& [byte, colour] : rows) {
        SCOPED_TRACE(static_cast<int>(byte));
        EXPECT_EQ(SignalLineColour(byte), colour);
    }
}

TEST(SignalGraphLookTest, TitleAndLabels) {
    CBssid record(testing_support::Entry(testing_support::Fields(0x40)), 1);
    SignalGraphLook expected;
    expected.title = "linksys 00:0c:41:82:b2:40";
    expected.lineColour = SignalLineColour(0x40);
    expected.leftLabel = expected.rightLabel = "Signal (dBm)";
    expected.bottomLabel = "Tarvik 1.2";
    EXPECT_EQ(SignalGraphLookOf(record), expected);
}

class SignalGraphTest : public testing::MainDialogFixture {
  protected:
    SignalGraphTest() { signalGraphs_ = &graphs_; }
    // The controller's windows go before the factory that counts them.
    ~SignalGraphTest() override { dialog_.reset(); }
    FakeGraphs graphs_;
};

// One window per record, shown again rather than made twice; every show
// and every tick samples all records; hidden windows are not redrawn; a
// record's window goes when the record leaves the list.
TEST_F(SignalGraphTest, OneWindowPerRecordClosedWithTheRecord) {
    StartRunning();
    dialog_->ExecuteCommand(ID_DEVICE_HARD_REFRESH);
    ASSERT_GE(networks_.Size(), 2u);
    const BssidRecord first = networks_.Records()[0];
    const BssidRecord second = networks_.Records()[1];

    EXPECT_FALSE(dialog_->QueryCommandState(ID_NETWORK_SIGNAL_GRAPH).enabled);
    dialog_->ShowSignalGraph();
    EXPECT_EQ(log_.Messages().back(), "App: Info: No item selected!");
    EXPECT_EQ(graphs_.created, 0);

    view_.selected = first;
    EXPECT_TRUE(dialog_->QueryCommandState(ID_CONTEXT_SIGNAL_GRAPH).enabled);
    dialog_->ExecuteCommand(ID_NETWORK_SIGNAL_GRAPH);
    dialog_->ExecuteCommand(ID_CONTEXT_SIGNAL_GRAPH);
    ASSERT_EQ(graphs_.created, 1);
    EXPECT_EQ(second->RssiHistory().Size(), 2u);
    FakeGraph* firstGraph = graphs_.live[0];
    EXPECT_EQ(firstGraph->samples.size(), 2u);
    EXPECT_EQ(firstGraph->samples[1], first->Entry()->Rssi());

    view_.selected = second;
    dialog_->ExecuteCommand(ID_NETWORK_SIGNAL_GRAPH);
    ASSERT_EQ(graphs_.live.size(), 2u);
    FakeGraph* secondGraph = graphs_.live[1];
    secondGraph->shown = false;
    dialog_->OnTimer(TIMER_SIGNAL_GRAPH);
    EXPECT_EQ(firstGraph->samples.size(), 4u);
    EXPECT_EQ(secondGraph->samples.size(), 3u);

    networks_.RemoveIf([&](const CBssid& record) { return &record == second.get(); });
    EXPECT_EQ(graphs_.live, std::vector<FakeGraph*>{firstGraph});
    dialog_->ExecuteCommand(ID_VIEW_CLEAR_ALL);
    EXPECT_TRUE(graphs_.live.empty());
}

// Without a chosen adapter the command and the timer do nothing; without a
// window factory the command is disabled.
TEST_F(SignalGraphTest, NothingWithoutAnAdapterOrAFactory) {
    Create();
    EXPECT_FALSE(dialog_->Initialize());
    auto record = std::make_shared<CBssid>(testing_support::Entry(testing_support::Fields()), 0);
    networks_.Append(record);
    view_.selected = record;
    dialog_->ShowSignalGraph();
    dialog_->OnTimer(TIMER_SIGNAL_GRAPH);
    EXPECT_EQ(graphs_.created, 0);
    EXPECT_TRUE(record->RssiHistory().Empty());

    dialog_.reset();
    signalGraphs_ = nullptr;
    Create();
    EXPECT_FALSE(dialog_->QueryCommandState(ID_NETWORK_SIGNAL_GRAPH).enabled);
}

}  // namespace
}  // namespace tarvik
