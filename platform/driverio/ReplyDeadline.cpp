#include "platform/driverio/ReplyDeadline.h"

#include <algorithm>

namespace tarvik::driverio {
namespace {

thread_local CReplyDeadline* t_innermost = nullptr;

}  // namespace

CReplyDeadline::CReplyDeadline(std::chrono::milliseconds bound)
    : deadline_(std::chrono::steady_clock::now() + bound), outer_(t_innermost) {
    // A nested deadline never outlasts the one around it.
    if (outer_ != nullptr) deadline_ = std::min(deadline_, outer_->deadline_);
    t_innermost = this;
}

CReplyDeadline::~CReplyDeadline() {
    t_innermost = outer_;
    if (expired_ && outer_ != nullptr) outer_->expired_ = true;
}

std::optional<std::chrono::steady_clock::time_point> ThreadReplyDeadline() {
    if (t_innermost == nullptr) return std::nullopt;
    return t_innermost->deadline_;
}

void NoteReplyDeadlineExpired() {
    if (t_innermost != nullptr) t_innermost->expired_ = true;
}

std::chrono::milliseconds BoundByReplyDeadline(std::chrono::milliseconds bound) {
    const auto deadline = ThreadReplyDeadline();
    if (!deadline) return bound;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        *deadline - std::chrono::steady_clock::now());
    return std::clamp(left, std::chrono::milliseconds(0), bound);
}

}  // namespace tarvik::driverio
