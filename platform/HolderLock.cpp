#include "platform/HolderLock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/PeerCredentials.h"

namespace tarvik {
namespace {

// Far more than "<pid> <program>" needs; a longer file is not ours.
constexpr std::size_t kMaxHolderBytes = 256;

int LockNonBlocking(int fd) {
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 ? 0 : errno;
}

bool WriteAll(int fd, const std::string& text) {
    if (::ftruncate(fd, 0) != 0) return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string PreparePrivateFolder(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return "Cannot create " + folder.string() + ": " + std::strerror(errno);
    }
    if (!CheckPrivateFolder(folder.string(), ::getuid()).empty()) {
        return folder.string() + " is not a private folder of this user.";
    }
    return {};
}

LockHolder ReadLockHolder(const std::filesystem::path& path) {
    LockHolder holder;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return holder;
    char buffer[kMaxHolderBytes + 1];
    ssize_t n;
    do {
        n = ::read(fd, buffer, kMaxHolderBytes);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0) return holder;
    const std::string text(buffer, static_cast<std::size_t>(n));
    const std::size_t space = text.find(' ');
    if (space == 0 || space == std::string::npos || space > 10) return holder;
    long pid = 0;
    for (std::size_t i = 0; i < space; ++i) {
        if (text[i] < '0' || text[i] > '9') return holder;
        pid = pid * 10 + (text[i] - '0');
    }
    std::string program = text.substr(space + 1);
    if (!program.empty() && program.back() == '\n') program.pop_back();
    for (char& c : program) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    holder.pid = pid;
    holder.program = std::move(program);
    return holder;
}

LockOutcome CHolderLock::Take(const std::filesystem::path& path, std::string_view program) {
    if (fd_ >= 0 && path == path_) return LockOutcome::Taken;
    Release();
    failure_.clear();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        failure_ = "Cannot open " + path.string() + ": " + std::strerror(errno);
        return LockOutcome::Unavailable;
    }
    const int error = LockNonBlocking(fd);
    if (error != 0) {
        ::close(fd);
        if (error == EWOULDBLOCK) return LockOutcome::HeldElsewhere;
        failure_ = "Cannot lock " + path.string() + ": " + std::strerror(error);
        return LockOutcome::Unavailable;
    }
    fd_ = fd;
    path_ = path;
    // The lock is what counts; a name that cannot be written only leaves
    // the refusal without a process number.
    WriteAll(fd_, std::to_string(::getpid()) + " " + std::string(program) + "\n");
    return LockOutcome::Taken;
}

void CHolderLock::Release() {
    if (fd_ < 0) return;
    // Emptied while still locked, so nobody reads our name after we let go.
    [[maybe_unused]] const int ignored = ::ftruncate(fd_, 0);
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

}  // namespace tarvik
