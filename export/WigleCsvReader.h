// WiGLE CSV import (versions 1.4 and 1.6, as phone apps write them): the
// Wi-Fi rows become network records with what the format carries (SSID,
// security, channel, signal, first and last sighting, positions at the
// weakest and strongest signal); rows for other radios are passed over, and
// a malformed row is reported by its line number and skipped.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "networks/ScanFile.h"

namespace tarvik {

inline constexpr std::string_view kWiglePreHeader = "WigleWifi-";
// Channel numbers beyond this are no channel.
inline constexpr std::uint32_t kWigleMaxChannel = 255;
// Larger files are refused rather than read into memory.
inline constexpr std::size_t kWigleMaxFileBytes = std::size_t{1} << 30;

struct WigleCsvContents {
    // Read (even when rows were skipped), CannotOpen, NotScanFile (no
    // WiGLE pre-header or column header), Cancelled. The records are new
    // (lastSeenScan 0, scan counter 0), in the order of their first row.
    ScanFileContents contents;
    std::string version;               // "1.6", "1.4", ...
    std::size_t wifiRows = 0;          // rows taken
    std::size_t otherRows = 0;         // rows of other radios (Bluetooth, cells)
    std::vector<std::string> skipped;  // "line 7: <why>" per malformed row
};

// True when the file starts with the WiGLE pre-header.
bool IsWigleCsvFile(const std::filesystem::path& path);

WigleCsvContents ReadWigleCsv(const std::filesystem::path& path,
                              const ScanFileProgress& progress = {});
// The same on text already read; `name` names it in messages.
WigleCsvContents ParseWigleCsv(std::string_view text, const std::string& name,
                               const ScanFileProgress& progress = {});

// Frequency in MHz of a channel number, the way WiGLE 1.4 files leave it to
// the reader: 1-13 and 14 at 2.4 GHz, higher numbers at 5 GHz; 0 unknown.
std::uint32_t ChannelFrequencyMhz(std::uint32_t channel);

}  // namespace tarvik
