#include "networks/RecordOrder.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvik {
namespace {

enum class Comparison { TextNoCase, Text, Signal, Hits, Score, Time, ByteWise, Oui, None };

Comparison ComparisonOf(int column) {
    switch (column) {
        case COLUMN_SSID:
        case COLUMN_SPEED:
        case COLUMN_MAC_ADDRESS:
        case COLUMN_MODE:
        case COLUMN_ENCRYPTION:
        case COLUMN_STATUS:
        case COLUMN_FREQUENCY:
        case COLUMN_PHY:
        case COLUMN_BEACON:
        case COLUMN_VENDOR:
        case COLUMN_TYPE:
            return Comparison::TextNoCase;
        case COLUMN_LATITUDE:
        case COLUMN_LONGITUDE:
        case COLUMN_PAIRWISE_CIPHERS:
        case COLUMN_GROUP_CIPHERS:
        case COLUMN_KEY_MANAGEMENT:
            return Comparison::Text;
        case COLUMN_SIGNAL:
            return Comparison::Signal;
        case COLUMN_HITS:
            return Comparison::Hits;
        case COLUMN_SCORE:
            return Comparison::Score;
        case COLUMN_FIRST_SEEN:
        case COLUMN_LAST_SEEN:
            return Comparison::Time;
        case COLUMN_BEST_RSSI:
        case COLUMN_LOWEST_RSSI:
        case COLUMN_AVERAGE_RSSI:
        case COLUMN_ATIM_WINDOW:
        case COLUMN_HOP_PATTERN:
        case COLUMN_HOP_SET:
        case COLUMN_DWELL_TIME:
        case COLUMN_CHANNEL:
            return Comparison::ByteWise;
        case COLUMN_OUI:
            return Comparison::Oui;
        default:
            return Comparison::None;
    }
}

int Sign(std::int64_t value) {
    return (value > 0) - (value < 0);
}

unsigned char FoldAscii(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// Byte strings, unsigned bytes, ASCII letters folded to lower case.
int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(a[i]);
        const unsigned char y = FoldAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return Sign(static_cast<std::int64_t>(a.size()) - static_cast<std::int64_t>(b.size()));
}

int CompareText(std::string_view a, std::string_view b) {
    return Sign(a.compare(b));
}

// A record without an entry counts as weaker than any signal.
std::int64_t SignalOf(const CBssid& record) {
    const ndis::BssidEntry* entry = record.Entry();
    return entry ? entry->Rssi() : std::numeric_limits<std::int64_t>::min() / 2;
}

// The byte-wise compared field of a column; absent entries read as 0.
std::uint32_t ByteWiseField(const CBssid& record, int column) {
    switch (column) {
        case COLUMN_BEST_RSSI:
            return static_cast<std::uint32_t>(record.RssiMin());
        case COLUMN_LOWEST_RSSI:
            return static_cast<std::uint32_t>(record.RssiMax());
        case COLUMN_AVERAGE_RSSI:
            return static_cast<std::uint32_t>(record.RssiAverage());
        case COLUMN_CHANNEL:
            return ChannelOf(record);
        default:
            break;
    }
    const ndis::BssidEntry* entry = record.Entry();
    if (entry == nullptr) return 0;
    const ndis::Configuration80211 configuration = entry->GetConfiguration();
    switch (column) {
        case COLUMN_ATIM_WINDOW:
            return configuration.atimWindow;
        case COLUMN_HOP_PATTERN:
            return configuration.fh.hopPattern;
        case COLUMN_HOP_SET:
            return configuration.fh.hopSet;
        case COLUMN_DWELL_TIME:
            return configuration.fh.dwellTime;
        default:
            return 0;
    }
}

ndis::MacAddress MacOf(const CBssid& record) {
    const ndis::BssidEntry* entry = record.Entry();
    return entry ? entry->GetMacAddress() : ndis::MacAddress{};
}

int CompareOui(const CBssid& a, const CBssid& b) {
    const ndis::MacAddress x = MacOf(a);
    const ndis::MacAddress y = MacOf(b);
    for (std::size_t i = 0; i < 3; ++i) {
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

std::int32_t TimeOf(const CBssid& record, int column) {
    return column == COLUMN_FIRST_SEEN ? record.FirstSeen() : record.LastSeen();
}

// Differences are taken in 64 bits, so no pair of 32-bit values can wrap
// into the wrong sign.
// With `refresh` the text columns rebuild both texts first; without, they
// compare the cached texts.
int CompareAscending(CBssid& a, CBssid& b, int column, const ColumnContext& context, bool refresh) {
    // Also keeps a view of a text from being invalidated by rebuilding it.
    if (&a == &b) return 0;
    const auto text = [&](CBssid& record) -> std::string_view {
        if (refresh) return RefreshColumnText(record, column, context);
        return std::as_const(record).TextCache().texts[static_cast<std::size_t>(column)];
    };
    switch (ComparisonOf(column)) {
        case Comparison::TextNoCase: {
            const std::string_view x = text(a);
            return CompareNoCase(x, text(b));
        }
        case Comparison::Text: {
            const std::string_view x = text(a);
            return CompareText(x, text(b));
        }
        case Comparison::Signal:
            return Sign(SignalOf(b) - SignalOf(a));
        case Comparison::Hits:
            return Sign(std::int64_t{a.LastSeenScan()} - std::int64_t{b.LastSeenScan()});
        case Comparison::Score:
            return Sign(std::int64_t{a.Score(context.scanCounter)} - b.Score(context.scanCounter));
        case Comparison::Time:
            return Sign(std::int64_t{TimeOf(a, column)} - TimeOf(b, column));
        case Comparison::ByteWise:
            return CompareByteWise(ByteWiseField(a, column), ByteWiseField(b, column));
        case Comparison::Oui:
            return CompareOui(a, b);
        case Comparison::None:
            return 0;
    }
    return 0;
}

// A record's place in the sort, taken once: `number` orders as the column's
// comparison does; for text columns it holds the first eight bytes of the
// text (folded when case is ignored, zero-padded), and equal prefixes fall
// back to comparing the whole text.
struct SortKey {
    std::uint64_t number;
    std::string_view text;
    CBssid* record;
};

// Signed values keep their order with the sign bit flipped.
std::uint64_t Ordered(std::int64_t value) {
    return static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << 63);
}

std::uint64_t TextPrefix(std::string_view text, bool foldCase) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const unsigned char byte =
            i < text.size() ? (foldCase ? FoldAscii(text[i]) : static_cast<unsigned char>(text[i]))
                            : 0;
        prefix = (prefix << 8) | byte;
    }
    return prefix;
}

