// Runs a function in a forked child and collects how the child ended; pipes
// let parent and child tell each other where they are.
#pragma once

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

namespace tarvik::test {

class Pipe {
  public:
    Pipe() {
        if (::pipe(fds_) != 0) throw std::runtime_error("pipe failed");
    }
    ~Pipe() { CloseRead(), CloseWrite(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    void Send(char byte) { [[maybe_unused]] const ssize_t ignored = ::write(fds_[1], &byte, 1); }
    // The next byte, or 0 after `timeoutMs` or at end of stream.
    char Receive(int timeoutMs = 10000) {
        pollfd entry{fds_[0], POLLIN, 0};
        if (::poll(&entry, 1, timeoutMs) != 1) return 0;
        char byte = 0;
        return ::read(fds_[0], &byte, 1) == 1 ? byte : 0;
    }
    void CloseRead() { Close(fds_[0]); }
    void CloseWrite() { Close(fds_[1]); }

  private:
    static void Close(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    int fds_[2] = {-1, -1};
};

// Forks; the child runs `body` and exits with its result, without core files.
inline pid_t StartChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::_exit(body());
    }
    if (child < 0) throw std::runtime_error("fork failed");
    return child;
}

inline int WaitForChild(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return status;
}

}  // namespace tarvik::test
