// Event waits, reads and writes of CSerial, through the input queue.
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "gps/serial/Serial.h"
#include "gps/serial/SerialText.h"

namespace tarvik {
namespace {

constexpr std::size_t kReadChunk = 4096;
// A blocking read looks at the input queue again this often: a listener's
// wait may move the bytes it waits for into the queue behind its back.
constexpr int kBlockingRecheckMs = 100;

}  // namespace

std::uint32_t CSerial::TakeLineErrors() {
    std::lock_guard lock(mutex_);
    return std::exchange(lineErrors_, 0);
}

void CSerial::CountLineErrorsLocked() {
    serial_icounter_struct counts{};
    if (!haveCounters_ || ::ioctl(fd_, TIOCGICOUNT, &counts) != 0) return;
    const std::uint32_t now[4] = {static_cast<std::uint32_t>(counts.brk),
                                  static_cast<std::uint32_t>(counts.frame),
                                  static_cast<std::uint32_t>(counts.parity),
                                  static_cast<std::uint32_t>(counts.overrun + counts.buf_overrun)};
    constexpr std::uint32_t kBits[4] = {CE_BREAK, CE_FRAME, CE_RXPARITY, CE_OVERRUN};
    for (int i = 0; i < 4; ++i) {
        if (now[i] != counters_[i]) lineErrors_ |= kBits[i];
        counters_[i] = now[i];
    }
}

std::uint32_t CSerial::FillQueueLocked() {
    std::uint8_t chunk[kReadChunk];
    const std::size_t room = std::min(inputLimit_ - input_.size(), sizeof chunk);
    if (room == 0) return 0;
    const std::uint32_t errorsBefore = lineErrors_;
    std::uint32_t events = 0;
    const ssize_t n = ::read(fd_, chunk, room);
    if (n > 0) {
        input_.insert(input_.end(), chunk, chunk + n);
        events |= EV_RXCHAR;
        if (std::memchr(chunk, eventChar_.load(), static_cast<std::size_t>(n))) events |= EV_RXFLAG;
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        gone_ = true;
        lineErrors_ |= CE_IOE;
        lastErrorText_ = "The device of " + Who() + " went away.";
    }
    CountLineErrorsLocked();
    if (lineErrors_ & CE_BREAK & ~errorsBefore) events |= EV_BREAK;
    if (lineErrors_ & ~CE_BREAK & ~errorsBefore) events |= EV_ERR;
    return events;
}

Result CSerial::WaitEvent(CSerialRequest* request, std::uint32_t timeout) {
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    if (Result r = CheckRequest(request, timeout)) return Record(r);
    for (;;) {
        bool room = false;
        {
            std::lock_guard lock(mutex_);
            if (gone_) return Record(ERROR_DEVICE_NOT_CONNECTED);
            room = input_.size() < inputLimit_;
        }
        // With a full queue only a wake can end the wait (a negative fd is skipped).
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {room ? fd_ : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout == 0 ? 0 : -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return Record(ResultFromErrno(errno));
        if (ready == 0) return Record(ERROR_TIMEOUT);
        std::uint32_t events = 0;
        if (fds[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
        } else {
            std::lock_guard lock(mutex_);
            events = FillQueueLocked() & eventMask_;
            if (events == 0 && !gone_ && timeout != 0) continue;
        }
        lastEvents_ |= events;
        if (request) request->Complete(0);
        return Record(events == 0 && timeout == 0 ? ERROR_TIMEOUT : RES_SUCCESS);
    }
}

Result CSerial::Read(void* buffer, std::size_t size, std::size_t* read, CSerialRequest* request,
                     std::uint32_t timeout) {
    if (read) *read = 0;
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    if (Result r = CheckRequest(request, timeout)) return Record(r);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t got = 0;
    bool gone = false;
    for (;;) {
        bool freed = false;
        {
            std::lock_guard lock(mutex_);
            const bool wasFull = input_.size() >= inputLimit_;
            const std::size_t take = std::min(input_.size(), size - got);
            std::copy_n(input_.begin(), take, out + got);
            input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(take));
            got += take;
            freed = wasFull && take > 0;
            while (got < size && !gone_) {
                const ssize_t n = ::read(fd_, out + got, size - got);
                if (n > 0) {
                    got += static_cast<std::size_t>(n);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    gone_ = true;
                    lineErrors_ |= CE_IOE;
                    lastErrorText_ = "The device of " + Who() + " went away.";
                } else {
                    break;
                }
            }
            gone = gone_;
        }
        if (freed) Wake();
        if (got == size || gone || !blockingReads_ || timeout == 0) break;
        pollfd fds{fd_, POLLIN, 0};
        ::poll(&fds, 1, kBlockingRecheckMs);
    }
    if (read) *read = got;
    if (got == 0 && gone && size > 0) return Record(ERROR_DEVICE_NOT_CONNECTED);
    if (request) request->Complete(static_cast<std::uint32_t>(got));
    return Record(blockingReads_ && got < size && !gone ? ERROR_TIMEOUT : RES_SUCCESS);
}

Result CSerial::Write(const std::string& text, CSerialRequest* request, std::uint32_t timeout) {
    return Write(text.data(), text.size(), nullptr, request, timeout);
}

Result CSerial::Write(const void* data, std::size_t size, std::size_t* written,
                      CSerialRequest* request, std::uint32_t timeout) {
    if (written) *written = 0;
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    if (Result r = CheckRequest(request, timeout)) return Record(r);
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    Result result = RES_SUCCESS;
    while (done < size) {
        const ssize_t n = ::write(fd_, in + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && timeout != 0) {
            pollfd fds{fd_, POLLOUT, 0};
            ::poll(&fds, 1, -1);
        } else {
            result = n == 0            ? ERROR_GEN_FAILURE
                     : errno == EAGAIN ? ERROR_TIMEOUT
                                       : ResultFromErrno(errno);
            break;
        }
    }
    if (written) *written = done;
    if (result == RES_SUCCESS && request) request->Complete(static_cast<std::uint32_t>(done));
    return Record(result);
}

}  // namespace tarvik
