#include "tools/gpssim/PtyOutput.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik::gpssim {

CPtyOutput::~CPtyOutput() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool CPtyOutput::Open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) {
        error = "cannot open " + slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    return true;
}

// A reader may turn echo back on; what it echoes is not wanted here.
void CPtyOutput::DiscardEcho() {
    char buffer[512];
    while (::read(master_, buffer, sizeof buffer) > 0) {
    }
}

void CPtyOutput::Send(const std::string& sentence) {
    DiscardEcho();
    std::size_t done = 0;
    while (done < sentence.size()) {
        const ssize_t n = ::write(master_, sentence.data() + done, sentence.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ++dropped_;
            return;
        }
    }
    ++sent_;
}

}  // namespace tarvik::gpssim
