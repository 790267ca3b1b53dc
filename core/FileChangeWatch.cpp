#include "core/FileChangeWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik {
namespace {

// Reads do not count; closing after a write does not either (our own close
// comes after the events of a write are discarded).
constexpr std::uint32_t kChangeEvents = IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;

}  // namespace

FileChangeWatch::~FileChangeWatch() {
    Close();
}

void FileChangeWatch::Close() {
    if (notify_ >= 0) ::close(notify_);
    notify_ = -1;
    watch_ = -1;
}

void FileChangeWatch::Follow(const std::filesystem::path& path, dev_t device, ino_t inode) {
    if (notify_ < 0) {
        notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (notify_ < 0) return;  // no inotify: the owner relies on file status alone
    }
    if (watch_ < 0 || device != device_ || inode != inode_) {
        if (watch_ >= 0) ::inotify_rm_watch(notify_, watch_);
        watch_ = ::inotify_add_watch(notify_, path.c_str(), kChangeEvents);
        device_ = device;
        inode_ = inode;
    }
    Changed();  // forget the events of the owner's own write
}

bool FileChangeWatch::Changed() {
    if (notify_ < 0) return false;
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(notify_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EAGAIN: nothing more pending
        std::size_t offset = 0;
        while (offset + sizeof(inotify_event) <= static_cast<std::size_t>(n)) {
            inotify_event event;
            std::memcpy(&event, buffer + offset, sizeof event);
            if ((event.mask & IN_Q_OVERFLOW) != 0) changed = true;  // events were lost
            if (event.wd == watch_ && watch_ >= 0) {
                changed = true;
                if ((event.mask & IN_IGNORED) != 0) watch_ = -1;  // file gone or unmounted
            }
            offset += sizeof(inotify_event) + event.len;
        }
    }
    return changed;
}

}  // namespace tarvik
