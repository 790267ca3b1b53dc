// Reads a file in large chunks and keeps the unread part in one buffer, so a
// scan file of any size is read with a fixed amount of memory plus the
// largest record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvik {

class CScanFileChunks {
  public:
    // `fileSize` is the size fstat gave: it bounds how large the buffer grows.
    CScanFileChunks(int fd, std::uint64_t fileSize) : fd_(fd), fileSize_(fileSize) {}

    // Makes at least `wanted` bytes available unless the file ends first.
    // False when reading failed (Error() says why).
    bool Fill(std::size_t wanted);
    std::span<const std::uint8_t> Available() const {
        return {buffer_.data() + begin_, end_ - begin_};
    }
    void Consume(std::size_t n) { begin_ += n; }

    // The file offset of the first available byte.
    std::uint64_t Offset() const { return bufferOffset_ + begin_; }
    // Bytes from Offset() to the end of the file, as far as is known.
    std::uint64_t Left() const;
    // True once the end of the file has been met: Available() is all there is.
    bool AllRead() const { return atEnd_; }
    int Error() const { return error_; }

  private:
    static constexpr std::size_t kChunkBytes = 1u << 20;

    int fd_;
    std::uint64_t fileSize_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t bufferOffset_ = 0;
    bool atEnd_ = false;
    int error_ = 0;
};

}  // namespace tarvik
