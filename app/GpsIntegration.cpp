#include "app/GpsIntegration.h"

#include <span>

#include "app/GpsAttach.h"
#include "app/GpsStatusText.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"

namespace tarvik {

CGpsIntegration::CGpsIntegration(const GpsIntegrationParts& parts)
    : loop_(parts.loop),
      options_(parts.options),
      networks_(parts.networks),
      createOutputView_(parts.createOutputView),
      clock_(parts.clock) {
    InitialiseGpsState(state_, this);
}

CGpsIntegration::~CGpsIntegration() {
    port_.Close();
}

void CGpsIntegration::OpenPort() {
    const std::int32_t number = options_.ComPortNumber;
    if (number == -1) return;
    const std::string name = "COM" + std::to_string(number);
    port_.Open(name, loop_, *this);
    if (port_.IsOpen()) {
        port_.SetHandshaking(options_.ComHandshaking);
        const Result setup =
            port_.Setup(static_cast<std::uint32_t>(options_.ComBaudRate.Get()),
                        options_.ComDataBits, options_.ComParity, options_.ComStopBits);
        // The port stays open on the settings it had; the log says why.
        if (setup != RES_SUCCESS) LogInfo("%s", port_.GetLastErrorText().c_str());
    }
    if (!port_.IsOpen()) {
        SetStatusText("Could not open the selected GPS port, " + name + ".");
    } else {
        SetStatusText("Selected GPS port, " + name + " opened successfully.");
    }
}

void CGpsIntegration::ClosePort() {
    port_.Close();
}

void CGpsIntegration::ShowOutput() {
    if (!view_ && createOutputView_) {
        view_ = createOutputView_();
        if (view_) UpdateStatus();
    }
    if (view_) view_->ShowOnTop();
}

void CGpsIntegration::OnComSettingsChanged() {
    if (!port_.IsOpen()) return;
    port_.Close();
    OpenPort();
}

void CGpsIntegration::UpdateStatus() {
    const std::time_t now = Now();
    if (view_) {
        const GpsStatusTexts texts = ComposeGpsStatus(
            state_, port_.IsOpen(), options_.ComPortNumber, options_.GpsAngleFormat, now);
        view_->SetStatusTexts(texts.status, texts.latitude, texts.longitude);
    }
    AttachPositions(networks_.Records(), state_, now);
}

void CGpsIntegration::OnSerialMessage(std::uint32_t message, std::uint32_t wParam,
                                      std::intptr_t /*lParam*/) {
    if (message != kDefaultComMessage) return;
    if ((wParam >> 16) != 0) {
        LogInfo("CSerial internal error");
        return;
    }
    if ((wParam & 0xFFFFu) != EV_RXCHAR) return;
    const std::span<std::uint8_t> room = buffer_.FreeSpace();
    std::size_t read = 0;
    port_.Read(room.data(), room.size(), &read);
    if (read == 0) return;
    buffer_.Commit(read);
    TakeSentences();
}

void CGpsIntegration::ReceiveBytes(std::string_view bytes) {
    buffer_.Append(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    TakeSentences();
}

void CGpsIntegration::TakeSentences() {
    std::string sentence;
    while (buffer_.HasLineFeed()) {
        const GpsTakeResult taken = buffer_.TakeSentence(sentence);
        if (taken == GPS_TAKE_TOO_LONG) LogInfo("End is too far!, discarding buffer!");
        if (taken != GPS_TAKE_SENTENCE) continue;
        AddToLog(sentence);
        state_.lastSentenceTime = Now();
        parser_.ParseSentence(sentence, state_.fix);
        UpdateStatus();
    }
    // Bytes without a line feed (the wrong baud rate) would otherwise fill
    // the buffer for good and the receiver would never be heard again.
    if (buffer_.IsFull()) {
        LogInfo("Gps buffer is full without a line end (is the baud rate right?); discarding it.");
        buffer_.Clear();
    }
}

void CGpsIntegration::AddToLog(const std::string& sentence) {
    if (!view_) return;
    log_.insert(0, sentence + "\n");
    if (log_.size() > kGpsLogLimit) log_.resize(kGpsLogKeep);
    view_->SetSentenceLog(log_);
}

}  // namespace tarvik
