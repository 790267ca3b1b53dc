// The simulator's end of a pseudo-terminal. The other end is raw, like a
// serial line, and stays open here so the terminal lives while readers come
// and go. Writes never block: what does not fit is dropped and counted.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik::gpssim {

class CPtyOutput {
  public:
    CPtyOutput() = default;
    ~CPtyOutput();
    CPtyOutput(const CPtyOutput&) = delete;
    CPtyOutput& operator=(const CPtyOutput&) = delete;

    // False with `error` set when no terminal could be made.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }

    // Sends a whole sentence, or as much as fits (a partial one is counted
    // as dropped: the reader sees a cut line and refuses it).
    void Send(const std::string& sentence);
    std::uint64_t SentCount() const { return sent_; }
    std::uint64_t DroppedCount() const { return dropped_; }

  private:
    void DiscardEcho();

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::uint64_t sent_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace tarvik::gpssim
