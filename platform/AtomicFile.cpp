#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
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

constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr std::size_t kTemporarySuffixLength = 6;  // mkostemp's XXXXXX

void SyncDirectory(const std::filesystem::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

mode_t FolderModeFor(mode_t fileMode) {
    mode_t mode = 0700;
    if (fileMode & 0040) mode |= 0050;
    if (fileMode & 0004) mode |= 0005;
    return mode;
}

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
    if (::mkdir(dir.c_str(), mode) != 0) {
        if (errno == EEXIST) return true;
        error = "cannot create " + dir.string() + ": " + ErrnoText(errno);
        return false;
    }
    ::chmod(dir.c_str(), mode);  // the mode asked for, whatever the umask
    return true;
}

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (!line.starts_with("Umask:")) continue;
        unsigned value = 0;
        if (std::sscanf(line.c_str() + 6, "%o", &value) == 1) return value & 0777;
    }
    return 0077;
}

mode_t DocumentMode(const std::filesystem::path& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    return 0666 & ~CurrentUmask();
}

namespace {

// A link another user may have planted: in a sticky folder that everyone may
// write to (/tmp), owned neither by us nor by the folder's owner. The kernel
// refuses to follow these on open (protected_symlinks); a save that reads the
// link itself and renames over its target must refuse them too.
bool IsPlantedLink(const std::filesystem::path& link, const struct stat& st) {
    struct stat folder;
    const std::filesystem::path parent = link.parent_path().empty() ? "." : link.parent_path();
    if (::stat(parent.c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return shared && st.st_uid != ::geteuid() && st.st_uid != folder.st_uid;
}

}  // namespace

bool ResolveLinks(const std::filesystem::path& file, std::filesystem::path& target,
                  std::string& error) {
    constexpr int kMaxHops = 40;  // as the kernel's ELOOP limit
    target = file;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (IsPlantedLink(target, st)) {
            error = "will not follow the symbolic link " + target.string() +
                    ": it belongs to another user in a folder everyone may write to";
            return false;
        }
        std::error_code code;
        std::filesystem::path next = std::filesystem::read_symlink(target, code);
        if (code) {
            error = "cannot read the symbolic link " + target.string() + ": " + code.message();
            return false;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    error = file.string() + " is a loop of symbolic links";
    return false;
}

namespace {

bool IsTemporaryNameOf(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + kTemporarySuffixLength || !name.starts_with(prefix)) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

void RemoveStaleTemporaryFiles(const std::filesystem::path& file) {
    RemoveAbandonedTemporaryFiles(file, 0);
}

std::size_t RemoveAbandonedTemporaryFiles(const std::filesystem::path& target,
                                          std::int64_t minimumAgeSeconds) {
    const std::string prefix = target.filename().string() + std::string(kTemporaryInfix);
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    const std::int64_t cutoffNs = RealtimeNs() - minimumAgeSeconds * 1000000000;
    std::size_t removed = 0;
    std::error_code code;
    std::filesystem::directory_iterator it(folder, code);
    for (; !code && it != std::filesystem::directory_iterator(); it.increment(code)) {
        const std::filesystem::path& path = it->path();
        struct stat st;
        if (!IsTemporaryNameOf(path.filename().string(), prefix) ||
            ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
            continue;
        }
        if (FromStat(st).mtimeNs <= cutoffNs && ::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

bool WriteFileAtomically(const std::filesystem::path& link, std::string_view data, mode_t mode,
                         std::string& error, FileIdentity* written) {
    std::filesystem::path file;
    if (!ResolveLinks(link, file, error)) return false;
    std::filesystem::path dir = file.parent_path();
    if (!CreateDirectories(dir, FolderModeFor(mode), error)) return false;
    std::string pattern = file.string() + std::string(kTemporaryInfix) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a temporary file in " + dir.string() + ": " + ErrnoText(errno);
        return false;
    }
    bool ok = WriteAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0 &&
              ::rename(name.data(), file.c_str()) == 0;
    int savedErrno = errno;
    // Taken after the rename, which changes the inode's ctime on some file systems.
    if (ok && written) *written = DescriptorIdentity(fd);
    ::close(fd);  // the data is already on disk
    if (!ok) {
        ::unlink(name.data());
        error = "cannot write " + file.string() + ": " + ErrnoText(savedErrno);
        return false;
    }
    SyncDirectory(dir.empty() ? std::filesystem::path(".") : dir);
    RemoveAbandonedTemporaryFiles(file);
    return true;
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& data, int& error,
                   FileIdentity* identity, std::size_t maxSize) {
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
        if (data.size() + static_cast<std::size_t>(n) > maxSize) {
            error = EFBIG;
            ::close(fd);
            return false;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool FileLock::Acquire(const std::filesystem::path& lockFile, std::string& error,
                       mode_t folderMode) {
    if (!CreateDirectories(lockFile.parent_path(), folderMode, error)) return false;
    // Never through a link: a planted one would make us create or lock another file.
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error = "cannot open the lock file " + lockFile.string() + ": " +
                (errno == ELOOP ? std::string("it is a symbolic link") : ErrnoText(errno));
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
