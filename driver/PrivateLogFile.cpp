#include "driver/PrivateLogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik::driver {

CPrivateLogFile::~CPrivateLogFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool CPrivateLogFile::Open(const std::string& path, std::string& error) {
    // O_NONBLOCK: a FIFO planted under the name must not hang the daemon.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        const int reason = errno;
        error = "cannot open " + path + ": " +
                (reason == ELOOP ? std::string("it is a symbolic link") : std::strerror(reason));
        return false;
    }
    struct stat info {};
    std::string why;
    if (::fstat(fd, &info) != 0) {
        why = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
    } else if (info.st_uid != ::geteuid()) {
        why = "the file belongs to another user";
    } else if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, 0) != 0 ||
               ::fcntl(fd, F_SETFL, O_WRONLY) != 0) {
        why = std::strerror(errno);
    }
    if (!why.empty()) {
        ::close(fd);
        error = "cannot open " + path + ": " + why;
        return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return true;
}

bool CPrivateLogFile::Write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

bool CPrivateLogFile::Write(const std::string& text) {
    return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace tarvik::driver
