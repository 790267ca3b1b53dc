// A report-style table's column layout: columns can be hidden and shown
// again, hidden columns stay out of the way (zero width, last in the display
// order, dividers that cannot be grabbed), a divider double click sizes a
// column to its content, and the layout (order, widths, visibility) is stored
// in and restored from a section of the application's registry area.
//
// Toolkit-free: the table's header is reached through IListHeader. Used on
// the GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "app/ListHeader.h"

namespace tarvik {

class CApplicationOptions;

// Stored layouts: "ColumnData" for the network table, "NetColumnData" for
// the profile list.
inline constexpr const char* kNetworkColumnSection = "ColumnData";
inline constexpr const char* kProfileColumnSection = "NetColumnData";

// Widths beyond this are taken as damaged data and clamped when restored.
inline constexpr int kMaxColumnWidth = 10000;
// What a divider double click adds to the widest text of the column.
inline constexpr int kContentPadding = 12;

class CListCtrlEx {
  public:
    // The layout goes to the hive and application area that `options` uses.
    // Both must outlive the control.
    CListCtrlEx(IListHeader& header, const CApplicationOptions& options);

    // Records a column the header has gained at `index` (clamped to the
    // current count): its title and initial width, visible. Sets the header's
    // width of the column when the header has it.
    void InsertColumn(int index, std::string title, int width);
    // Forgets the column at `index`; out of range does nothing.
    void DeleteColumn(int index);
    int ColumnCount() const;
    // "" for an index out of range.
    const std::string& ColumnTitle(int index) const;
    // 0 for an index out of range.
    int InitialWidth(int index) const;

    // The section under the application's area; empty: the layout is
    // neither stored nor restored.
    void SetSectionName(std::string name);
    const std::string& SectionName() const { return sectionName_; }
    // Writes "Column Count", "Column Order", "Column Width" and "Column
    // Visible" in one atomic write. False for an empty section name or when
    // the hive could not be written.
    bool SaveLayout();
    // SaveLayout, but only when this run restored the layout (or tried to:
    // a first launch has nothing to restore) or the user changed it. A run
    // that ended before the restore, without a driver, leaves the stored
    // layout alone instead of replacing it with the initial one.
    bool SaveChangedLayout();
    // The user changed the layout in the header itself (a divider drag).
    void NoteUserChange() { layoutOwned_ = true; }
    // Applies a stored layout step by step (count, order, widths,
    // visibility). A step whose value is missing, of the wrong size or not a
    // valid order stops with false and keeps what the earlier steps applied;
    // nothing is logged.
    bool RestoreLayout();

    // Hides (width 0, moved last) or shows (initial width, moved to position
    // min(index, visible columns - 1)) one column. Out of range does nothing.
    void SetColumnVisible(int index, bool visible);
    // False for an index out of range.
    bool IsColumnVisible(int index) const;
    // Sets the header's order from `order` with visible columns in their
    // relative order from the left and hidden ones from the right end (the
    // first hidden one met ends up last), then repaints. An order that is not
    // a permutation of the columns is ignored.
    void ApplyOrder(std::vector<int> order);
    // The view calls it, posted, after the user dropped a dragged header:
    // the header's new order is applied again so hidden columns go back last.
    void OnHeaderDropped();

    // The column that a press or double click on the divider after `column`
    // acts on: the column itself when visible, else the nearest visible column
    // to its left in the display order; -1 when there is none.
    int DividerColumn(int column) const;
    // A divider drag: sets the width of DividerColumn(column), never below 0.
    void ResizeColumn(int column, int width);
    // A divider double click: DividerColumn(column) gets the widest text of
    // its rows plus 12, plus `smallIconWidth` when it is column 0 (pass 0
    // when the table has no small image list).
    void SizeColumnToContent(int column, int widestTextPixels, int smallIconWidth = 0);

  private:
    struct ColumnInfo {
        std::string title;
        int initialWidth = 0;
        bool visible = true;
    };

    bool IsColumn(int index) const;
    bool IsPermutation(const std::vector<int>& order) const;
    // The header's order when it is a permutation of the columns, else the
    // index order.
    std::vector<int> CurrentOrder() const;
    int VisibleCount() const;
    std::string SectionKey() const;
    bool RestoreOrder(const std::string& key);
    bool RestoreWidths(const std::string& key);
    bool RestoreVisibility(const std::string& key);

    IListHeader& header_;
    const CApplicationOptions& options_;
    std::vector<ColumnInfo> columns_;
    std::string sectionName_;
    // Restored, or changed by the user, in this run.
    bool layoutOwned_ = false;
};

// Inserts the network table's 30 columns with their titles and initial
// widths, all visible.
void SetUpNetworkTableColumns(CListCtrlEx& table);

}  // namespace tarvik
