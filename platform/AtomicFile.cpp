#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

namespace tarvik {

namespace {

FileIdentity FromStat(const struct stat& st) {
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncDirectory(const std::filesystem::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

FileIdentity StatIdentity(const std::filesystem::path& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        FileIdentity id;
        id.error = errno;
        return id;
    }
    return FromStat(st);
}

FileIdentity DescriptorIdentity(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        FileIdentity id;
        id.error = errno;
        return id;
    }
    return FromStat(st);
}

std::int64_t RealtimeNs() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string ErrnoText(int error) {
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not be in the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

bool CreateDirectories(const std::filesystem::path& dir, mode_t mode, std::string& error) {
    if (dir.empty()) return true;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = dir.string() + " is not a folder";
        return false;
    }
    if (dir.has_parent_path() && dir.parent_path() != dir &&
        !CreateDirectories(dir.parent_path(), mode, error)) {
        return false;
    }
    if (::mkdir(dir.c_str(), mode) != 0 && errno != EEXIST) {
        error = "cannot create " + dir.string() + ": " + ErrnoText(errno);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data, mode_t mode,
                         std::string& error, FileIdentity* written) {
    std::filesystem::path dir = file.parent_path();
    if (!CreateDirectories(dir, 0700, error)) return false;
    std::string pattern = file.string() + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a temporary file in " + dir.string() + ": " + ErrnoText(errno);
        return false;
    }
    bool ok = WriteAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (ok && written) *written = DescriptorIdentity(fd);
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(name.data(), file.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        error = "cannot write " + file.string() + ": " + ErrnoText(savedErrno);
        return false;
    }
    SyncDirectory(dir.empty() ? std::filesystem::path(".") : dir);
    return true;
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& data, int& error,
                   FileIdentity* identity) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    if (identity) *identity = DescriptorIdentity(fd);
    data.clear();
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool FileLock::Acquire(const std::filesystem::path& lockFile, std::string& error) {
    if (!CreateDirectories(lockFile.parent_path(), 0700, error)) return false;
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error = "cannot open the lock file " + lockFile.string() + ": " + ErrnoText(errno);
        return false;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error = "cannot lock " + lockFile.string() + ": " + ErrnoText(errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

}  // namespace tarvik
