#include "app/ListCtrlEx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "app/ColumnFit.h"
#include "app/LayoutBlob.h"
#include "core/ApplicationOptions.h"
#include "networks/ColumnIds.h"
#include "platform/RegistryStore.h"
#include "tests/core/TempFolder.h"

namespace tarvik {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* kKey = "Software\\Tarvik\\tarvik\\ColumnData";

// A header as the view keeps it: widths by column index and a display order.
class FakeHeader : public IListHeader {
  public:
    explicit FakeHeader(int count) : widths_(count, 100), order_(count) {
        std::iota(order_.begin(), order_.end(), 0);
    }
    int ColumnCount() const override { return static_cast<int>(widths_.size()); }
    std::vector<int> DisplayOrder() const override { return order_; }
    void SetDisplayOrder(const std::vector<int>& order) override { order_ = order; }
    int ColumnWidth(int column) const override { return widths_.at(column); }
    void SetColumnWidth(int column, int width) override { widths_.at(column) = width; }
    void Repaint() override { ++repaints; }

    // The user drags a header from one display position to another.
    void Drag(int from, int to) {
        const int column = order_[from];
        order_.erase(order_.begin() + from);
        order_.insert(order_.begin() + to, column);
    }
    int Position(int column) const {
        return static_cast<int>(std::find(order_.begin(), order_.end(), column) - order_.begin());
    }

    std::vector<int> widths_;
    std::vector<int> order_;
    int repaints = 0;
};

class ListCtrlExTest : public ::testing::Test {
  protected:
    ListCtrlExTest() {
        SetUpNetworkTableColumns(table_);
        table_.SetSectionName(kNetworkColumnSection);
    }

    std::vector<int> Identity() const {
        std::vector<int> order(kNetworkColumnCount);
        std::iota(order.begin(), order.end(), 0);
        return order;
    }
    void WriteBlob(const char* name, const std::vector<int>& values) {
        ASSERT_TRUE(store_.WriteBinary(kKey, name, EncodeLayoutBlob(values)));
    }
    // A fresh program run over the same hive.
    struct Run {
        explicit Run(CApplicationOptions& options) : table(header, options) {
            SetUpNetworkTableColumns(table);
            table.SetSectionName(kNetworkColumnSection);
        }
        FakeHeader header{kNetworkColumnCount};
        CListCtrlEx table;
    };

