// A lock that says who holds it: an flock()ed file in a private folder whose
// content names the holding process ("<pid> <program>"). The kernel drops the
// lock when its holder dies, so a file left behind never blocks anyone; the
// name it still holds is overwritten by the next holder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik {

enum class LockOutcome {
    Taken,          // ours until Release() or destruction
    HeldElsewhere,  // another open file (usually another process) holds it
    Unavailable,    // the folder or file cannot be used; FailureText() says why
};

struct LockHolder {
    long pid = 0;  // 0 when the holder has not written its name (yet)
    std::string program;
};

// Creates `folder` (0700) when missing; empty when it is a real folder of
// this user that nobody else may write to, else why not.
std::string PreparePrivateFolder(const std::filesystem::path& folder);

// What a lock file says about its holder; pid 0 when it says nothing usable.
LockHolder ReadLockHolder(const std::filesystem::path& path);

class CHolderLock {
  public:
    CHolderLock() = default;
    ~CHolderLock() { Release(); }
    CHolderLock(const CHolderLock&) = delete;
    CHolderLock& operator=(const CHolderLock&) = delete;

    // Takes the lock at `path` (its folder must be private), releasing any
    // other lock this object held; the file then names this process and
    // `program`. Taking the lock already held is Taken again.
    LockOutcome Take(const std::filesystem::path& path, std::string_view program);
    // Empties the file and drops the lock.
    void Release();

    bool IsHeld() const { return fd_ >= 0; }
    const std::filesystem::path& Path() const { return path_; }
    const std::string& FailureText() const { return failure_; }

  private:
    int fd_ = -1;
    std::filesystem::path path_;
    std::string failure_;
};

}  // namespace tarvik
