// Small POSIX file helpers for files that are replaced whole: identity checks,
// folder creation, atomic replacement and an exclusive lock file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik {

// Registry files are small; anything larger is refused rather than read into memory.
inline constexpr std::size_t kMaxReadSize = 64u << 20;

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

// The mode for a folder holding a file of `fileMode`: search and read for whoever
// may read the file, and everything for the owner.
mode_t FolderModeFor(mode_t fileMode);

// Creates the folder and its missing parents with the given mode (umask aside).
bool CreateDirectories(const std::filesystem::path& dir, mode_t mode, std::string& error);

// Writes a temporary file "<file>.tmp-XXXXXX" beside `file`, flushes it to disk,
// gives it `mode` (whatever the umask) and renames it over `file`; missing folders are
// created, readable by those who may read the file. When `file` is a symbolic link the
// link stays and its final target is replaced, with the temporary file in the target's
// folder. On failure the old file is untouched and no temporary file remains. After a
// success, temporaries of the same target abandoned by a crash are removed
// (RemoveAbandonedTemporaryFiles).
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data, mode_t mode,
                         std::string& error, FileIdentity* written = nullptr);

// The process's umask, read without changing it (0077, the private choice, when it
// cannot be read).
mode_t CurrentUmask();

// The mode for saving a user's document at `file`: the mode of the regular file it
// replaces (a link followed), else 0666 less the umask, as a new file gets.
mode_t DocumentMode(const std::filesystem::path& file);

// The file a chain of symbolic links at `file` ends in (`file` itself when it is no
// link; the target need not exist). False with `error` set for a loop, and for a
// link that another user owns in a sticky folder everyone may write to (/tmp), which
// would let them point our save at any file of ours.
bool ResolveLinks(const std::filesystem::path& file, std::filesystem::path& target,
                  std::string& error);

// Deletes the temporary files WriteFileAtomically leaves when a writer of `file` is
// killed, whatever their age (the same checks as below otherwise). Only for callers
// that hold the file's lock, so no writer is running.
void RemoveStaleTemporaryFiles(const std::filesystem::path& file);

// Temporaries of `target` ("<target>.tmp-" and six letters or digits) that a writer
// killed during a save left behind: regular files (a symbolic link is never followed nor
// removed) of this process's user last written more than `minimumAgeSeconds` ago, so a
// save still running elsewhere keeps its file. Returns how many were removed.
inline constexpr std::int64_t kAbandonedTemporaryAgeSeconds = 60;
std::size_t RemoveAbandonedTemporaryFiles(
    const std::filesystem::path& target,
    std::int64_t minimumAgeSeconds = kAbandonedTemporaryAgeSeconds);

// Reads the whole file; false with errno-style `error` set on failure (EFBIG when
// the file holds more than `maxSize` bytes).
bool ReadWholeFile(const std::filesystem::path& file, std::string& data, int& error,
                   FileIdentity* identity = nullptr, std::size_t maxSize = kMaxReadSize);

// An exclusive flock(2) on a lock file, held until destruction. Separate objects
// exclude each other also within one process.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the lock file (and its folder) when missing; blocks until locked.
    // A symbolic link in the lock file's place is refused.
    bool Acquire(const std::filesystem::path& lockFile, std::string& error,
                 mode_t folderMode = 0700);

  private:
    int fd_ = -1;
};

}  // namespace tarvik
