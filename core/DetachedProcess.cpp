#include "core/DetachedProcess.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik {
namespace {

// Runs in the forked grandchild, so only async-signal-safe calls.
[[noreturn]] void ExecGrandchild(char* const argv[], int errorPipe) {
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        if (devNull > STDERR_FILENO) ::close(devNull);
    }
    // Keep our other descriptors (sockets, the hive) out of the program.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(argv[0], argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

int SpawnDetached(const std::string& program, const std::vector<std::string>& arguments) {
    // Everything the children need is prepared before fork.
    std::vector<std::string> strings;
    strings.reserve(arguments.size() + 1);
    strings.push_back(program);
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (close-on-exec), which the parent reads as end of file.
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) return errno;

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        return error;
    }
    if (child == 0) {
        ::close(errorPipe[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) ExecGrandchild(argv.data(), errorPipe[1]);
        if (grandchild < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(errorPipe[1], &error, sizeof error);
        }
        ::_exit(0);
    }

    ::close(errorPipe[1]);
    // The intermediate child exits at once; reaping it leaves the program to init.
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    do {
        n = ::read(errorPipe[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace tarvik
