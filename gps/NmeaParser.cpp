#include "gps/NmeaParser.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#include "core/EventLog.h"
#include "gps/NmeaHandlers.h"

namespace tarvik {
namespace {

using SentenceHandler = bool (*)(const NmeaSentence&, GpsFix&);

struct SentenceType {
    const char* name;
    SentenceHandler handler;  // nullptr: recognised and ignored
};

// Searched in this order. Three-letter names follow any two-letter talker;
// longer ones are whole proprietary addresses.
constexpr SentenceType kSentenceTypes[] = {
    {"RMC", DecodeRmc},     {"GGA", DecodeGga}, {"GLL", DecodeGll}, {"GSA", DecodeGsa},
    {"GSV", DecodeGsv},     {"VTG", nullptr},   {"ZDA", DecodeZda}, {"PGRMC", nullptr},
    {"PGRME", DecodePgrme}, {"PGRMI", nullptr}, {"PGRMO", nullptr},
};

bool AddressMatches(std::string_view address, std::string_view name) {
    if (name.size() == 3) return address.size() == 5 && address.substr(2) == name;
    return address == name;
}

const SentenceType* FindSentenceType(std::string_view address) {
    for (const SentenceType& type : kSentenceTypes) {
        if (AddressMatches(address, type.name)) return &type;
    }
    return nullptr;
}

// The start of a refused line, made printable for the log.
std::string Excerpt(std::string_view line) {
    constexpr std::size_t kExcerptLength = 40;
    std::string text(line.substr(0, kExcerptLength));
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c < 32 || c > 126; }, '?');
    return line.size() > kExcerptLength ? text + "..." : text;
}

void RecordSentence(const SentenceType& type, std::size_t textLength, GpsFix& fix) {
    fix.lastSentenceName = {};
    std::strncpy(fix.lastSentenceName.data(), type.name, fix.lastSentenceName.size());
    fix.lastSentenceLength = static_cast<std::int32_t>(textLength);
}

}  // namespace

const char* NmeaDropReasonName(NmeaDropReason reason) {
    switch (reason) {
        case DROP_NONE:
            return "not dropped";
        case DROP_NOT_A_SENTENCE:
            return "not a sentence";
        case DROP_TOO_LONG:
            return "too long";
        case DROP_BAD_CHARACTER:
            return "bad character";
        case DROP_BAD_CHECKSUM:
            return "bad checksum";
        case DROP_BAD_FIELD:
            return "bad field";
        case DROP_REASON_COUNT:
            break;
    }
    return "unknown";
}

NmeaOutcome CNmeaParser::ParseSentence(std::string_view line, GpsFix& fix) {
    const NmeaDropReason framing = SplitNmeaSentence(line, sentence_);
    if (framing != DROP_NONE) return Drop(framing, line);
    const SentenceType* type = FindSentenceType(sentence_.fields.front());
    if (type == nullptr || type->handler == nullptr) return NMEA_IGNORED;
    // Decoded into a copy, so a refused sentence cannot leave half its fields behind.
    GpsFix updated = fix;
    if (!type->handler(sentence_, updated)) return Drop(DROP_BAD_FIELD, line);
    RecordSentence(*type, sentence_.textLength, updated);
    fix = updated;
    ++decoded_;
    return NMEA_DECODED;
}

std::uint64_t CNmeaParser::DropCount(NmeaDropReason reason) const {
    return reason > DROP_NONE && reason < DROP_REASON_COUNT ? drops_[reason] : 0;
}

std::uint64_t CNmeaParser::TotalDropCount() const {
    return std::accumulate(drops_.begin(), drops_.end(), std::uint64_t{0});
}

NmeaOutcome CNmeaParser::Drop(NmeaDropReason reason, std::string_view line) {
    const std::uint64_t count = ++drops_[reason];
    lastDrop_ = reason;
    if (count <= kNmeaDropsLoggedInFull || count % kNmeaDropLogInterval == 0) {
        LogWarn("Dropped an NMEA sentence (%s, %llu so far): %s", NmeaDropReasonName(reason),
                static_cast<unsigned long long>(count), Excerpt(line).c_str());
    }
    return NMEA_DROPPED;
}

}  // namespace tarvik
