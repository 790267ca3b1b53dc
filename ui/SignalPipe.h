// SIGINT and SIGTERM turned into a call on the GUI thread: the handler only
// writes a byte into a socket pair, whose other end a QSocketNotifier reads.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace tarvik::ui {

class SignalPipe : public QObject {
    Q_OBJECT
  public:
    // One per process. `onSignal` runs on the thread that creates the pipe.
    explicit SignalPipe(std::function<void()> onSignal, QObject* parent = nullptr);
    // Restores the default actions and closes the pair.
    ~SignalPipe() override;
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // False when the pair or the handlers could not be set up.
    bool IsInstalled() const { return installed_; }

  private:
    void OnReadable();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool owns_ = false;
    bool installed_ = false;
};

}  // namespace tarvik::ui
