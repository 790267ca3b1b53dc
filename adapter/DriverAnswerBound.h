// A stretch of driver requests made on the GUI thread (one timer tick, one
// device change) that may wait for the driver only so long in all. A driver
// that does not answer in time fails the stretch's requests with
// ERROR_TIMEOUT (later ones at once, unsent) and the status line says so;
// the window never waits the client layer's full reply time.
#pragma once

#include <chrono>

#include "platform/driverio/ReplyDeadline.h"

namespace tarvik {

inline constexpr std::chrono::milliseconds kGuiDriverWaitBound{1000};
inline constexpr const char* kDriverNotAnsweringText =
    "The Tarvik driver is not answering; the list will refresh once it does.";

class CDriverAnswerBound {
  public:
    explicit CDriverAnswerBound(std::chrono::milliseconds bound = kGuiDriverWaitBound)
        : deadline_(bound) {}

    // True when a request of the stretch gave up waiting; the status line
    // then shows kDriverNotAnsweringText.
    bool ReportIfNotAnswering() const;

  private:
    driverio::CReplyDeadline deadline_;
};

}  // namespace tarvik
