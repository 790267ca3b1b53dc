#include "networks/OuiTable.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "core/EventLog.h"
#include "networks/CsvRows.h"
#include "networks/PrintableText.h"

namespace tarvik {
namespace {

constexpr int kNameBits = 26;
constexpr int kPrefixBits = 36;
constexpr std::uint64_t kNameMask = (std::uint64_t{1} << kNameBits) - 1;
constexpr std::uint64_t kPrefixMask = (std::uint64_t{1} << kPrefixBits) - 1;

// One kind of assignment: its registry names, hex digits and length code
// (a longer prefix gets a higher code).
struct Registry {
    std::string_view name;
    std::size_t digits;
    std::uint64_t code;
};
constexpr std::array<Registry, 4> kRegistries{{
    {"MA-L", 6, 0},
    {"MA-M", 7, 1},
    {"MA-S", 9, 2},
    {"IAB", 9, 2},
}};
// The bits of a 36-bit prefix each code leaves unused.
constexpr std::array<int, 3> kUnusedBits{12, 8, 0};

std::uint64_t Pack(std::uint64_t code, std::uint64_t prefix, std::uint64_t name) {
    return (code << (kPrefixBits + kNameBits)) | (prefix << kNameBits) | name;
}

std::optional<std::uint64_t> ParseHex(std::string_view digits) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

constexpr std::string_view kHeaderStart = "Registry,";
constexpr std::array<const char*, 4> kFileNames{"oui.csv", "mam.csv", "oui36.csv", "iab.csv"};

}  // namespace

std::uint32_t COuiTable::InternName(std::string_view name) {
    const auto [found, added] =
        nameIndex_.try_emplace(std::string(name), static_cast<std::uint32_t>(names_.size()));
    if (added) {
        names_.append(name);
        names_.push_back('\0');
    }
    return found->second;
}

bool COuiTable::AddRow(std::string_view registry, std::string_view assignment,
                       std::string_view name) {
    const auto kind = std::find_if(kRegistries.begin(), kRegistries.end(),
                                   [&](const Registry& r) { return r.name == registry; });
    if (kind == kRegistries.end() || assignment.size() != kind->digits) return false;
    const std::optional<std::uint64_t> value = ParseHex(assignment);
    const std::string shown = MakePrintableText(name, kMaxNameBytes);
    // The pool's offsets have 26 bits.
    if (!value || shown.empty() || names_.size() + shown.size() + 1 > kNameMask) return false;
    const std::uint64_t prefix = *value << kUnusedBits[kind->code];
    entries_.push_back(Pack(kind->code, prefix, InternName(shown)));
    return true;
}

OuiFileReport COuiTable::AddCsv(std::string_view text) {
    OuiFileReport report;
    if (text.size() > kMaxFileBytes) {
        report.error = "larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return report;
    }
    if (text.substr(0, kHeaderStart.size()) != kHeaderStart) {
        report.error = "no \"Registry,Assignment,...\" header line";
        return report;
    }
    CCsvRows rows(text, kMaxRowBytes, 8);
    std::vector<std::string> fields;
    rows.Next(fields);  // the header
    for (CsvRowKind kind; (kind = rows.Next(fields)) != CsvRowKind::End;) {
        if (kind == CsvRowKind::Row && fields.size() == 1 && fields[0].empty()) continue;
        if (kind == CsvRowKind::Row && fields.size() >= 3 &&
            AddRow(fields[0], fields[1], fields[2])) {
            ++report.added;
        } else {
            ++report.dropped;
        }
    }
    return report;
}

OuiFileReport COuiTable::AddFile(const std::filesystem::path& file) {
    OuiFileReport report;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        report.error = error.message();
        return report;
    }
    if (size > kMaxFileBytes) {
        report.error = "larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return report;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (!in && !in.eof()) {
        report.error = "could not be read";
        return report;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return AddCsv(text);
}

void COuiTable::Finish() {
    // Equal prefixes sort by name offset, and earlier names have lower offsets
    // only when they were new; keep the first entry added instead.
    std::stable_sort(entries_.begin(), entries_.end(), [](std::uint64_t a, std::uint64_t b) {
        return (a >> kNameBits) < (b >> kNameBits);
    });
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](std::uint64_t a, std::uint64_t b) {
                                   return (a >> kNameBits) == (b >> kNameBits);
                               }),
                   entries_.end());
    entries_.shrink_to_fit();
    names_.shrink_to_fit();
    nameIndex_ = {};
}

std::optional<std::string_view> COuiTable::Find(const ndis::MacAddress& mac) const {
    std::uint64_t address = 0;
    for (const std::uint8_t byte : mac) address = (address << 8) | byte;
    const std::uint64_t top36 = (address >> 12) & kPrefixMask;
    for (std::uint64_t code = 3; code-- > 0;) {
        const int unused = kUnusedBits[code];
        const std::uint64_t prefix = (top36 >> unused) << unused;
        const std::uint64_t key = Pack(code, prefix, 0);
        const auto found = std::lower_bound(entries_.begin(), entries_.end(), key);
        if (found != entries_.end() && (*found >> kNameBits) == (key >> kNameBits)) {
            return std::string_view(names_.c_str() + (*found & kNameMask));
        }
    }
    return std::nullopt;
}

std::size_t COuiTable::MemoryBytes() const {
    return entries_.capacity() * sizeof(std::uint64_t) + names_.capacity();
}

std::shared_ptr<const COuiTable> COuiTable::LoadFolder(const std::filesystem::path& folder) {
    auto table = std::make_shared<COuiTable>();
    for (const char* name : kFileNames) {
        const std::filesystem::path file = folder / name;
        std::error_code error;
        if (!std::filesystem::exists(file, error)) continue;
        const OuiFileReport report = table->AddFile(file);
        if (!report.error.empty()) {
            LogWarn("Vendor table: %s left out: %s", file.c_str(), report.error.c_str());
        } else if (report.dropped > 0) {
            LogWarn("Vendor table: %s: %zu assignments, %zu malformed rows left out", file.c_str(),
                    report.added, report.dropped);
        }
    }
    table->Finish();
    LogInfo("Vendor table: %zu assignments from %s", table->Size(), folder.c_str());
    return table;
}

}  // namespace tarvik
