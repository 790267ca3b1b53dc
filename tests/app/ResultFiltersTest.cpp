#include <gtest/gtest.h>

#include <map>

#include "MainDialogFixture.h"
#include "app/CommandIds.h"
#include "app/ResultFilters.h"

namespace tarvik {
namespace {

// The dialog as the filter commands left it.
class FakeFilterDialog : public IFilterDialogView {
  public:
    explicit FakeFilterDialog(std::map<int, FilterGroupState>& groups, std::string& title)
        : groups_(groups), title_(title) {}
    void ShowOnTop() override {}
    void ShowGroup(int group, bool on, std::uint32_t choice) override {
        groups_[group] = {on ? 1u : 0u, choice};
    }
    void SetTitle(const std::string& title) override { title_ = title; }

  private:
    std::map<int, FilterGroupState>& groups_;
    std::string& title_;
};

class ResultFiltersTest : public testing::MainDialogFixture {
  protected:
    void SetUp() override {
        StartDaemon(TARVIK_SOURCE_DIR "/share/scenarios/default.json");
        Create();
        ASSERT_TRUE(dialog_->Initialize());
        dialog_->ExecuteCommand(ID_DEVICE_HARD_REFRESH);
        filters_.Attach(dialog_->ScanCycle());
        Refresh();
    }
    void Refresh() { dialog_->ScanCycle().RefreshNetworkTable(networks_.Snapshot()); }
    std::size_t Rows() const { return table_.RowCount(); }
    // Records whose `column` reads `text`, by the column rules.
    std::size_t CountWithText(int column, const std::string& text) {
        std::size_t count = 0;
        for (const BssidRecord& record : networks_.Records()) {
            count += columns_.ColumnText(*record, column) == text;
        }
        return count;
    }
    std::string Title(std::size_t shown) const {
        const std::size_t total = networks_.Records().size();
        return FilterDialogTitle({static_cast<std::uint32_t>(total),
                                  static_cast<std::uint32_t>(total - shown),
                                  static_cast<std::uint32_t>(shown)});
    }

    CNetworkFilter filter_;
    std::map<int, FilterGroupState> shown_;
    std::string title_;
    CResultFilters filters_{filter_, networks_, table_, [this](CResultFilters&) {
                                return std::make_unique<FakeFilterDialog>(shown_, title_);
                            }};
};

// Each group alone against the scenario's mix: the rows are exactly the
// networks whose column shows the chosen value.
TEST_F(ResultFiltersTest, EachGroupShowsTheNetworksOfItsChoice) {
    struct Case {
        const char* name;
        FilterGroup group;
        std::uint32_t choice;
        int column;
        const char* text;
    };
    const Case cases[] = {
        {"802.11a", FILTER_CLASS, 1, COLUMN_TYPE, "802.11a"},
        {"802.11g", FILTER_CLASS, 3, COLUMN_TYPE, "802.11g"},
        {"ad hoc", FILTER_MODE, 2, COLUMN_MODE, "Ad Hoc"},
        {"infrastructure", FILTER_MODE, 1, COLUMN_MODE, "Infrastructure"},
        {"open", FILTER_SECURITY, 1, COLUMN_ENCRYPTION, "None"},
        {"WEP", FILTER_SECURITY, 2, COLUMN_ENCRYPTION, "WEP"},
        {"channel 6", FILTER_CHANNEL_24, 6, COLUMN_CHANNEL, "6"},
        {"channel 36", FILTER_CHANNEL_5, 36, COLUMN_CHANNEL, "36"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        filters_.OnGroupChecked(row.group, true);
        filters_.OnChoiceClicked(row.group, row.choice);
        const std::size_t expected = CountWithText(row.column, row.text);
        EXPECT_GT(expected, 0u);
        EXPECT_EQ(Rows(), expected);
        for (std::size_t i = 0; i < Rows(); ++i) {
            EXPECT_EQ(columns_.ColumnText(*table_.Record(static_cast<int>(i)), row.column),
                      row.text);
        }
        filters_.OnGroupChecked(row.group, false);
        EXPECT_EQ(filter_.Fields(), NetworkFilterFields{});
    }
}

// The dialog's events: a tick without a choice and clearing the last tick
// leave the rows alone; a choice filters; the title counts.
TEST_F(ResultFiltersTest, DialogEventsRebuildOnlyWhenTheyFilter) {
    const std::size_t all = networks_.Records().size();
    filters_.ShowDialog();
    EXPECT_EQ(title_, Title(all));
    EXPECT_EQ(shown_[FILTER_SECURITY], (FilterGroupState{0, 0}));

    filters_.OnGroupChecked(FILTER_SECURITY, true);
    EXPECT_EQ(shown_[FILTER_SECURITY], (FilterGroupState{1, 0}));
    EXPECT_EQ(Rows(), all);

    filters_.OnChoiceClicked(FILTER_SECURITY, 2);
    const std::size_t wep = CountWithText(COLUMN_ENCRYPTION, "WEP");
    EXPECT_EQ(Rows(), wep);
    EXPECT_EQ(title_, Title(wep));
    EXPECT_EQ(shown_[FILTER_SECURITY], (FilterGroupState{1, 2}));

    // Both channel groups on: only a channel equal to both passes.
    filters_.OnGroupChecked(FILTER_CHANNEL_24, true);
    filters_.OnChoiceClicked(FILTER_CHANNEL_24, 11);
    filters_.OnGroupChecked(FILTER_CHANNEL_5, true);
    filters_.OnChoiceClicked(FILTER_CHANNEL_5, 36);
    EXPECT_EQ(Rows(), 0u);
    EXPECT_EQ(title_, Title(0));
    filters_.OnGroupChecked(FILTER_CHANNEL_24, false);
    filters_.OnGroupChecked(FILTER_CHANNEL_5, false);
    EXPECT_EQ(Rows(), wep);

    // The last tick goes: nothing is rebuilt until the next refresh.
    filters_.OnGroupChecked(FILTER_SECURITY, false);
    EXPECT_EQ(shown_[FILTER_SECURITY], (FilterGroupState{0, 0}));
    EXPECT_EQ(Rows(), wep);
    Refresh();
    EXPECT_EQ(Rows(), all);
    EXPECT_EQ(title_, Title(all));
}

}  // namespace
}  // namespace tarvik
