#include "app/ListCtrlEx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "app/ColumnSelection.h"
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

TEST_F(ListCtrlExTest, HiddenColumnSurvivesSaveAndRestore) {
    header_.Drag(5, 0);  // "Encryption" first
    header_.SetColumnWidth(0, 200);
    table_.SetColumnVisible(COLUMN_MAC_ADDRESS, false);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_MAC_ADDRESS), 0);
    EXPECT_EQ(header_.order_.back(), COLUMN_MAC_ADDRESS);
    EXPECT_TRUE(options_.IsFirstLaunch());
    ASSERT_TRUE(table_.SaveLayout());
    EXPECT_FALSE(options_.IsFirstLaunch());
    EXPECT_EQ(store_.ReadDword(kKey, "Column Count", 0), 30u);
    EXPECT_EQ(store_.ReadBinary(kKey, "Column Visible")->size(), 120u);

    Run next(options_);
    ASSERT_TRUE(next.table.RestoreLayout());
    EXPECT_FALSE(next.table.IsColumnVisible(COLUMN_MAC_ADDRESS));
    EXPECT_EQ(next.header.ColumnWidth(COLUMN_MAC_ADDRESS), 0);
    EXPECT_EQ(next.header.order_, header_.order_);
    EXPECT_EQ(next.header.order_.front(), COLUMN_ENCRYPTION);
    EXPECT_EQ(next.header.order_.back(), COLUMN_MAC_ADDRESS);
    EXPECT_EQ(next.header.widths_, header_.widths_);
    EXPECT_EQ(next.header.ColumnWidth(0), 200);
}

// Each step of a restore checks its own value; a bad one stops the restore
// there and keeps what the earlier steps applied.
TEST_F(ListCtrlExTest, RestoreStopsAtTheFirstBadValue) {
    std::vector<int> order = Identity();
    std::swap(order[0], order[1]);
    const std::vector<int> widths(30, 66);
    std::vector<int> visible(30, 1);
    visible[4] = 0;
    std::vector<int> repeated = Identity();
    repeated[7] = 3;
    std::vector<int> outOfRange = Identity();
    outOfRange[29] = 30;
    std::vector<int> negative = Identity();
    negative[0] = -1;
    const std::vector<int> short29(29, 1);
    const std::vector<int> long31(31, 1);

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
        {"order too long", 30, long31, widths, visible, 0},
        {"order repeats an index", 30, repeated, widths, visible, 0},
        {"order index past the end", 30, outOfRange, widths, visible, 0},
        {"order index negative", 30, negative, widths, visible, 0},
        {"widths too short", 30, order, short29, visible, 1},
        {"visibility too long", 30, order, widths, long31, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store_.WriteDword(kKey, "Column Count", c.count));
        WriteBlob("Column Order", c.order);
        WriteBlob("Column Width", c.widths);
        WriteBlob("Column Visible", c.visible);

        Run run(options_);
        EXPECT_EQ(run.table.RestoreLayout(), c.applied == 3);
        EXPECT_EQ(run.header.order_[0], c.applied >= 1 ? 1 : 0);
        EXPECT_EQ(run.header.ColumnWidth(COLUMN_SSID), c.applied >= 2 ? 66 : 85);
        EXPECT_EQ(run.table.IsColumnVisible(COLUMN_MODE), c.applied < 3);
    }
}

TEST_F(ListCtrlExTest, RestoreNeedsEveryValueOfTheRightType) {
    Run first(options_);
    EXPECT_FALSE(first.table.RestoreLayout());  // nothing stored yet

    ASSERT_TRUE(table_.SaveLayout());
    ASSERT_TRUE(store_.DeleteValue(kKey, "Column Width"));
    Run missing(options_);
    EXPECT_FALSE(missing.table.RestoreLayout());

    ASSERT_TRUE(table_.SaveLayout());
    ASSERT_TRUE(store_.WriteDword(kKey, "Column Order", 0));
    Run wrongType(options_);
    EXPECT_FALSE(wrongType.table.RestoreLayout());
}

