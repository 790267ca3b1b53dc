// Notices changes that anyone makes to one file, through inotify, so that a
// change keeping the file's size and time stamps (within their granularity)
// is still seen. The owner discards the events of its own writes.
#pragma once

#include <sys/types.h>

#include <filesystem>

namespace tarvik {

class FileChangeWatch {
  public:
    FileChangeWatch() = default;
    ~FileChangeWatch();
    FileChangeWatch(const FileChangeWatch&) = delete;
    FileChangeWatch& operator=(const FileChangeWatch&) = delete;

    // Watches the file `path` now names (device and inode as given), then
    // forgets every event so far. Without inotify the watch stays inactive.
    void Follow(const std::filesystem::path& path, dev_t device, ino_t inode);

    // True while a file is watched and inotify is available.
    bool Active() const { return watch_ >= 0; }

    // True when the watched file was modified, truncated, had its attributes
    // changed, or was moved or deleted since the last Follow or call. Consumes
    // the events; a lost watch counts as a change and ends the watch. False
    // while inactive.
    bool Changed();

  private:
    void Close();

    int notify_ = -1;
    int watch_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace tarvik
