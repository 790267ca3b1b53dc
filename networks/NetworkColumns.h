// The texts of the network table's columns. Each text operation rebuilds the
// record's cached text for that column and returns it; a few rules keep the
// previous text when none of their cases applies (encryption, type, key
// management). Texts are built in small local buffers without iostreams or
// locale, so the 30 texts of a record cost a few microseconds at most.
//
// A record without a scan entry shows "" in every column that reads the
// entry; its status, hits, score, signal statistics, times and positions
// still show.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "networks/Bssid.h"
#include "networks/ColumnIds.h"

namespace tarvik {

class CApplicationOptions;
class OuiVendorCache;

// Vendor placeholders.
inline constexpr std::string_view kVendorLookupText = "Lookup OUI?";
inline constexpr std::string_view kVendorErrorText = "Error. Try again?";
inline constexpr std::string_view kVendorAdHocText = "Not Known (Ad Hoc)";

// What the texts need besides the record. The settings are read at each use.
struct ColumnContext {
    const CApplicationOptions& options;
    // The network list's scan counter (for the score).
    std::uint32_t scanCounter = 0;
    // The chosen adapter's IP address texts, for the connected status.
    std::span<const std::string> adapterAddresses;
    // Vendors looked up so far.
    const OuiVendorCache& vendors;
};

// Rebuilds the cached text of `column` and returns a view of it, valid until
// the record's text for that column is rebuilt again. An identifier outside
// 0-29 gives "".
std::string_view RefreshColumnText(CBssid& record, int column, const ColumnContext& context);

// The same, returning a copy.
std::string ColumnText(CBssid& record, int column, const ColumnContext& context);

// Named texts that other parts of the program use in messages.
std::string SsidText(CBssid& record);
std::string KeyManagementText(CBssid& record);

// The channel rule: computes the channel from the entry's frequency and type,
// stores it in the record and returns it. A type without a rule, or a record
// without an entry, leaves the stored channel as it was.
std::uint32_t UpdateChannel(CBssid& record);
// The channel the rule gives now, without storing it: what the sort reads,
// so the order never depends on which cells have been painted.
std::uint32_t ChannelOf(const CBssid& record);
// The centre frequency in MHz of a scan entry's DSConfig (normally kHz; small
// values are taken as 100 kHz units).
std::uint32_t MegahertzOf(std::uint32_t dsConfig);

// The signal text of a dBm value: "%d dBm" when UseDbmOrPercentage is 1,
// otherwise "%d%%" of 100 + dbm * 100 / 200 (not clamped).
std::string SignalText(std::int32_t dbm, const CApplicationOptions& options);

// The cipher and key-management set texts of a set of flags.
std::string CipherSetText(std::uint32_t ciphers);
std::string KeyManagementSetText(std::uint32_t keyManagement);

// The asctime form of a record time in local time, without the newline,
// with a two-digit day of month: "Sun Dec 06 19:19:19 2026".
std::string RecordTimeText(std::int32_t time);

// True while the Vendor cell acts as a link: the vendor text, computed anew,
// is "Lookup OUI?" or "Error. Try again?".
bool NeedsOuiLookup(CBssid& record, const ColumnContext& context);
// The same test on a Vendor text already computed.
inline bool IsOuiLookupText(std::string_view vendor) {
    return vendor == kVendorLookupText || vendor == kVendorErrorText;
}

}  // namespace tarvik
