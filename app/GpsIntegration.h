// The GPS receiver in the main window: opens and closes the configured COM
// port, collects its bytes into sentences for the NMEA parser, keeps the GPS
// Output dialog up to date and attaches positions to the networks in the
// list. GUI thread only: the port's listener posts its messages there.
//
// Beyond the plain rules: a full buffer without a line feed (a receiver at
// the wrong baud rate) is logged and emptied, so a corrected receiver is
// heard again; a fix older than 5 seconds is shown as stale and never
// attached to networks.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "adapter/MediaEvents.h"
#include "app/GpsLineBuffer.h"
#include "app/GpsOutputView.h"
#include "core/ApplicationOptions.h"
#include "gps/GpsState.h"
#include "gps/NmeaParser.h"
#include "gps/serial/SerialWnd.h"
#include "networks/NetworkList.h"

namespace tarvik {

// The dialog log keeps its first kGpsLogKeep characters once it grows
// beyond kGpsLogLimit.
inline constexpr std::size_t kGpsLogLimit = 1300;
inline constexpr std::size_t kGpsLogKeep = 1000;

struct GpsIntegrationParts {
    IEventDispatcher& loop;
    CApplicationOptions& options;
    CNetworkList& networks;
    // Creates the GPS Output dialog on first use; null: there is none.
    std::function<std::unique_ptr<IGpsOutputView>()> createOutputView = nullptr;
    // Optional: seconds since 1970; the wall clock by default.
    std::function<std::time_t()> clock = nullptr;
};

class CGpsIntegration : public ISerialMessageTarget, private IGpsPort {
  public:
    explicit CGpsIntegration(const GpsIntegrationParts& parts);
    ~CGpsIntegration() override;
    CGpsIntegration(const CGpsIntegration&) = delete;
    CGpsIntegration& operator=(const CGpsIntegration&) = delete;

    // Connect To Serial Port: opens COM<ComPortNumber> with the line
    // settings and says on the status line whether it worked.
    void OpenPort();
    // Disconnect From Serial Port.
    void ClosePort();
    // GPS Tester...: creates the dialog on first use, then shows it on top.
    void ShowOutput();
    // One of the six COM settings changed: an open port is opened again.
    void OnComSettingsChanged();
    // The one-second tick and the step after each sentence.
    void UpdateStatus();

    // The port's message: errors in the high word of `wParam`, events low.
    void OnSerialMessage(std::uint32_t message, std::uint32_t wParam,
                         std::intptr_t lParam) override;
    // Bytes as if read from the port (what the message handler does after
    // its read): as many as fit are added and every whole sentence taken.
    void ReceiveBytes(std::string_view bytes);

    bool IsPortOpen() const { return port_.IsOpen(); }
    const GpsState& State() const { return state_; }
    const CNmeaParser& Parser() const { return parser_; }
    std::size_t BufferFill() const { return buffer_.Fill(); }
    const std::string& SentenceLog() const { return log_; }

  private:
    bool IsOpen() const override { return port_.IsOpen(); }
    void TakeSentences();
    void AddToLog(const std::string& sentence);
    std::time_t Now() const { return clock_ ? clock_() : std::time(nullptr); }

    IEventDispatcher& loop_;
    CApplicationOptions& options_;
    CNetworkList& networks_;
    std::function<std::unique_ptr<IGpsOutputView>()> createOutputView_;
    std::function<std::time_t()> clock_;
    CSerialWnd port_;
    CGpsLineBuffer buffer_;
    CNmeaParser parser_;
    GpsState state_;
    std::unique_ptr<IGpsOutputView> view_;
    std::string log_;
};

}  // namespace tarvik
