#include "app/ColumnFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "app/ListCtrlEx.h"
#include "networks/ColumnIds.h"

namespace tarvik {
namespace {

// By column identifier: common texts at the wide end of what each column
// shows (a default access-point name, a 5 GHz channel, a full date).
constexpr std::array<std::string_view, kNetworkColumnCount> kTypicalTexts = {{
    "Apple Network 9d6816",      // Ssid
    "54 Mbps",                   // Speed
    "00:40:96:55:03:08",         // MAC Address (digits are the widest)
    "-100 dBm",                  // Signal
    "Infrastructure",            // Mode
    "WPA2",                      // Encryption
    "Not Connected",             // Status
    "99999",                     // Hits
    "100%",                      // Score
    "5.745 Ghz (148)",           // Frequency
    "OFDM5",                     // PHY
    "100 ms",                    // Beacon
    "-100 dBm",                  // Best Rssi
    "-100 dBm",                  // Lowest Rssi
    "-100 dBm",                  // Average Rssi
    "Wed Sep 30 23:59:59 2026",  // First Seen
    "Wed Sep 30 23:59:59 2026",  // Last Seen
    "1000 ms",                   // Atim Window
    "255",                       // Hop Pattern
    "255",                       // Hop Set
    "1000 ms",                   // Dwell Time
    "00d0bd",                    // OUI
    "Not Known (Ad Hoc)",        // Vendor
    "165",                       // Channel
    "802.11g",                   // Type
    "122 25' 09.123\" W",        // Latitude
    "122 25' 09.123\" W",        // Longitude
    "TKIP, CCMP",                // Pairwise Ciphers
    "WEP-104",                   // Group Ciphers
    "IEEE 802.1X/EAP, PSK",      // Key Management
}};

bool IsColumn(int column) {
    return column >= 0 && column < kNetworkColumnCount;
}

}  // namespace

std::string_view TypicalColumnText(int column) {
    return IsColumn(column) ? kTypicalTexts[static_cast<std::size_t>(column)] : "";
}

int FitInitialWidth(int column, const ColumnFitMetrics& metrics) {
    if (!IsColumn(column) || !metrics.textWidth) return 0;
    const NetworkColumnInfo& info = kNetworkColumns[static_cast<std::size_t>(column)];
    const double letterWidth =
        metrics.textWidth(kAverageWidthLetters) / static_cast<double>(kAverageWidthLetters.size());
    const int scaled = static_cast<int>(std::lround(info.width * letterWidth / kLayoutLetterWidth));
    const int text = metrics.textWidth(TypicalColumnText(column)) + metrics.cellPadding;
    const int title = metrics.headerWidth ? metrics.headerWidth(column)
                                          : metrics.textWidth(info.title) + metrics.cellPadding;
    return std::max({scaled, text, title});
}

void SetUpNetworkTableColumns(CListCtrlEx& table, const ColumnFitMetrics& metrics) {
    for (const NetworkColumnInfo& column : kNetworkColumns) {
        table.InsertColumn(column.id, std::string(column.title),
                           FitInitialWidth(column.id, metrics));
    }
}

}  // namespace tarvik