TEST_F(ListCtrlExTest, RestoredWidthsStayWithinBounds) {
    ASSERT_TRUE(table_.SaveLayout());
    std::vector<int> widths(30, 50);
    widths[1] = -40;
    widths[2] = 0x7FFFFFFF;
    WriteBlob("Column Width", widths);
    Run run(options_);
    ASSERT_TRUE(run.table.RestoreLayout());
    EXPECT_EQ(run.header.ColumnWidth(1), 0);
    EXPECT_EQ(run.header.ColumnWidth(2), kMaxColumnWidth);
    EXPECT_EQ(run.header.ColumnWidth(3), 50);
}

TEST_F(ListCtrlExTest, ShownColumnLandsBeforeTheLastVisibleOne) {
    for (int column = 10; column < 30; ++column) table_.SetColumnVisible(column, false);
    ASSERT_THAT(std::vector<int>(header_.order_.begin(), header_.order_.begin() + 10),
                ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 9));

    table_.SetColumnVisible(COLUMN_LATITUDE, true);
    EXPECT_EQ(header_.Position(COLUMN_LATITUDE), 9);
    EXPECT_EQ(header_.Position(9), 10);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_LATITUDE), 90);
    // A low index keeps its place among the visible ones.
    table_.SetColumnVisible(COLUMN_MAC_ADDRESS, false);
    table_.SetColumnVisible(COLUMN_MAC_ADDRESS, true);
    EXPECT_EQ(header_.Position(COLUMN_MAC_ADDRESS), 2);
}

TEST_F(ListCtrlExTest, ShowingAColumnWhenNoneIsVisiblePutsItFirst) {
    for (int column = 0; column < 30; ++column) table_.SetColumnVisible(column, false);
    table_.SetColumnVisible(COLUMN_VENDOR, true);
    EXPECT_EQ(header_.order_.front(), COLUMN_VENDOR);
    EXPECT_TRUE(IsColumnPermutation(header_.order_, 30));
}

TEST_F(ListCtrlExTest, ReshownColumnGetsItsInitialWidth) {
    header_.SetColumnWidth(COLUMN_SIGNAL, 300);
    table_.SetColumnVisible(COLUMN_SIGNAL, false);
    table_.SetColumnVisible(COLUMN_SIGNAL, false);  // no change
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SIGNAL), 0);
    table_.SetColumnVisible(COLUMN_SIGNAL, true);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SIGNAL), 55);
    EXPECT_TRUE(table_.IsColumnVisible(COLUMN_SIGNAL));
}

TEST_F(ListCtrlExTest, DroppedHeaderSendsHiddenColumnsBackToTheEnd) {
    table_.SetColumnVisible(COLUMN_SPEED, false);
    table_.SetColumnVisible(COLUMN_HITS, false);
    ASSERT_THAT(std::vector<int>(header_.order_.end() - 2, header_.order_.end()),
                ElementsAre(COLUMN_SPEED, COLUMN_HITS));

    header_.Drag(0, 29);  // "Ssid" dropped after the hidden columns
    header_.Drag(28, 0);  // and a hidden one dragged to the front
    const int repaints = header_.repaints;
    table_.OnHeaderDropped();
    EXPECT_EQ(header_.repaints, repaints + 1);
    EXPECT_EQ(header_.order_.front(), COLUMN_MAC_ADDRESS);
    EXPECT_EQ(header_.Position(COLUMN_SSID), 27);
    EXPECT_THAT(std::vector<int>(header_.order_.end() - 2, header_.order_.end()),
                ::testing::UnorderedElementsAre(COLUMN_HITS, COLUMN_SPEED));

    // An order of another table is ignored.
    const std::vector<int> before = header_.order_;
    table_.ApplyOrder({0, 1, 2});
    std::vector<int> repeated = Identity();
    repeated[1] = 0;
    table_.ApplyOrder(repeated);
    EXPECT_EQ(header_.order_, before);
}

