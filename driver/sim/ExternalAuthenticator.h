// An access point's side handed to another program over a Unix
// SOCK_SEQPACKET socket. Each packet is one type byte and its content:
// 'E' and a whole Ethernet frame, or 'J' and one JSON object. The daemon
// sends the station's frames and the events of the association (associated,
// disassociated, every key the station installs); the program sends frames
// for the station and the commands "authorized" and "deauthenticate".
//
// One program at a time; the socket is polled without blocking from the
// world's one thread, so nothing here needs a lock. Both directions are
// bounded: what does not fit is dropped with a log line.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/Backend.h"

namespace tarvik::driver::sim {

class CExternalAuthenticator {
  public:
    // The largest Ethernet frame the program may send.
    static constexpr std::size_t kMaxFrame = 2400;
    // Packets kept for a program that does not read, and received ones not
    // yet taken by the station's session.
    static constexpr std::size_t kMaxQueued = 256;

    struct Inbound {
        enum class Kind { Frame, Authorized, Deauthenticate, Gone } kind;
        std::vector<std::uint8_t> frame;
    };

    // Listens on `path` (mode 0600) in a folder this user owns that nobody
    // else may write to. A symbolic link or a file that is no socket at
    // `path` is refused; a stale socket is replaced. Nothing on failure.
    static std::unique_ptr<CExternalAuthenticator> Open(const std::string& path,
                                                        std::string& error);
    ~CExternalAuthenticator();
    CExternalAuthenticator(const CExternalAuthenticator&) = delete;
    CExternalAuthenticator& operator=(const CExternalAuthenticator&) = delete;

    // Accepts a program, reads what it sent and sends what is queued.
    void Poll();
    bool HasProgram() const { return programFd_ >= 0; }

    // One station at a time talks to the program.
    bool IsClaimed() const { return claimed_; }
    void Claim();
    void Release();
    std::optional<Inbound> TakeInbound();

    void SendFrame(std::span<const std::uint8_t> frame);
    void SendEvent(const std::string& json);

  private:
    CExternalAuthenticator(std::string path, int listenFd, dev_t device, ino_t inode);
    void Accept();
    void Receive();
    void Take(std::span<const std::uint8_t> packet);
    void TakeCommand(std::span<const std::uint8_t> text);
    void Queue(Inbound inbound);
    void Send(std::vector<std::uint8_t> packet);
    void Flush();
    void DropProgram(const std::string& why);
    void Log(const std::string& what) const;

    std::string path_;
    int listenFd_ = -1;
    int programFd_ = -1;
    dev_t device_ = 0;  // the socket file Open() made
    ino_t inode_ = 0;
    bool claimed_ = false;
    std::deque<Inbound> inbound_;
    std::deque<std::vector<std::uint8_t>> outbound_;
    std::size_t droppedOutbound_ = 0;  // since the queue was last full
};

}  // namespace tarvik::driver::sim
