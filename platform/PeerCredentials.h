// Who sits at the other end of a local socket, and whether a socket may be
// trusted by its path. Shared by the single-instance lock and the driver
// channel: both must only talk to their own user (or root).
#pragma once

#include <sys/types.h>

#include <string>

namespace tarvik {

struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

// The kernel's record of the process that connected (or listens on) `fd`.
bool ReadPeerCredentials(int fd, PeerCredentials& out);

// A peer is trusted when it runs as `self`, or as root when `rootToo`.
bool IsTrustedPeer(const PeerCredentials& peer, uid_t self, bool rootToo);

// True when `fd`'s peer is this process's user or root. `why` says otherwise.
bool PeerIsUserOrRoot(int fd, std::string& why);

// Empty when `folder` is a real folder (no link) owned by `owner` that
// nobody else may write to, so the names in it can be trusted; else why not.
std::string CheckPrivateFolder(const std::string& folder, uid_t owner);

}  // namespace tarvik
