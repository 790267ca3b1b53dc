// Turns a stream of NMEA lines into one printed fix per receiver epoch: the
// fix as it stood when a well-formed sentence begins the next epoch (another
// time field), and once more at the end. Text or JSON lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "gps/NmeaParser.h"
#include "tools/gpssim/ReplayLog.h"

namespace tarvik::cli {

class CFixPrinter {
  public:
    CFixPrinter(std::FILE* out, bool json) : out_(out), json_(json) {}

    // One line, with or without its line end; blank lines are skipped.
    void Feed(std::string_view line);
    // Prints the last epoch if it has not been printed.
    void Finish();
    // "N fixes, M sentences dropped (reason n, ...)".
    std::string Summary() const;

  private:
    void Print(const GpsFix& fix);

    std::FILE* out_;
    bool json_;
    CNmeaParser parser_;
    gpssim::CEpochSplitter epochs_;
    GpsFix fix_;
    bool pending_ = false;
    std::uint64_t printed_ = 0;
};

// The fix as a line of text or a JSON object, without line end.
std::string FormatFixText(const GpsFix& fix);
std::string FormatFixJson(const GpsFix& fix);

}  // namespace tarvik::cli
