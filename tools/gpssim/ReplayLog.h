// A receiver log cut into the epochs it was sent in: '#' header lines and
// blank lines left out, every line ended with CR LF, and a new epoch begun
// whenever a sentence's UTC time field (RMC, GGA, GNS, ZDA, GLL) changes -
// or, in a log without times, when an RMC or GGA comes round again.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::gpssim {

using Epoch = std::vector<std::string>;

// Tells, line by line, where a receiver's epochs begin.
class CEpochSplitter {
  public:
    // True when `line` (a sentence, without its line end) begins a new
    // epoch; the first line always does.
    bool StartsEpoch(std::string_view line);

  private:
    bool started_ = false;
    std::string time_;
    bool seenRmc_ = false;
    bool seenGga_ = false;
};

std::vector<Epoch> SplitLogIntoEpochs(std::istream& log);

// The UTC time field of a sentence that carries one, else empty.
std::string_view SentenceTimeField(std::string_view line);

}  // namespace tarvik::gpssim
