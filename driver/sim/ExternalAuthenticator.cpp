#include "driver/sim/ExternalAuthenticator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/PeerCredentials.h"
#include "platform/UnixSocketAddress.h"

namespace tarvik::driver::sim {

namespace {

// Reads per poll, so a program that floods cannot stall the world.
constexpr int kMaxReadsPerPoll = 64;
// The largest packet read whole; a JSON command is far smaller.
constexpr std::size_t kMaxPacket = 8192;

std::string ParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// An empty packet reads as 0 bytes, as the end does: only a hang-up is the end.
bool PeerClosed(int fd) {
    pollfd entry{fd, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// Empty when `path` is free to bind (a stale socket removed); else why not.
std::string ClearPath(const std::string& path, const sockaddr_un& address) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {};

    if (S_ISLNK(info.st_mode)) return path + " is a symbolic link";
    if (!S_ISSOCK(info.st_mode)) return path + " exists and is not a socket";
    if (info.st_uid != ::geteuid()) return path + " is another user's socket";
    if (IsUnixSocketLive(address, SOCK_SEQPACKET)) return path + " is served by another program";
    ::unlink(path.c_str());
    return {};
}

// Binds under a temporary name, makes the socket 0600 whatever the umask,
// and only then links it to `path`. Returns the listening socket or -1.
int BindPrivately(const std::string& path, std::string& error) {
    const std::string fresh = path + ".new";
    sockaddr_un address{};
    FillUnixAddress(fresh, address);
    ::unlink(fresh.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    bool ok =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ok = ok && ::chmod(fresh.c_str(), 0600) == 0 && ::listen(fd, 4) == 0 &&
         ::link(fresh.c_str(), path.c_str()) == 0;
    const int reason = errno;
    ::unlink(fresh.c_str());
    if (!ok) {
        error = "cannot listen on " + path + ": " + std::strerror(reason);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<CExternalAuthenticator> CExternalAuthenticator::Open(const std::string& path,
                                                                     std::string& error) {
    sockaddr_un address{};
    if (!FillUnixAddress(path + ".new", address) || !FillUnixAddress(path, address)) {
        error = "socket path is empty or too long: " + path;
        return nullptr;
    }
    // The program trusts the socket by its name: nobody else may be able to
    // put one there.
    if (std::string why = CheckPrivateFolder(ParentFolder(path), ::geteuid()); !why.empty()) {
        error = "refusing an unsafe folder: " + why;
        return nullptr;
    }
    if (std::string why = ClearPath(path, address); !why.empty()) {
        error = "refusing to listen: " + why;
        return nullptr;
    }
    const int fd = BindPrivately(path, error);
    if (fd < 0) return nullptr;
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return std::unique_ptr<CExternalAuthenticator>(
        new CExternalAuthenticator(path, fd, info.st_dev, info.st_ino));
}

CExternalAuthenticator::CExternalAuthenticator(std::string path, int listenFd, dev_t device,
                                               ino_t inode)
    : path_(std::move(path)), listenFd_(listenFd), device_(device), inode_(inode) {}

CExternalAuthenticator::~CExternalAuthenticator() {
    if (programFd_ >= 0) ::close(programFd_);
    ::close(listenFd_);
    // Only the socket Open() made; someone may have replaced it since.
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
        ::unlink(path_.c_str());
    }
}

void CExternalAuthenticator::Log(const std::string& what) const {
    std::fprintf(stderr, "tarvik-driverd: authenticator %s: %s\n", path_.c_str(), what.c_str());
}

void CExternalAuthenticator::Poll() {
    Accept();
    Receive();
    Flush();
}

void CExternalAuthenticator::Accept() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        std::string why;
        if (programFd_ >= 0) {
            Log("a second program was refused");
            ::close(fd);
        } else if (!PeerIsUserOrRoot(fd, why)) {
            Log("program refused: " + why);
            ::close(fd);
        } else {
            programFd_ = fd;
            inbound_.clear();
            outbound_.clear();
        }
    }
}

void CExternalAuthenticator::Receive() {
    std::vector<std::uint8_t> buffer(kMaxPacket);
    for (int read = 0; read < kMaxReadsPerPoll && programFd_ >= 0; ++read) {
        const ssize_t n = ::recv(programFd_, buffer.data(), buffer.size(), MSG_TRUNC);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        if (n < 0) return DropProgram(std::strerror(errno));
        if (n == 0 && PeerClosed(programFd_)) return DropProgram("the program disconnected");
        if (n == 0) {
            Log("dropped an empty packet");
            continue;
        }
        if (static_cast<std::size_t>(n) > buffer.size()) {
            Log("dropped a packet of " + std::to_string(n) + " bytes: too long");
            continue;
        }
        Take(std::span(buffer).first(static_cast<std::size_t>(n)));
    }
}

void CExternalAuthenticator::Take(std::span<const std::uint8_t> packet) {
    const std::span<const std::uint8_t> content = packet.subspan(1);
    switch (packet[0]) {
        case 'E':
            if (content.size() < 14 || content.size() > kMaxFrame) {
                Log("dropped a frame of " + std::to_string(content.size()) + " bytes");
                return;
            }
            Queue({Inbound::Kind::Frame, {content.begin(), content.end()}});
            return;
        case 'J':
            TakeCommand(content);
            return;
        default:
            Log("dropped a packet of unknown type " + std::to_string(packet[0]));
    }
}

void CExternalAuthenticator::TakeCommand(std::span<const std::uint8_t> text) {
    const auto json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    const auto command = json.is_object() ? json.find("command") : json.end();
    if (json.is_object() && command != json.end() && command->is_string()) {
        if (*command == "authorized") return Queue({Inbound::Kind::Authorized, {}});
        if (*command == "deauthenticate") return Queue({Inbound::Kind::Deauthenticate, {}});
    }
    Log("dropped a packet that is no known command");
}

void CExternalAuthenticator::Queue(Inbound inbound) {
    if (!claimed_) {
        Log("dropped a packet: no station is associated");
        return;
    }
    if (inbound_.size() >= kMaxQueued) {
        Log("dropped a packet: too many waiting for the station");
        return;
    }
    inbound_.push_back(std::move(inbound));
}

void CExternalAuthenticator::DropProgram(const std::string& why) {
    Log(why);
    ::close(programFd_);
    programFd_ = -1;
    outbound_.clear();
    droppedOutbound_ = 0;
    inbound_.clear();
    // The station loses its access point with the program.
    if (claimed_) inbound_.push_back({Inbound::Kind::Gone, {}});
}

void CExternalAuthenticator::Claim() {
    claimed_ = true;
    inbound_.clear();
}

void CExternalAuthenticator::Release() {
    claimed_ = false;
    inbound_.clear();
}

std::optional<CExternalAuthenticator::Inbound> CExternalAuthenticator::TakeInbound() {
    if (inbound_.empty()) return std::nullopt;
    Inbound inbound = std::move(inbound_.front());
    inbound_.pop_front();
    return inbound;
}

void CExternalAuthenticator::SendFrame(std::span<const std::uint8_t> frame) {
    std::vector<std::uint8_t> packet{'E'};
    packet.insert(packet.end(), frame.begin(), frame.end());
    Send(std::move(packet));
}

void CExternalAuthenticator::SendEvent(const std::string& json) {
    std::vector<std::uint8_t> packet{'J'};
    packet.insert(packet.end(), json.begin(), json.end());
    Send(std::move(packet));
}

void CExternalAuthenticator::Send(std::vector<std::uint8_t> packet) {
    if (programFd_ < 0) return;
    if (outbound_.size() >= kMaxQueued) {
        // One line for a run of drops, not one each.
        if (droppedOutbound_++ == 0) Log("the program does not read: dropping packets for it");
        return;
    }
    outbound_.push_back(std::move(packet));
    Flush();
}

void CExternalAuthenticator::Flush() {
    while (programFd_ >= 0 && !outbound_.empty()) {
        const auto& packet = outbound_.front();
        const ssize_t n = ::send(programFd_, packet.data(), packet.size(), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        if (n < 0) return DropProgram(std::strerror(errno));
        outbound_.pop_front();
    }
    if (outbound_.empty() && droppedOutbound_ > 0) {
        Log("the program reads again; " + std::to_string(droppedOutbound_) + " packets dropped");
        droppedOutbound_ = 0;
    }
}

}  // namespace tarvik::driver::sim
