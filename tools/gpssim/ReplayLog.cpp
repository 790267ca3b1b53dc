#include "tools/gpssim/ReplayLog.h"

namespace tarvik::gpssim {
namespace {

// Field `index` of a comma-separated sentence (0 is the address), or empty.
std::string_view Field(std::string_view line, std::size_t index) {
    const std::size_t star = line.find('*');
    if (star != std::string_view::npos) line = line.substr(0, star);
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) return {};
        line.remove_prefix(comma + 1);
    }
    return line.substr(0, line.find(','));
}

// The three-letter sentence type after the two-letter talker, or empty.
std::string_view SentenceType(std::string_view line) {
    const std::string_view address = Field(line, 0);
    if (address.size() != 6 || address[0] != '$') return {};
    return address.substr(3);
}

}  // namespace

std::string_view SentenceTimeField(std::string_view line) {
    const std::string_view type = SentenceType(line);
    if (type == "RMC" || type == "GGA" || type == "GNS" || type == "ZDA") return Field(line, 1);
    if (type == "GLL") return Field(line, 5);
    return {};
}

bool CEpochSplitter::StartsEpoch(std::string_view line) {
    const std::string_view time = SentenceTimeField(line);
    const std::string_view type = SentenceType(line);
    const bool rmc = type == "RMC", gga = type == "GGA";
    const bool starts = !started_ || (!time.empty() && time != time_) ||
                        (time.empty() && ((rmc && seenRmc_) || (gga && seenGga_)));
    if (starts) seenRmc_ = seenGga_ = false;
    started_ = true;
    if (!time.empty()) time_ = std::string(time);
    seenRmc_ = seenRmc_ || rmc;
    seenGga_ = seenGga_ || gga;
    return starts;
}

std::vector<Epoch> SplitLogIntoEpochs(std::istream& log) {
    std::vector<Epoch> epochs;
    CEpochSplitter splitter;
    std::string line;
    while (std::getline(log, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (splitter.StartsEpoch(line)) epochs.emplace_back();
        epochs.back().push_back(line + "\r\n");
    }
    return epochs;
}

}  // namespace tarvik::gpssim
