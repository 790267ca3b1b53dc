// A bounded reader of comma-separated rows: fields may be quoted ("a, b"),
// with "" for a quote inside; a quoted field may span lines. A row longer
// than the limit, with more fields than the limit, or with broken quoting
// is reported as bad and skipped to the next line, so one hostile row never
// swallows the rest of the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

enum class CsvRowKind { Row, Bad, End };

class CCsvRows {
  public:
    CCsvRows(std::string_view text, std::size_t maxRowBytes, std::size_t maxFields);

    // The next row's fields in `fields` (Row), a skipped row (Bad), or End.
    CsvRowKind Next(std::vector<std::string>& fields);

  private:
    CsvRowKind SkipLine(std::size_t from);
    bool ReadQuoted(std::size_t& at, std::size_t limit, std::string& field) const;

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t maxRowBytes_;
    std::size_t maxFields_;
};

}  // namespace tarvik
