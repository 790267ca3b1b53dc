#include "networks/CsvRows.h"

namespace tarvik {

CCsvRows::CCsvRows(std::string_view text, std::size_t maxRowBytes, std::size_t maxFields)
    : text_(text), maxRowBytes_(maxRowBytes), maxFields_(maxFields) {}

CsvRowKind CCsvRows::SkipLine(std::size_t from) {
    const std::size_t end = text_.find('\n', from);
    at_ = end == std::string_view::npos ? text_.size() : end + 1;
    return CsvRowKind::Bad;
}

// `at` is just past the opening quote; on success just past the closing one.
// Gives up at `limit`.
bool CCsvRows::ReadQuoted(std::size_t& at, std::size_t limit, std::string& field) const {
    const std::size_t end = limit < text_.size() ? limit : text_.size();
    while (at < end) {
        const char c = text_[at++];
        if (c != '"') {
            field.push_back(c);
        } else if (at < end && text_[at] == '"') {
            field.push_back('"');
            ++at;
        } else {
            return true;
        }
    }
    return false;
}

CsvRowKind CCsvRows::Next(std::vector<std::string>& fields) {
    fields.clear();
    if (at_ >= text_.size()) return CsvRowKind::End;
    const std::size_t start = at_;
    std::size_t at = at_;
    fields.emplace_back();
    while (true) {
        if (at - start > maxRowBytes_) return SkipLine(start);
        if (at >= text_.size() || text_[at] == '\n') break;
        const char c = text_[at++];
        if (c == ',') {
            if (fields.size() >= maxFields_) return SkipLine(start);
            fields.emplace_back();
        } else if (c == '"' && fields.back().empty()) {
            if (!ReadQuoted(at, start + maxRowBytes_ + 1, fields.back())) return SkipLine(start);
            // Only a separator or the line's end may follow a closing quote.
            if (at < text_.size() && text_[at] != ',' && text_[at] != '\n' && text_[at] != '\r') {
                return SkipLine(start);
            }
        } else if (c != '\r' || (at < text_.size() && text_[at] != '\n')) {
            fields.back().push_back(c);
        }
    }
    if (at - start > maxRowBytes_) return SkipLine(start);
    at_ = at < text_.size() ? at + 1 : at;
    return CsvRowKind::Row;
}

}  // namespace tarvik