    TempFolder folder_;
    RegistryStore store_{folder_.Path() / "user.reg", "HKEY_CURRENT_USER"};
    CApplicationOptions options_{&store_, "/opt/tarvik/bin/tarvik"};
    FakeHeader header_{kNetworkColumnCount};
    CListCtrlEx table_{header_, options_};
};

// A run that never got to the restore (no driver) leaves the stored layout
// alone; a run that restored it (or tried: a first launch) or in which the
// user changed it saves it.
TEST_F(ListCtrlExTest, OnlyARunThatRestoredOrChangedTheLayoutSavesIt) {
    Run first(options_);
    EXPECT_FALSE(first.table.SaveChangedLayout());
    EXPECT_TRUE(options_.IsFirstLaunch());
    EXPECT_FALSE(first.table.RestoreLayout());
    EXPECT_TRUE(first.table.SaveChangedLayout());
    EXPECT_FALSE(options_.IsFirstLaunch());  // "Column Count" is there now

    header_.Drag(5, 0);  // "Encryption" first
    header_.SetColumnWidth(0, 200);
    table_.SetColumnVisible(COLUMN_MAC_ADDRESS, false);
    ASSERT_TRUE(table_.SaveChangedLayout());
    Run noDriver(options_);  // ended before the restore
    EXPECT_FALSE(noDriver.table.SaveChangedLayout());
    Run next(options_);
    ASSERT_TRUE(next.table.RestoreLayout());
    EXPECT_FALSE(next.table.IsColumnVisible(COLUMN_MAC_ADDRESS));
    EXPECT_EQ(next.header.order_, header_.order_);
    EXPECT_EQ(next.header.widths_, header_.widths_);

    // Each kind of change by the user saves.
    const std::vector<std::function<void(CListCtrlEx&)>> changes = {
        [](CListCtrlEx& table) { table.ResizeColumn(COLUMN_SSID, 120); },
        [](CListCtrlEx& table) { table.SizeColumnToContent(COLUMN_SSID, 120); },
        [](CListCtrlEx& table) { table.OnHeaderDropped(); },
        [](CListCtrlEx& table) { table.NoteUserChange(); },
        [](CListCtrlEx& table) { table.SetColumnVisible(COLUMN_HITS, false); },
    };
    for (const auto& change : changes) {
        ASSERT_TRUE(store_.DeleteValue(kKey, "Column Count"));
        Run run(options_);
        change(run.table);
        EXPECT_TRUE(run.table.SaveChangedLayout());
        EXPECT_EQ(store_.ReadDword(kKey, "Column Count", 0), 30u);
    }
}

// Each step of a restore checks its own value; a bad or missing one stops
// the restore there and keeps what the earlier steps applied.
TEST_F(ListCtrlExTest, RestoreStopsAtTheFirstBadValue) {
    std::vector<int> order = Identity();
    std::swap(order[0], order[1]);
    std::vector<int> widths(30, 66);
    widths[COLUMN_SPEED] = -40;
    widths[COLUMN_MAC_ADDRESS] = 0x7FFFFFFF;
    std::vector<int> visible(30, 1);
    visible[4] = 0;
    const auto identityWith = [this](int index, int value) {
        std::vector<int> order = Identity();
        order[index] = value;
        return order;
    };
    const std::vector<int> repeated = identityWith(7, 3), outOfRange = identityWith(29, 30),
                           short29(29, 1), long31(31, 1), missing;

    struct Case {
        const char* name;
        std::uint32_t count;
        std::vector<int> order, widths, visible;
        int applied;  // steps that take effect: 1 order, 2 widths, 3 visibility
    };
    const std::vector<Case> cases = {
        {"fits", 30, order, widths, visible, 3},
        {"count of another table", 29, order, widths, visible, 0},
        {"order too short", 30, short29, widths, visible, 0},
        {"order repeats an index", 30, repeated, widths, visible, 0},
        {"order index past the end", 30, outOfRange, widths, visible, 0},
        {"widths too short", 30, order, short29, visible, 1},
        {"widths missing", 30, order, missing, visible, 1},
        {"visibility too long", 30, order, widths, long31, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store_.WriteDword(kKey, "Column Count", c.count));
        WriteBlob("Column Order", c.order);
        WriteBlob("Column Width", c.widths);
        if (c.widths.empty()) {
            ASSERT_TRUE(store_.DeleteValue(kKey, "Column Width"));
        }
        WriteBlob("Column Visible", c.visible);

        Run run(options_);
        EXPECT_EQ(run.table.RestoreLayout(), c.applied == 3);
        EXPECT_EQ(run.header.order_[0], c.applied >= 1 ? 1 : 0);
        EXPECT_EQ(run.header.ColumnWidth(COLUMN_SSID), c.applied >= 2 ? 66 : 85);
        EXPECT_EQ(run.table.IsColumnVisible(COLUMN_MODE), c.applied < 3);
        if (c.applied < 2) continue;
        // Damaged widths are clamped.
        EXPECT_EQ(run.header.ColumnWidth(COLUMN_SPEED), 0);
        EXPECT_EQ(run.header.ColumnWidth(COLUMN_MAC_ADDRESS), kMaxColumnWidth);
    }
}

TEST_F(ListCtrlExTest, ShownColumnGetsItsInitialWidthBeforeTheLastVisibleOne) {
    header_.SetColumnWidth(COLUMN_LATITUDE, 300);
    for (int column = 10; column < 30; ++column) table_.SetColumnVisible(column, false);
    table_.SetColumnVisible(COLUMN_LATITUDE, false);  // no change
    table_.SetColumnVisible(COLUMN_LATITUDE, true);
    EXPECT_EQ(header_.Position(COLUMN_LATITUDE), 9);
    EXPECT_EQ(header_.Position(9), 10);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_LATITUDE), 90);
    // A low index keeps its place among the visible ones.
    table_.SetColumnVisible(COLUMN_MAC_ADDRESS, false);
    table_.SetColumnVisible(COLUMN_MAC_ADDRESS, true);
    EXPECT_EQ(header_.Position(COLUMN_MAC_ADDRESS), 2);
}

TEST_F(ListCtrlExTest, DroppedHeaderSendsHiddenColumnsBackToTheEnd) {
    table_.SetColumnVisible(COLUMN_SPEED, false);
    table_.SetColumnVisible(COLUMN_HITS, false);
    header_.Drag(0, 29);  // "Ssid" dropped after the hidden columns
    header_.Drag(28, 0);  // and a hidden one dragged to the front
    const int repaints = header_.repaints;
    table_.OnHeaderDropped();
    EXPECT_EQ(header_.repaints, repaints + 1);
    EXPECT_EQ(header_.order_.front(), COLUMN_MAC_ADDRESS);
    EXPECT_EQ(header_.Position(COLUMN_SSID), 27);
    EXPECT_THAT(std::vector<int>(header_.order_.end() - 2, header_.order_.end()),
                ::testing::UnorderedElementsAre(COLUMN_HITS, COLUMN_SPEED));
}