TEST_F(ListCtrlExTest, EmptySectionNameStoresAndRestoresNothing) {
    table_.SetSectionName("");
    EXPECT_FALSE(table_.SaveLayout());
    EXPECT_FALSE(std::filesystem::exists(store_.FilePath()));
    table_.SetSectionName(kNetworkColumnSection);
    ASSERT_TRUE(table_.SaveLayout());
    Run run(options_);
    run.table.SetSectionName("");
    run.header.SetColumnWidth(0, 7);
    EXPECT_FALSE(run.table.RestoreLayout());
    EXPECT_EQ(run.header.ColumnWidth(0), 7);
}

TEST_F(ListCtrlExTest, SaveReportsAHiveThatCannotBeWritten) {
    // A regular file where the hive's folder should be: nothing can be written.
    std::ofstream(folder_.Path() / "blocked") << "file";
    RegistryStore blocked(folder_.Path() / "blocked" / "user.reg", "HKEY_CURRENT_USER");
    CApplicationOptions options(&blocked, "/opt/tarvik/bin/tarvik");
    CListCtrlEx table(header_, options);
    table.InsertColumn(0, "Ssid", 85);
    table.SetSectionName(kNetworkColumnSection);
    EXPECT_FALSE(table.SaveLayout());
    table.SetSectionName("Column\nData");
    EXPECT_FALSE(table.SaveLayout());
}

TEST_F(ListCtrlExTest, DividerActsOnTheNearestVisibleColumnToTheLeft) {
    header_.Drag(4, 0);  // "Mode" first
    table_.SetColumnVisible(COLUMN_SSID, false);
    table_.SetColumnVisible(COLUMN_SPEED, false);
    const int lastVisible = header_.order_[27];
    EXPECT_EQ(table_.DividerColumn(COLUMN_SIGNAL), COLUMN_SIGNAL);
    EXPECT_EQ(table_.DividerColumn(COLUMN_SSID), lastVisible);
    EXPECT_EQ(table_.DividerColumn(COLUMN_SPEED), lastVisible);
    EXPECT_EQ(table_.DividerColumn(30), -1);

    table_.ResizeColumn(COLUMN_SPEED, -20);
    EXPECT_EQ(header_.ColumnWidth(lastVisible), 0);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SPEED), 0);
    table_.ResizeColumn(COLUMN_SIGNAL, 77);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SIGNAL), 77);

    // Double click: widest text + 12, the small icon only for column 0.
    table_.SizeColumnToContent(COLUMN_SSID, 100, 16);
    EXPECT_EQ(header_.ColumnWidth(lastVisible), 112);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SSID), 0);
    table_.SetColumnVisible(COLUMN_SSID, true);
    table_.SizeColumnToContent(COLUMN_SSID, 100, 16);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SSID), 128);
    table_.SizeColumnToContent(COLUMN_SSID, 100);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SSID), 112);

    // With every column hidden no divider can be grabbed.
    for (int column = 0; column < 30; ++column) table_.SetColumnVisible(column, false);
    EXPECT_EQ(table_.DividerColumn(COLUMN_SSID), -1);
    table_.SizeColumnToContent(COLUMN_SSID, 100);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_SSID), 0);
}

TEST_F(ListCtrlExTest, ColumnsDialogTicksShowAndHideAtOnce) {
    CColumnSelection dialog(table_);
    ASSERT_EQ(dialog.RowCount(), 30u);
    EXPECT_EQ(header_.ColumnWidth(COLUMN_KEY_MANAGEMENT), 150);  // initial width
    EXPECT_EQ(dialog.RowText(0), "Ssid");
    EXPECT_EQ(dialog.RowText(29), "Key Management");
    EXPECT_EQ(dialog.RowText(30), "");
    EXPECT_TRUE(dialog.IsTicked(6));

    dialog.SetTicked(6, false);
    EXPECT_FALSE(table_.IsColumnVisible(COLUMN_STATUS));
    EXPECT_FALSE(dialog.IsTicked(6));
    EXPECT_EQ(header_.order_.back(), COLUMN_STATUS);
    dialog.SetTicked(6, true);
    EXPECT_TRUE(table_.IsColumnVisible(COLUMN_STATUS));
    EXPECT_EQ(header_.ColumnWidth(COLUMN_STATUS), 85);
    dialog.SetTicked(30, false);
    EXPECT_FALSE(dialog.IsTicked(30));
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
