#include "app/GpsLineBuffer.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

bool CGpsLineBuffer::HasLineFeed() const {
    return std::memchr(bytes_.data(), '\n', fill_) != nullptr;
}

void CGpsLineBuffer::Commit(std::size_t count) {
    fill_ += std::min(count, bytes_.size() - fill_);
}

std::size_t CGpsLineBuffer::Append(std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), bytes_.size() - fill_);
    std::copy_n(bytes.begin(), count, bytes_.begin() + static_cast<std::ptrdiff_t>(fill_));
    fill_ += count;
    return count;
}

GpsTakeResult CGpsLineBuffer::TakeSentence(std::string& sentence) {
    const auto begin = bytes_.begin();
    const auto end = begin + static_cast<std::ptrdiff_t>(fill_);
    const auto start = std::find(begin, end, '$');
    if (start == end) {
        fill_ = 0;
        return GPS_TAKE_NO_START;
    }
    if (start != begin) {
        std::copy(start, end, begin);
        fill_ = static_cast<std::size_t>(end - start);
    }
    const auto stop = std::find(begin, begin + static_cast<std::ptrdiff_t>(fill_), '\n');
    const auto length = static_cast<std::size_t>(stop - begin);
    if (length == fill_) return GPS_TAKE_WAIT;
    if (length >= kGpsSentenceLimit) {
        fill_ = 0;
        return GPS_TAKE_TOO_LONG;
    }
    sentence.assign(begin, stop);
    std::copy(stop, begin + static_cast<std::ptrdiff_t>(fill_), begin);
    fill_ -= length;
    return GPS_TAKE_SENTENCE;
}

}  // namespace tarvik
