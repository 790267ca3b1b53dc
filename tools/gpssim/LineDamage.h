// Faults a bad cable or receiver puts into the stream, for testing readers:
// sentences whose checksum is wrong and sentences with a piece lost. Each is chosen
// at random at its rate (0 never, 1 always) from a fixed seed, so a run can
// be repeated.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace tarvik::gpssim {

class CLineDamage {
  public:
    CLineDamage(double badChecksumRate, double cutRate, std::uint32_t seed = 1);

    // The framed sentence, perhaps damaged; it keeps its line end.
    std::string Apply(std::string sentence);
    std::uint64_t DamagedCount() const { return damaged_; }

  private:
    bool Chance(double rate);

    double badChecksumRate_;
    double cutRate_;
    std::mt19937 random_;
    std::uint64_t damaged_ = 0;
};

}  // namespace tarvik::gpssim
