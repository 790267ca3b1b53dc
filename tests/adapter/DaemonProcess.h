// tarvik-driverd started as a child process on a socket in a temporary
// folder, with a scenario; stopped with SIGTERM at the end. It can be
// frozen (SIGSTOP) and restarted on the same socket.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::testing {

inline std::string DaemonPath() {
    return std::string(TARVIK_BINARY_DIR) + "/bin/tarvik-driverd";
}

inline std::string ScenarioPath(const std::string& name) {
    return std::string(TARVIK_SOURCE_DIR) + "/tests/adapter/scenarios/" + name;
}

class DaemonProcess {
  public:
    explicit DaemonProcess(const std::string& scenario) : scenario_(scenario) {
        char pattern[] = "/tmp/tarvik-daemon-test-XXXXXX";
        folder_ = mkdtemp(pattern);
        socketPath_ = folder_ + "/driver.sock";
        Start();
    }
    ~DaemonProcess() {
        Stop();
        unsetenv("TARVIK_DRIVER_SOCKET");
        std::filesystem::remove_all(folder_);
    }
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    bool ready() const { return ready_; }
    const std::string& socketPath() const { return socketPath_; }

    // SIGTERM and wait; the exit status, or -1 when it did not exit normally.
    int Stop() {
        if (pid_ <= 0) return exitStatus_;
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exitStatus_;
    }
    // A new daemon on the same socket; ready() tells whether it answers.
    void Restart() {
        Stop();
        ready_ = false;
        Start();
    }
    void Freeze() { kill(pid_, SIGSTOP); }
    void Thaw() { kill(pid_, SIGCONT); }

  private:
    void Start() {
        // An empty scenario leaves the daemon to its bundled world.
        std::vector<const char*> argv{"tarvik-driverd", "--socket", socketPath_.c_str()};
        if (!scenario_.empty()) argv.insert(argv.end(), {"--scenario", scenario_.c_str()});
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            execv(DaemonPath().c_str(), const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        setenv("TARVIK_DRIVER_SOCKET", socketPath_.c_str(), 1);
        // Ready once the socket answers; give up after ten seconds.
        for (int i = 0; i < 200 && !ready_; ++i) {
            ready_ = Answers();
            if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    bool Answers() const {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath_.c_str(), sizeof(address.sun_path) - 1);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        close(fd);
        return ok;
    }

    std::string scenario_;
    std::string folder_;
    std::string socketPath_;
    pid_t pid_ = -1;
    bool ready_ = false;
    int exitStatus_ = -1;
};

}  // namespace tarvik::testing
