// A bound on how long the calling thread waits for the daemon's replies.
// While a CReplyDeadline lives, every request of its thread waits at most
// until the deadline; once it has passed, requests fail with ERROR_TIMEOUT
// without being sent, so a stopped daemon never applies them later. The GUI
// thread uses one per timer tick, so a hung driver cannot freeze the window.
#pragma once

#include <chrono>
#include <optional>

namespace tarvik::driverio {

class CReplyDeadline {
  public:
    explicit CReplyDeadline(std::chrono::milliseconds bound);
    ~CReplyDeadline();
    CReplyDeadline(const CReplyDeadline&) = delete;
    CReplyDeadline& operator=(const CReplyDeadline&) = delete;

    // True when a request of this thread gave up waiting under this deadline.
    bool Expired() const { return expired_; }

  private:
    friend std::optional<std::chrono::steady_clock::time_point> ThreadReplyDeadline();
    friend void NoteReplyDeadlineExpired();

    std::chrono::steady_clock::time_point deadline_;
    CReplyDeadline* outer_;
    bool expired_ = false;
};

// The innermost deadline of the calling thread, if any.
std::optional<std::chrono::steady_clock::time_point> ThreadReplyDeadline();
// Marks the calling thread's deadline (if any) as expired.
void NoteReplyDeadlineExpired();
// `bound`, cut to what is left of the calling thread's deadline.
std::chrono::milliseconds BoundByReplyDeadline(std::chrono::milliseconds bound);

}  // namespace tarvik::driverio
