// A bounds-checked reader of CSV records (RFC 4180: fields split at commas,
// quoted fields may hold commas, doubled quotes and line breaks; LF or CRLF
// ends a record) that knows the line each record starts on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// Limits that keep a hostile file from growing one record without end.
inline constexpr std::size_t kCsvMaxFields = 64;
inline constexpr std::size_t kCsvMaxFieldBytes = 4096;

struct CsvRecord {
    std::size_t line = 0;  // counting from 1
    std::vector<std::string> fields;
    // Empty for a good record; otherwise what is wrong (the reader has then
    // skipped to the next line).
    std::string error;
};

class CCsvReader {
  public:
    // `firstLine`: the number of the line `text` starts with.
    explicit CCsvReader(std::string_view text, std::size_t firstLine = 1)
        : text_(text), line_(firstLine) {}

    // The next record; false at the end of the text. Empty lines are passed over.
    bool Next(CsvRecord& record);
    // Bytes consumed so far.
    std::size_t Offset() const { return at_; }

  private:
    bool ReadField(CsvRecord& record);
    bool ReadQuoted(std::string& field, std::string& error);
    void SkipLine();
    bool AtLineEnd() const;
    void ConsumeLineEnd();

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_;
};

}  // namespace tarvik
