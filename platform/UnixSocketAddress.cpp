#include "platform/UnixSocketAddress.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace tarvik {

bool FillUnixAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool IsUnixSocketLive(const sockaddr_un& address, int type) {
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool live =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return live;
}

}  // namespace tarvik
