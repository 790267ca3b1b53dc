// One running copy per user. The first copy holds an flock()ed lock file and
// listens on a Unix socket beside it; a later copy finds the lock taken, asks
// the running copy over the socket to show itself, and quits. The kernel
// drops the lock when its holder dies, so a socket file left behind by a
// crashed copy never makes a new copy believe another one runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tarvik {

// Names the lock ("mutex") and the request that a running copy answers.
inline constexpr const char* kInstanceMutexName = "Tarvik-{51D84BAC-D670-454d-99E5-A71B124E1C83}";
inline constexpr const char* kInstanceSearchMessage =
    "WM_PREVIOUS_INSTANCE_SEARCHER-{55C216F6-9723-46d4-8551-A9969B964FB8}";
// How long a second copy waits for the running copy's answer.
inline constexpr std::chrono::milliseconds kInstanceAnswerTimeout{200};

// $TARVIK_INSTANCE_DIR when set (tests), else $XDG_RUNTIME_DIR/tarvik, else
// /tmp/tarvik-<uid>.
std::filesystem::path DefaultInstanceFolder();

class CSingleInstance {
  public:
    explicit CSingleInstance(std::filesystem::path folder = DefaultInstanceFolder());
    // Stops the listener, removes the socket this copy owns and drops the lock.
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when no other copy runs: this copy then holds the lock and answers
    // "show yourself" requests, calling `onShowRequest` for each on the
    // listener thread (the GUI posts it to its own thread). Also true when the
    // folder or lock cannot be set up at all (FailureText() says why): a
    // broken lock must not keep the program from starting. False when
    // another copy holds the lock. Call once.
    bool Acquire(std::function<void()> onShowRequest = {});

    // Replaces the handler that Acquire() was given; safe from any thread.
    void SetShowRequestHandler(std::function<void()> onShowRequest);

    // For a copy whose Acquire() returned false: asks the running copy to show
    // itself and waits at most kInstanceAnswerTimeout for its answer. True
    // when it answered.
    bool RequestShow() const;

    // The lock is ours (Acquire returned true and the lock could be taken).
    bool OwnsLock() const { return lockFd_ >= 0; }
    // Why the lock or the listener could not be set up; empty when they were.
    const std::string& FailureText() const { return failure_; }

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path LockPath() const;
    std::filesystem::path SocketPath() const;

  private:
    bool PrepareFolder();
    bool StartListener();
    void Listen();
    void Serve(int client);

    std::filesystem::path folder_;
    std::string failure_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::thread listener_;
    mutable std::mutex handlerMutex_;
    std::function<void()> onShowRequest_;
};

}  // namespace tarvik
