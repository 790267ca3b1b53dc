// Small POSIX file helpers for files that are replaced whole: identity checks,
// folder creation, atomic replacement and an exclusive lock file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik {

// What distinguishes one version of a file from another without reading it.
struct FileIdentity {
    int error = 0;  // errno of the failed stat, ENOENT when the file is missing
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;

    bool Exists() const { return error == 0; }
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity StatIdentity(const std::filesystem::path& file);
FileIdentity DescriptorIdentity(int fd);
std::int64_t RealtimeNs();
std::string ErrnoText(int error);

// Creates the folder and its missing parents with the given mode.
bool CreateDirectories(const std::filesystem::path& dir, mode_t mode, std::string& error);

// Writes a temporary file beside `file`, flushes it to disk, gives it `mode` and
// renames it over `file`; the folder is created when missing. On failure the old
// file is untouched and no temporary file remains.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data, mode_t mode,
                         std::string& error, FileIdentity* written = nullptr);

// Reads the whole file; false with errno-style `error` set on failure.
bool ReadWholeFile(const std::filesystem::path& file, std::string& data, int& error,
                   FileIdentity* identity = nullptr);

// An exclusive flock(2) on a lock file, held until destruction. Separate objects
// exclude each other also within one process.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the lock file (and its folder) when missing; blocks until locked.
    bool Acquire(const std::filesystem::path& lockFile, std::string& error);

  private:
    int fd_ = -1;
};

}  // namespace tarvik
