#include "export/CsvRecords.h"

namespace tarvik {

bool CCsvReader::AtLineEnd() const {
    return at_ >= text_.size() || text_[at_] == '\n' ||
           (text_[at_] == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n');
}

void CCsvReader::ConsumeLineEnd() {
    if (at_ < text_.size() && text_[at_] == '\r') ++at_;
    if (at_ < text_.size() && text_[at_] == '\n') {
        ++at_;
        ++line_;
    }
}

void CCsvReader::SkipLine() {
    while (at_ < text_.size() && text_[at_] != '\n') ++at_;
    ConsumeLineEnd();
}

bool CCsvReader::ReadQuoted(std::string& field, std::string& error) {
    ++at_;  // the opening quote
    while (at_ < text_.size()) {
        const char c = text_[at_++];
        if (c == '"') {
            if (at_ < text_.size() && text_[at_] == '"') {
                ++at_;
                field += '"';
                continue;
            }
            if (at_ < text_.size() && text_[at_] != ',' && !AtLineEnd()) {
                error = "text after a closing quote";
                return false;
            }
            return true;
        }
        if (c == '\n') ++line_;
        if (field.size() >= kCsvMaxFieldBytes) {
            error = "a field longer than " + std::to_string(kCsvMaxFieldBytes) + " bytes";
            return false;
        }
        field += c;
    }
    error = "a quoted field that never ends";
    return false;
}

bool CCsvReader::ReadField(CsvRecord& record) {
    if (record.fields.size() >= kCsvMaxFields) {
        record.error = "more than " + std::to_string(kCsvMaxFields) + " fields";
        return false;
    }
    std::string& field = record.fields.emplace_back();
    if (at_ < text_.size() && text_[at_] == '"') return ReadQuoted(field, record.error);
    while (at_ < text_.size() && text_[at_] != ',' && !AtLineEnd()) {
        if (text_[at_] == '"') {
            record.error = "a quote inside an unquoted field";
            return false;
        }
        if (field.size() >= kCsvMaxFieldBytes) {
            record.error = "a field longer than " + std::to_string(kCsvMaxFieldBytes) + " bytes";
            return false;
        }
        field += text_[at_++];
    }
    return true;
}

bool CCsvReader::Next(CsvRecord& record) {
    while (at_ < text_.size() && AtLineEnd()) ConsumeLineEnd();
    if (at_ >= text_.size()) return false;
    record = CsvRecord{};
    record.line = line_;
    while (true) {
        if (!ReadField(record)) {
            SkipLine();
            return true;
        }
        if (at_ < text_.size() && text_[at_] == ',') {
            ++at_;
            continue;
        }
        ConsumeLineEnd();
        return true;
    }
}

}  // namespace tarvik