// The 32-bit value with its least significant byte made the most
// significant, so numeric order is the byte-wise order.
std::uint64_t ByteWiseKey(std::uint32_t value) {
    return ((value & 0xff) << 24) | ((value & 0xff00) << 8) | ((value >> 8) & 0xff00) |
           (value >> 24);
}

std::uint64_t NumberKey(const CBssid& record, int column, const ColumnContext& context) {
    switch (ComparisonOf(column)) {
        case Comparison::Signal:
            return Ordered(-SignalOf(record));
        case Comparison::Hits:
            return record.LastSeenScan();
        case Comparison::Score:
            return Ordered(record.Score(context.scanCounter));
        case Comparison::Time:
            return Ordered(TimeOf(record, column));
        case Comparison::ByteWise:
            return ByteWiseKey(ByteWiseField(record, column));
        case Comparison::Oui: {
            const ndis::MacAddress mac = MacOf(record);
            return (std::uint64_t{mac[0]} << 16) | (std::uint64_t{mac[1]} << 8) | mac[2];
        }
        default:
            return 0;
    }
}

}  // namespace

bool ApplyHeaderClick(NetworkSortState& state, int column, HeaderMouseButton button) {
    if (button != HeaderMouseButton::Left) return false;
    if (column == state.column) {
        state.ascending = !state.ascending;
    } else {
        state.column = column;
        state.ascending = true;
    }
    return true;
}

int CompareByteWise(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t x = (a >> shift) & 0xff;
        const std::uint32_t y = (b >> shift) & 0xff;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

int CompareByteWise(std::int32_t a, std::int32_t b) {
    return CompareByteWise(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b));
}

int CompareRecords(CBssid& a, CBssid& b, const NetworkSortState& state,
                   const ColumnContext& context) {
    const int r = CompareAscending(a, b, state.column, context, true);
    return state.ascending ? r : -r;
}

void SortRecords(std::span<CBssid*> records, const NetworkSortState& state,
                 const ColumnContext& context) {
    const int column = state.column;
    const Comparison comparison = ComparisonOf(column);
    if (comparison == Comparison::None) return;
    const bool byText = comparison == Comparison::TextNoCase || comparison == Comparison::Text;

    // Keys are taken once per record, so the sort itself touches only the
    // key array (and a text only when two prefixes are equal).
    std::vector<SortKey> keys;
    keys.reserve(records.size());
    std::size_t textBytes = 0;
    for (CBssid* record : records) {
        SortKey key{0, {}, record};
        if (byText) {
            key.text = RefreshColumnText(*record, column, context);
            key.number = TextPrefix(key.text, comparison == Comparison::TextNoCase);
            textBytes += key.text.size();
        } else {
            key.number = NumberKey(*record, column, context);
        }
        keys.push_back(key);
    }
    // The texts side by side in one block: comparing two of them then stays
    // in the cache instead of visiting two records scattered in memory.
    std::string texts;
    texts.reserve(textBytes);
    for (SortKey& key : keys) {
        const std::size_t offset = texts.size();
        texts.append(key.text);
        key.text = std::string_view(texts).substr(offset, key.text.size());
    }
    const auto before = [&](const SortKey& x, const SortKey& y) {
        int r = 0;
        if (x.number != y.number) {
            r = x.number < y.number ? -1 : 1;
        } else if (comparison == Comparison::TextNoCase) {
            r = CompareNoCase(x.text, y.text);
        } else if (comparison == Comparison::Text) {
            r = CompareText(x.text, y.text);
        }
        return (state.ascending ? r : -r) < 0;
    };
    // The rows are usually still in last second's order with a few new ones
    // at the end: sort only what follows the ordered prefix and merge it in.
    // Both steps are stable, so the result is that of one stable sort.
    const auto tail = std::is_sorted_until(keys.begin(), keys.end(), before);
    if (tail != keys.end()) {
        std::stable_sort(tail, keys.end(), before);
        std::inplace_merge(keys.begin(), tail, keys.end(), before);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) records[i] = keys[i].record;
}

}  // namespace tarvik
