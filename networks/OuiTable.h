// The offline vendor table: the IEEE's public assignments (Debian's
// ieee-data CSV files) as one sorted array of packed entries and a pool of
// distinct names. MA-L assignments cover 24 bits of a MAC address, MA-M 28
// and MA-S/IAB 36; a look-up takes the longest assignment that matches.
//
// Built on one thread, then shared read-only (the table never changes once
// Finish() has run).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ndis/NdisTypes.h"

namespace tarvik {

// What one file contributed.
struct OuiFileReport {
    std::size_t added = 0;
    // Rows that were not an assignment (bad registry, digits, length or
    // quoting): left out.
    std::size_t dropped = 0;
    // Non-empty when the file as a whole was refused (unreadable, too big).
    std::string error;
};

class COuiTable {
  public:
    // A file larger than this is refused (the largest is about 3 MB).
    static constexpr std::size_t kMaxFileBytes = 32u << 20;
    // A row longer than this is dropped (real rows are below 300 bytes).
    static constexpr std::size_t kMaxRowBytes = 4096;
    // Names are cut to this many bytes.
    static constexpr std::size_t kMaxNameBytes = 120;

    // Adds the assignments of one CSV text with the header line
    // "Registry,Assignment,Organization Name,Organization Address".
    OuiFileReport AddCsv(std::string_view text);
    OuiFileReport AddFile(const std::filesystem::path& file);
    // Sorts the entries; must run before Find. A duplicate assignment keeps
    // the first name added.
    void Finish();

    // The organisation of the longest assignment covering `mac`.
    std::optional<std::string_view> Find(const ndis::MacAddress& mac) const;

    std::size_t Size() const { return entries_.size(); }
    // Bytes the table holds (entries and name pool), for the benchmark.
    std::size_t MemoryBytes() const;

    // Reads oui.csv, mam.csv, oui36.csv and iab.csv of `folder` (those that
    // exist), logging what each gave and what was dropped.
    static std::shared_ptr<const COuiTable> LoadFolder(const std::filesystem::path& folder);

  private:
    bool AddRow(std::string_view registry, std::string_view assignment, std::string_view name);
    std::uint32_t InternName(std::string_view name);

    // Per entry: prefix length code (2 bits), the 36-bit prefix and the
    // offset of the name in the pool (26 bits), so the sort by value sorts
    // by prefix length, then prefix.
    std::vector<std::uint64_t> entries_;
    // NUL-terminated names.
    std::string names_;
    // Name offsets while building (distinct names only); emptied by Finish.
    std::unordered_map<std::string, std::uint32_t> nameIndex_;
};

}  // namespace tarvik
