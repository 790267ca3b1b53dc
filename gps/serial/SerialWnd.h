// A serial port whose listener posts each event as a message to a window on
// the GUI thread, through the main loop's dispatcher. The message's first
// parameter is errors * 65536 + events (line errors in the high word), the
// second the user value given to Open. The window then reads the bytes on
// the GUI thread.
#pragma once

#include <cstdint>
#include <mutex>

#include "adapter/MediaEvents.h"
#include "gps/serial/SerialEx.h"

namespace tarvik {

// The window side: receives the port's messages on the GUI thread.
class ISerialMessageTarget {
  public:
    virtual ~ISerialMessageTarget() = default;
    virtual void OnSerialMessage(std::uint32_t message, std::uint32_t wParam,
                                 std::intptr_t lParam) = 0;
};

// The message number used when Open is given 0: the number the process
// registered for "CSerialWnd_DefaultComMsg" (registered numbers lie in 0xC000-0xFFFF).
inline constexpr std::uint32_t kDefaultComMessage = 0xC0DE;

class CSerialWnd : public CSerialEx {
  public:
    CSerialWnd() = default;
    ~CSerialWnd() override;

    // Opens with the listener running; messages go to `window` through
    // `loop`. If the listener cannot start the port is closed again.
    Result Open(const std::string& name, IEventDispatcher& loop, ISerialMessageTarget& window,
                std::uint32_t message = 0, std::intptr_t userValue = 0, std::uint32_t inQueue = 0,
                std::uint32_t outQueue = 0);
    // Forgets the window (no further messages are posted), then closes.
    Result Close() override;

  protected:
    void OnEvent(std::uint32_t events, std::uint32_t errors) override;

  private:
    using CSerialEx::Open;

    std::mutex targetMutex_;
    IEventDispatcher* loop_ = nullptr;
    ISerialMessageTarget* window_ = nullptr;
    std::uint32_t message_ = 0;
    std::intptr_t userValue_ = 0;
};

}  // namespace tarvik
