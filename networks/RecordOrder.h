// The sort order of the network table: the sort state with its header-click
// rule, and the comparison of two records by the sort column.
#pragma once

#include <cstdint>
#include <span>

#include "networks/Bssid.h"
#include "networks/ColumnIds.h"
#include "networks/NetworkColumns.h"

namespace tarvik {

// One per network table; lives for the process and is not stored.
struct NetworkSortState {
    int column = COLUMN_STATUS;
    bool ascending = true;
};

enum class HeaderMouseButton { Left, Right, Middle };

// A click on the header of `column`. Only the left button counts: the same
// column flips the direction, another column becomes the sort column,
// ascending. True when the state changed and the table must be sorted.
bool ApplyHeaderClick(NetworkSortState& state, int column, HeaderMouseButton button);

// Compares the four bytes of two 32-bit values in memory order (least
// significant first) as unsigned bytes: -1 or 1 at the first difference, 0
// when equal. Agrees with numeric order only while both values lie in 0-255
// or both in -256 to -1.
int CompareByteWise(std::uint32_t a, std::uint32_t b);
int CompareByteWise(std::int32_t a, std::int32_t b);

// Negative, 0 or positive (always -1, 0 or 1): the sort callback. Text
// columns rebuild both records' texts, so sorting refreshes those caches;
// the comparison itself allocates nothing once the caches have grown to
// their texts. With `ascending` most columns sort smallest first, but Signal
// puts the strongest network first. Equal records have no further key.
int CompareRecords(CBssid& a, CBssid& b, const NetworkSortState& state,
                   const ColumnContext& context);

// Sorts the table's records (stable, so equal rows keep their order) into
// the order CompareRecords gives. Each record's sort key (for text columns
// its rebuilt text) is taken once before sorting rather than at every
// comparison: the order is the same, it costs n rebuilds instead of n log n,
// and the order stays consistent even if a lookup's worker thread changes a
// vendor text while the sort runs.
void SortRecords(std::span<CBssid*> records, const NetworkSortState& state,
                 const ColumnContext& context);

}  // namespace tarvik
