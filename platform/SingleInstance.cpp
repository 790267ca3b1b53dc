#include "platform/SingleInstance.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/PeerCredentials.h"

namespace tarvik {
namespace {

constexpr const char* kLockFileName = "instance.lock";
constexpr const char* kSocketFileName = "instance.sock";
// A client that has not sent its whole request by then is dropped, so one
// stuck peer cannot hold the listener.
constexpr int kClientReadTimeoutMs = 200;
constexpr std::size_t kMaxRequestBytes = 256;

std::string RequestLine() {
    return std::string(kInstanceSearchMessage) + "\n";
}

std::int64_t NowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits for `events` on `fd` until `deadlineMs` (monotonic). False on time-out or error.
bool WaitFor(int fd, short events, std::int64_t deadlineMs) {
    for (;;) {
        const std::int64_t left = deadlineMs - NowMs();
        if (left <= 0) return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) return (entry.revents & events) != 0;
        if (ready == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool SendAll(int fd, std::string_view data, std::int64_t deadlineMs) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, deadlineMs)) return false;
        } else {
            return false;
        }
    }
    return true;
}

// Reads until `expected` has arrived whole. False on a mismatch, end of
// stream, an error or the deadline.
bool ReceiveExactly(int fd, std::string_view expected, std::int64_t deadlineMs) {
    std::string received;
    char buffer[kMaxRequestBytes];
    while (received.size() < expected.size()) {
        if (!WaitFor(fd, POLLIN, deadlineMs)) return false;
        const std::size_t want = std::min(sizeof buffer, expected.size() - received.size());
        const ssize_t got = ::recv(fd, buffer, want, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (got <= 0) return false;
        received.append(buffer, static_cast<std::size_t>(got));
        if (expected.compare(0, received.size(), received) != 0) return false;
    }
    return true;
}

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

// Only processes of our own user may ask us anything.
bool PeerIsOurUser(int fd) {
    PeerCredentials peer;
    return ReadPeerCredentials(fd, peer) && IsTrustedPeer(peer, ::getuid(), false);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::filesystem::path DefaultInstanceFolder() {
    if (const char* folder = std::getenv("TARVIK_INSTANCE_DIR"); folder && *folder) return folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::filesystem::path(runtime) / "tarvik";
    }
    return "/tmp/tarvik-" + std::to_string(::getuid());
}

CSingleInstance::CSingleInstance(std::filesystem::path folder) : folder_(std::move(folder)) {}

CSingleInstance::~CSingleInstance() {
    if (listener_.joinable()) {
        const char wake = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &wake, 1);
        listener_.join();
    }
    if (listenFd_ >= 0) ::unlink(SocketPath().c_str());
    CloseFd(listenFd_);
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
    CloseFd(lockFd_);
}

std::filesystem::path CSingleInstance::LockPath() const {
    return folder_ / kLockFileName;
}
std::filesystem::path CSingleInstance::SocketPath() const {
    return folder_ / kSocketFileName;
}

// Creates the folder (0700) and checks that it is a real folder of ours that
// nobody else may write to: the socket in it is trusted by name.
bool CSingleInstance::PrepareFolder() {
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
        failure_ = "Cannot create " + folder_.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!CheckPrivateFolder(folder_.string(), ::getuid()).empty()) {
        failure_ = folder_.string() + " is not a private folder of this user.";
        return false;
    }
    return true;
}

bool CSingleInstance::Acquire(std::function<void()> onShowRequest) {
    SetShowRequestHandler(std::move(onShowRequest));
    if (lockFd_ >= 0) return true;  // asked again: the lock is still ours
    if (!PrepareFolder()) return true;

    lockFd_ = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        failure_ = "Cannot open " + LockPath().string() + ": " + std::strerror(errno);
        return true;
    }
    int locked;
    do {
        locked = ::flock(lockFd_, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        CloseFd(lockFd_);
        if (error == EWOULDBLOCK) return false;
        failure_ = "Cannot lock " + LockPath().string() + ": " + std::strerror(error);
        return true;
    }
    StartListener();
    return true;
}

void CSingleInstance::SetShowRequestHandler(std::function<void()> onShowRequest) {
    std::lock_guard<std::mutex> lock(handlerMutex_);
    onShowRequest_ = std::move(onShowRequest);
}

bool CSingleInstance::StartListener() {
    sockaddr_un address{};
    if (!FillAddress(SocketPath(), address)) {
        failure_ = "The socket path " + SocketPath().string() + " is too long.";
        return false;
    }
    // We hold the lock, so a socket file here is a dead copy's leftover.
    ::unlink(SocketPath().c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int pipeFds[2];
    if (listenFd_ < 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        failure_ = std::string("Cannot create the instance socket: ") + std::strerror(errno);
        CloseFd(listenFd_);
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 8) != 0) {
        failure_ = "Cannot listen on " + SocketPath().string() + ": " + std::strerror(errno);
        CloseFd(listenFd_);
        return false;
    }
    listener_ = std::thread([this] { Listen(); });
    return true;
}

void CSingleInstance::Listen() {
    for (;;) {
        pollfd entries[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || entries[1].revents != 0) return;
        if ((entries[0].revents & POLLIN) == 0) continue;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) continue;
        Serve(client);
        ::close(client);
    }
}

void CSingleInstance::Serve(int client) {
    if (!PeerIsOurUser(client)) return;
    const std::string token = RequestLine();
    if (!ReceiveExactly(client, token, NowMs() + kClientReadTimeoutMs)) return;
    // Answer first so the asking copy is not kept waiting by the handler.
    SendAll(client, token, NowMs() + kClientReadTimeoutMs);
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex_);
        handler = onShowRequest_;
    }
    if (handler) handler();
}

bool CSingleInstance::RequestShow() const {
    const std::int64_t deadline = NowMs() + kInstanceAnswerTimeout.count();
    sockaddr_un address{};
    if (!FillAddress(SocketPath(), address)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    bool answered = false;
    int connected;
    do {
        connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (connected != 0 && errno == EINTR);
    // A full backlog makes a non-blocking Unix connect fail with EAGAIN: no answer.
    if (connected == 0 && PeerIsOurUser(fd)) {
        const std::string token = RequestLine();
        answered = SendAll(fd, token, deadline) && ReceiveExactly(fd, token, deadline);
    }
    ::close(fd);
    return answered;
}

}  // namespace tarvik
