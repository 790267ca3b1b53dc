#include "gps/serial/SerialWnd.h"

namespace tarvik {

CSerialWnd::~CSerialWnd() {
    CSerialWnd::Close();
}

Result CSerialWnd::Open(const std::string& name, IEventDispatcher& loop,
                        ISerialMessageTarget& window, std::uint32_t message,
                        std::intptr_t userValue, std::uint32_t inQueue, std::uint32_t outQueue) {
    if (Result r = CSerialEx::Open(name, inQueue, outQueue, false)) return r;
    {
        std::lock_guard lock(targetMutex_);
        loop_ = &loop;
        window_ = &window;
        message_ = message != 0 ? message : kDefaultComMessage;
        userValue_ = userValue;
    }
    if (Result r = StartListener()) {
        Close();
        return Record(r);
    }
    return RES_SUCCESS;
}

Result CSerialWnd::Close() {
    {
        std::lock_guard lock(targetMutex_);
        loop_ = nullptr;
        window_ = nullptr;
        message_ = 0;
    }
    return CSerialEx::Close();
}

void CSerialWnd::OnEvent(std::uint32_t events, std::uint32_t errors) {
    std::lock_guard lock(targetMutex_);
    if (loop_ == nullptr || window_ == nullptr) return;
    const std::uint32_t wParam = (errors << 16) | (events & 0xFFFFu);
    loop_->Post([window = window_, message = message_, wParam, lParam = userValue_] {
        window->OnSerialMessage(message, wParam, lParam);
    });
}

}  // namespace tarvik
