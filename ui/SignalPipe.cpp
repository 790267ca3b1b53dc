#include "ui/SignalPipe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik::ui {
namespace {

int gPipe[2] = {-1, -1};

extern "C" void WriteSignalByte(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending request; nothing more is needed.
    [[maybe_unused]] const ssize_t written = write(gPipe[0], &byte, 1);
    errno = saved;
}

}  // namespace

SignalPipe::SignalPipe(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (gPipe[0] >= 0) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    owns_ = true;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalPipe::OnReadable);
    struct sigaction action {};
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ =
        sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

SignalPipe::~SignalPipe() {
    if (!owns_) return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    close(gPipe[0]);
    close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void SignalPipe::OnReadable() {
    char bytes[16];
    while (read(gPipe[1], bytes, sizeof(bytes)) > 0) {
    }
    if (onSignal_) onSignal_();
}

}  // namespace tarvik::ui
