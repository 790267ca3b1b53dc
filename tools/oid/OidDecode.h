// Texts for tarvik-oid: OID replies in words, bytes as hex, Win32 errors by name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvik::oidtool {

// One line of lower-case hex, no separators.
std::string HexLine(std::span<const std::uint8_t> bytes);
// "0a0b0c", "0a:0b:0c" or "0a 0b 0c"; "" and "-" are no bytes. Nothing when malformed.
std::optional<std::vector<std::uint8_t>> ParseHex(const std::string& text);

// The reply to `oid` in words; unknown OIDs as a number (4 bytes) or hex.
std::string DecodeReply(std::uint32_t oid, std::span<const std::uint8_t> data);
// An NDIS_802_11_BSSID_LIST_EX as a table, one network per line, then any
// problems the list had.
std::string DecodeBssidList(std::span<const std::uint8_t> data);

// "ERROR_INSUFFICIENT_BUFFER" for 122; "" for numbers without a name here.
const char* Win32ErrorName(std::uint32_t error);

}  // namespace tarvik::oidtool
