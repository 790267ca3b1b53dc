// Numbers shared by the serial port classes: event bits, line-error bits,
// modes and the result codes the port returns beyond the common ones.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/ResultCodes.h"

namespace tarvik {

// Port events (the published Win32 values).
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t kDefaultEventMask = EV_RXCHAR | EV_BREAK | EV_ERR;

// Line errors (the published Win32 values); CE_IOE also marks a device that went away.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;
inline constexpr std::uint32_t CE_IOE = 0x0400;

enum SerialHandshake { HANDSHAKE_OFF = 0, HANDSHAKE_HARDWARE = 1, HANDSHAKE_SOFTWARE = 2 };
enum SerialReadTimeout { READ_TIMEOUT_NONBLOCKING = 0, READ_TIMEOUT_BLOCKING = 1 };

// Parity 0-4 and stop bits 0-2 as Setup takes them.
enum SerialParity {
    PARITY_NONE = 0,
    PARITY_ODD = 1,
    PARITY_EVEN = 2,
    PARITY_MARK = 3,
    PARITY_SPACE = 4
};
enum SerialStopBits { STOPBITS_ONE = 0, STOPBITS_ONE_AND_HALF = 1, STOPBITS_TWO = 2 };

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

inline constexpr Result E_INVALIDARG = static_cast<Result>(0x80070057u);
inline constexpr Result ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr Result ERROR_NOT_A_SERIAL_DEVICE = ERROR_NOT_SUPPORTED;

// A caller's request for an overlapped operation. Operations complete before
// they return here; the request then holds the count and its event is set.
class CSerialRequest {
  public:
    void Complete(std::uint32_t transferred) {
        std::lock_guard lock(mutex_);
        transferred_ = transferred;
        done_ = true;
        doneChanged_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        done_ = false;
        transferred_ = 0;
    }
    // Blocks until the operation completed; its transferred count.
    std::uint32_t Wait() {
        std::unique_lock lock(mutex_);
        doneChanged_.wait(lock, [this] { return done_; });
        return transferred_;
    }
    bool IsDone() {
        std::lock_guard lock(mutex_);
        return done_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable doneChanged_;
    bool done_ = false;
    std::uint32_t transferred_ = 0;
};

}  // namespace tarvik
