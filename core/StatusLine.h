// The status line: the latest user-facing message with its time, shown by
// the main window when one is attached, and always written to the log.
#pragma once

#include <string>

namespace tarvik {

// Implemented by the main window. Called with the status lock held, from the
// thread that set the text.
class IStatusLineSink {
  public:
    virtual ~IStatusLineSink() = default;
    // `text` is "%H:%M:%S " followed by the message.
    virtual void ShowStatusText(const std::string& text) = 0;
};

// Attaches the sink (nullptr detaches). Once this returns, a detached sink is
// no longer called.
void SetStatusLineSink(IStatusLineSink* sink);

// Shows `text` (taken literally) on the status line and logs it at Info level.
void SetStatusText(const std::string& text);

}  // namespace tarvik
