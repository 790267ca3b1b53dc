#include "networks/ScanFileChunks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarvik {

std::uint64_t CScanFileChunks::Left() const {
    const std::uint64_t available = end_ - begin_;
    const std::uint64_t bySize = fileSize_ > Offset() ? fileSize_ - Offset() : 0;
    return std::max(available, bySize);
}

bool CScanFileChunks::Fill(std::size_t wanted) {
    if (end_ - begin_ >= wanted || atEnd_) return true;
    // Keep the unread bytes, at the front.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        bufferOffset_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() < wanted || buffer_.empty()) {
        buffer_.resize(std::max(wanted, buffer_.empty() ? kChunkBytes : buffer_.size()));
    }
    // Fill the whole buffer: fewer, larger reads.
    while (end_ < buffer_.size()) {
        const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        if (n == 0) {
            atEnd_ = true;
            break;
        }
        end_ += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace tarvik
