// SIGINT and SIGTERM turned into a call on the GUI thread: the handler only
// writes a byte into a socket pair, whose other end a QSocketNotifier reads.
// The handlers go in first thing at start-up, so a signal that arrives while
// the program is still starting waits in the pair instead of killing it.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace tarvik::ui {

class SignalPipe : public QObject {
    Q_OBJECT
  public:
    // Creates the pair and installs the handlers (once per process; plain
    // POSIX, no Qt needed yet). False when that failed.
    static bool InstallHandlers();

    // Installs the handlers if needed and reads the pair on this thread's
    // event loop; `onSignal` runs there, once per batch of signals.
    explicit SignalPipe(std::function<void()> onSignal, QObject* parent = nullptr);
    // Stops reading; signals then take their default action again.
    ~SignalPipe() override;
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool IsInstalled() const { return notifier_ != nullptr; }

  private:
    void OnReadable();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tarvik::ui
