#include "ui/SignalPipe.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik::ui {
namespace {

// [0] is written by the handler, [1] read on the GUI thread. Kept open for
// the life of the process once created.
int gPipe[2] = {-1, -1};

extern "C" void WriteSignalByte(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pair already holds a pending request; nothing more is needed.
    [[maybe_unused]] const ssize_t written = write(gPipe[0], &byte, 1);
    errno = saved;
}

}  // namespace

bool SignalPipe::InstallHandlers() {
    if (gPipe[0] >= 0) return true;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

SignalPipe::SignalPipe(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (!InstallHandlers()) return;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalPipe::OnReadable);
}

SignalPipe::~SignalPipe() {
    if (!notifier_) return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    notifier_.reset();
}

void SignalPipe::OnReadable() {
    char bytes[16];
    while (read(gPipe[1], bytes, sizeof(bytes)) > 0) {
    }
    if (onSignal_) onSignal_();
}

}  // namespace tarvik::ui
