// Unix socket paths as the daemon's sockets use them: the address of a path,
// and whether some program still listens there (a stale socket file of a
// process that died answers nobody).
#pragma once

#include <sys/un.h>

#include <string>

namespace tarvik {

// False when `path` is empty or does not fit sun_path (terminator included).
bool FillUnixAddress(const std::string& path, sockaddr_un& address);
// True when a connect of a socket of `type` (SOCK_STREAM, SOCK_SEQPACKET) succeeds.
bool IsUnixSocketLive(const sockaddr_un& address, int type);

}  // namespace tarvik