TEST_F(ListCtrlExTest, DividerActsOnTheNearestVisibleColumnToTheLeft) {
    header_.Drag(4, 0);  // "Mode" first
    table_.SetColumnVisible(COLUMN_SSID, false);
    table_.SetColumnVisible(COLUMN_SPEED, false);
    const int lastVisible = header_.order_[27];
    EXPECT_EQ(table_.DividerColumn(COLUMN_SIGNAL), COLUMN_SIGNAL);
    EXPECT_EQ(table_.DividerColumn(COLUMN_SPEED), lastVisible);
    EXPECT_EQ(table_.DividerColumn(30), -1);

    table_.ResizeColumn(COLUMN_SPEED, -20);
    EXPECT_EQ(header_.ColumnWidth(lastVisible), 0);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SPEED), 0);
    table_.ResizeColumn(COLUMN_SIGNAL, 77);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SIGNAL), 77);

    // Double click: widest text + 12, the icon only for column 0.
    table_.SizeColumnToContent(COLUMN_SSID, 100, 16);
    EXPECT_EQ(header_.ColumnWidth(lastVisible), 112);

    // With every column hidden no divider can be grabbed.
    for (int column = 0; column < 30; ++column) table_.SetColumnVisible(column, false);
    EXPECT_EQ(table_.DividerColumn(COLUMN_SSID), -1);
    table_.SizeColumnToContent(COLUMN_SSID, 100);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SSID), 0);
}

// Fonts of fixed-width letters stand in for the table's font.
TEST(ColumnFitTest, InitialWidthsScaleWithTheFontAndFitTypicalTextsAndTitles) {
    for (const int letter : {4, 6, 9}) {
        SCOPED_TRACE(letter);
        const ColumnFitMetrics fit{
            [letter](std::string_view text) { return letter * static_cast<int>(text.size()); }, 12,
            nullptr};
        for (const NetworkColumnInfo& info : kNetworkColumns) {
            const int width = FitInitialWidth(info.id, fit);
            EXPECT_GE(width, info.width * letter / 6) << info.title;
            EXPECT_GE(width, fit.textWidth(TypicalColumnText(info.id)) + 12) << info.title;
            EXPECT_GE(width, fit.textWidth(info.title) + 12) << info.title;
        }
        // Scaled where the layout's number is the widest need.
        EXPECT_EQ(FitInitialWidth(COLUMN_KEY_MANAGEMENT, fit), 150 * letter / 6);
    }
    const ColumnFitMetrics sized{
        [](std::string_view text) { return 6 * static_cast<int>(text.size()); }, 12,
        [](int column) { return column == COLUMN_CHANNEL ? 70 : 0; }};
    EXPECT_EQ(FitInitialWidth(COLUMN_CHANNEL, sized), 70);  // the header's own need
    EXPECT_EQ(FitInitialWidth(COLUMN_HITS, sized), 42);     // 5 digits + 12 ("Hits" 40)
    EXPECT_EQ(FitInitialWidth(30, sized), 0);

    FakeHeader header(kNetworkColumnCount);
    CApplicationOptions options(nullptr, "/nonexistent/tarvik");
    CListCtrlEx table(header, options);
    SetUpNetworkTableColumns(table, sized);
    EXPECT_EQ(header.ColumnWidth(COLUMN_CHANNEL), 70);
    EXPECT_EQ(table.InitialWidth(COLUMN_CHANNEL), 70);
}

TEST(LayoutBlobTest, DecodesOnlyExactSizes) {
    const std::vector<std::uint8_t> blob = EncodeLayoutBlob({1, -2, 0x01020304});
    EXPECT_THAT(blob,
                ElementsAreArray<std::uint8_t>({1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1}));
    EXPECT_THAT(*DecodeLayoutBlob(blob, 3), ElementsAre(1, -2, 0x01020304));
    EXPECT_FALSE(DecodeLayoutBlob(blob, 2));
    EXPECT_FALSE(DecodeLayoutBlob(std::span(blob).first(11), 3));
    EXPECT_FALSE(DecodeLayoutBlob(blob, SIZE_MAX / 2));  // 4 x count would wrap
    EXPECT_TRUE(DecodeLayoutBlob({}, 0)->empty());
}

}  // namespace
}  // namespace tarvik
