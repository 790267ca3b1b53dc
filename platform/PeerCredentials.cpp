#include "platform/PeerCredentials.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvik {

bool ReadPeerCredentials(int fd, PeerCredentials& out) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials) {
        return false;
    }
    out.pid = credentials.pid;
    out.uid = credentials.uid;
    out.gid = credentials.gid;
    return true;
}

bool IsTrustedPeer(const PeerCredentials& peer, uid_t self, bool rootToo) {
    return peer.uid == self || (rootToo && peer.uid == 0);
}

bool PeerIsUserOrRoot(int fd, std::string& why) {
    PeerCredentials peer;
    if (!ReadPeerCredentials(fd, peer)) {
        why = std::string("its credentials cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (IsTrustedPeer(peer, ::geteuid(), true)) return true;
    why = "it runs as user " + std::to_string(peer.uid) + " (process " + std::to_string(peer.pid) +
          "), neither this user nor root";
    return false;
}

std::string CheckPrivateFolder(const std::string& folder, uid_t owner) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return folder + " cannot be examined: " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
    if (info.st_uid != owner) {
        return folder + " belongs to user " + std::to_string(info.st_uid) + ", not to user " +
               std::to_string(owner);
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return folder + " is writable by others";
    return {};
}

}  // namespace tarvik
