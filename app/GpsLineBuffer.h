// The GPS receive buffer: bytes from the serial port collect here until a
// line feed ends an NMEA sentence. Sentences start at '$'; what comes before
// is garbage and dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvik {

inline constexpr std::size_t kGpsBufferSize = 100000;
// A line feed this far or further from the '$' ends no valid sentence.
inline constexpr std::size_t kGpsSentenceLimit = 91;

enum GpsTakeResult {
    GPS_TAKE_SENTENCE,  // a sentence was taken
    GPS_TAKE_WAIT,      // a '$' without its line feed yet: wait for more bytes
    GPS_TAKE_NO_START,  // no '$' at all: the buffer was emptied
    GPS_TAKE_TOO_LONG,  // the line feed came too late: the buffer was emptied
};

class CGpsLineBuffer {
  public:
    CGpsLineBuffer() : bytes_(kGpsBufferSize) {}

    std::size_t Fill() const { return fill_; }
    bool IsFull() const { return fill_ == bytes_.size(); }
    bool HasLineFeed() const;
    // The unused part, for the port to read into; then Commit what it read.
    std::span<std::uint8_t> FreeSpace() { return std::span(bytes_).subspan(fill_); }
    void Commit(std::size_t count);
    // Copies as much of `bytes` as fits; returns how much that was.
    std::size_t Append(std::span<const std::uint8_t> bytes);
    void Clear() { fill_ = 0; }

    // Takes the first sentence: the bytes from '$' up to the line feed (a
    // carriage return before it stays). The line feed stays in front.
    GpsTakeResult TakeSentence(std::string& sentence);

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t fill_ = 0;
};

}  // namespace tarvik
