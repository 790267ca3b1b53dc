// A one-direction archive over a byte buffer: little-endian integers, raw
// bytes and counted strings, the encoding of scan files.
//
// Counted string: a length prefix, then that many 8-bit characters, no
// terminator. The prefix is one byte n when n < 0xFF; else 0xFF and a 16-bit
// n when n < 0xFFFE; else 0xFF, 0xFFFF and a 32-bit n. A prefix that starts
// 0xFF, 0xFFFE marks 16-bit characters: another prefix of the same form
// follows, then n little-endian 16-bit characters, which are read as UTF-16
// and turned into UTF-8. Writers always write 8-bit characters.
//
// Failure: a loading archive that is asked to read past its end, or meets a
// malformed counted string, enters the failed state. The state is sticky;
// later reads return zeros and empty strings without touching the input, so
// a reader may go on and check Failed() once at a convenient point. Nothing
// is thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

class Archive {
  public:
    // An archive that stores into an empty buffer.
    static Archive ForStoring() { return Archive(true, {}); }
    // An archive that loads from `input` (owned).
    static Archive ForLoading(std::vector<std::uint8_t> input) {
        return Archive(false, std::move(input));
    }
    // An archive that loads from `input` without copying it; the bytes must
    // outlive the archive.
    static Archive ForLoadingView(std::span<const std::uint8_t> input) {
        Archive archive(false, {});
        archive.view_ = input;
        archive.viewing_ = true;
        return archive;
    }

    bool IsStoring() const { return storing_; }
    bool IsLoading() const { return !storing_; }

    // Storing: the bytes written so far.
    const std::vector<std::uint8_t>& Data() const { return buffer_; }
    // Storing: forgets the bytes written so far but keeps the room they took,
    // so one archive can serialize many records without reallocating.
    void ClearData() { buffer_.clear(); }

    // Loading.
    bool Failed() const { return failed_; }
    // Puts the archive into the failed state, for a caller that finds the
    // input to be nonsense that the stream cannot be resynchronised after.
    void Fail() { failed_ = true; }
    std::size_t Remaining() const { return failed_ ? 0 : Input().size() - position_; }
    bool AtEnd() const { return Remaining() == 0; }
    // Bytes consumed so far.
    std::size_t Position() const { return position_; }
    // Steps over n bytes, or fails.
    bool Skip(std::size_t n) { return Take(n) != nullptr; }

    void WriteU8(std::uint8_t value);
    void WriteU16(std::uint16_t value);
    void WriteU32(std::uint32_t value);
    void WriteI32(std::int32_t value) { WriteU32(static_cast<std::uint32_t>(value)); }
    void WriteBytes(std::span<const std::uint8_t> bytes);
    void WriteString(std::string_view text);

    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
    // Fills `out` whole, or fails (and zeroes `out`).
    bool ReadBytes(std::span<std::uint8_t> out);
    std::string ReadString();

  private:
    Archive(bool storing, std::vector<std::uint8_t> buffer)
        : storing_(storing), buffer_(std::move(buffer)) {}

    std::span<const std::uint8_t> Input() const {
        return viewing_ ? view_ : std::span<const std::uint8_t>(buffer_);
    }
    // The next n input bytes, or nullptr (and the failed state).
    const std::uint8_t* Take(std::size_t n);
    // Reads a length prefix; `wide` is set by the 16-bit character marker.
    bool ReadStringLength(std::uint32_t& length, bool& wide);

    bool storing_;
    std::vector<std::uint8_t> buffer_;
    // Loading from borrowed bytes (ForLoadingView) instead of buffer_.
    std::span<const std::uint8_t> view_;
    bool viewing_ = false;
    std::size_t position_ = 0;
    bool failed_ = false;
};

}  // namespace tarvik
