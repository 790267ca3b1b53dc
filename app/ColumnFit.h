// The network table's initial column widths for the font it is shown in.
// The widths of the column table are the layout's numbers, meant for a font
// whose 52 letters average 6 pixels (an 8-point dialog font at 96 dots per
// inch); at a larger font or on a denser screen they cut most texts short.
// Each initial width is therefore the layout's number scaled by the font's
// average letter width, and never less than the column's typical text or
// its title needs. The font itself is left as the desktop sets it.
#pragma once

#include <functional>
#include <string_view>

namespace tarvik {

class CListCtrlEx;

// The average letter width the layout's numbers were made for, in pixels.
inline constexpr double kLayoutLetterWidth = 6.0;
// The letters whose average width is the font's scale.
inline constexpr std::string_view kAverageWidthLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// What the fit needs to know about the table's font, in pixels.
struct ColumnFitMetrics {
    // The width of a text in the table's font.
    std::function<int(std::string_view)> textWidth;
    // What a cell adds around its text (margins, grid line).
    int cellPadding = 0;
    // What the header needs to show a column's title uncut (its sort mark
    // included); null: the title's text width plus the cell padding.
    std::function<int(int column)> headerWidth;
};

// A text as wide as the column usually shows, e.g. "Infrastructure" or
// "5.745 Ghz (148)"; "" outside the columns.
std::string_view TypicalColumnText(int column);

// The column's initial width for the font: its layout number scaled by the
// font's average letter width, at least its typical text plus the padding
// and at least its title's need.
int FitInitialWidth(int column, const ColumnFitMetrics& metrics);

// Inserts the network table's 30 columns with their titles and initial
// widths fitted to the font, all visible.
void SetUpNetworkTableColumns(CListCtrlEx& table, const ColumnFitMetrics& metrics);

}  // namespace tarvik
