// The columns of the network table: identifiers, titles and initial widths.
// The identifier is the column's index in the list control and the key of
// the sort; the table is created in this order, which is also the initial
// display order. Every column is left-aligned.
#pragma once

#include <array>
#include <string_view>

namespace tarvik {

enum NetworkColumn : int {
    COLUMN_SSID = 0,
    COLUMN_SPEED = 1,
    COLUMN_MAC_ADDRESS = 2,
    COLUMN_SIGNAL = 3,
    COLUMN_MODE = 4,
    COLUMN_ENCRYPTION = 5,
    COLUMN_STATUS = 6,
    COLUMN_HITS = 7,
    COLUMN_SCORE = 8,
    COLUMN_FREQUENCY = 9,
    COLUMN_PHY = 10,
    COLUMN_BEACON = 11,
    COLUMN_BEST_RSSI = 12,
    COLUMN_LOWEST_RSSI = 13,
    COLUMN_AVERAGE_RSSI = 14,
    COLUMN_FIRST_SEEN = 15,
    COLUMN_LAST_SEEN = 16,
    COLUMN_ATIM_WINDOW = 17,
    COLUMN_HOP_PATTERN = 18,
    COLUMN_HOP_SET = 19,
    COLUMN_DWELL_TIME = 20,
    COLUMN_OUI = 21,
    COLUMN_VENDOR = 22,
    COLUMN_CHANNEL = 23,
    COLUMN_TYPE = 24,
    COLUMN_LATITUDE = 25,
    COLUMN_LONGITUDE = 26,
    COLUMN_PAIRWISE_CIPHERS = 27,
    COLUMN_GROUP_CIPHERS = 28,
    COLUMN_KEY_MANAGEMENT = 29,
};

inline constexpr int kNetworkColumnCount = 30;

struct NetworkColumnInfo {
    NetworkColumn id;
    std::string_view title;
    int width;  // initial width: pixels at the layout's font (app/ColumnFit.h scales it)
};

inline constexpr std::array<NetworkColumnInfo, kNetworkColumnCount> kNetworkColumns = {{
    {COLUMN_SSID, "Ssid", 85},
    {COLUMN_SPEED, "Speed", 55},
    {COLUMN_MAC_ADDRESS, "MAC Address", 110},
    {COLUMN_SIGNAL, "Signal", 55},
    {COLUMN_MODE, "Mode", 80},
    {COLUMN_ENCRYPTION, "Encryption", 70},
    {COLUMN_STATUS, "Status", 85},
    {COLUMN_HITS, "Hits", 40},
    {COLUMN_SCORE, "Score", 45},
    {COLUMN_FREQUENCY, "Frequency", 85},
    {COLUMN_PHY, "PHY", 45},
    {COLUMN_BEACON, "Beacon", 50},
    {COLUMN_BEST_RSSI, "Best Rssi", 80},
    {COLUMN_LOWEST_RSSI, "Lowest Rssi", 80},
    {COLUMN_AVERAGE_RSSI, "Average Rssi", 80},
    {COLUMN_FIRST_SEEN, "First Seen", 140},
    {COLUMN_LAST_SEEN, "Last Seen", 140},
    {COLUMN_ATIM_WINDOW, "Atim Window", 80},
    {COLUMN_HOP_PATTERN, "Hop Pattern", 80},
    {COLUMN_HOP_SET, "Hop Set", 60},
    {COLUMN_DWELL_TIME, "Dwell Time", 80},
    {COLUMN_OUI, "OUI", 50},
    {COLUMN_VENDOR, "Vendor", 120},
    {COLUMN_CHANNEL, "Channel", 30},
    {COLUMN_TYPE, "Type", 70},
    {COLUMN_LATITUDE, "Latitude", 90},
    {COLUMN_LONGITUDE, "Longitude", 90},
    {COLUMN_PAIRWISE_CIPHERS, "Pairwise Ciphers", 100},
    {COLUMN_GROUP_CIPHERS, "Group Ciphers", 100},
    {COLUMN_KEY_MANAGEMENT, "Key Management", 150},
}};

// The table is indexed by identifier.
static_assert([] {
    for (int i = 0; i < kNetworkColumnCount; ++i) {
        if (kNetworkColumns[i].id != i) return false;
    }
    return true;
}());

constexpr bool IsNetworkColumn(int column) {
    return column >= 0 && column < kNetworkColumnCount;
}

}  // namespace tarvik
