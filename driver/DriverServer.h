// tarvik-driverd's socket server: serves the driver device on a Unix stream
// socket to the clients of its own user (and root), one handle per
// connection, and runs the backend's world between requests. Single-threaded:
// one poll loop accepts clients, decodes requests, calls the backend, ticks it
// at its deadline and delivers read completions and events.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "driver/Backend.h"
#include "driver/DeviceControl.h"
#include "platform/driverio/DriverProtocol.h"

namespace tarvik::driver {

struct ServerLimits {
    std::size_t maxClients = 256;
    std::size_t maxPendingReads = 64;  // per handle
    std::size_t maxQueuedFrames = 32;  // received while no read was pending
    // Replies and events a client has not read yet; past this it is dropped.
    // Room for one reply of the largest size (a city-sized network list) plus
    // 4 MiB of others, so a client that reads is never dropped for one reply.
    std::size_t maxClientBacklog = driverio::kMaxMessageSize + (4u << 20);
    // Request and reply bytes of all clients together; at this no client's
    // requests are read until the backlogs drain.
    std::size_t maxTotalQueued = 64u << 20;
    // A connection that has not opened a handle this long after connecting,
    // or that leaves a request half sent or its replies unread this long, is
    // closed. Open handles with nothing outstanding may stay quiet for ever.
    std::chrono::milliseconds idleTimeout{10000};
};

class DriverServer final : private IBackendSink {
  public:
    explicit DriverServer(IBackend& backend, ServerLimits limits = {});
    ~DriverServer() override;
    DriverServer(const DriverServer&) = delete;
    DriverServer& operator=(const DriverServer&) = delete;

    // Binds the socket (mode 0600), creating its folder (mode 0700) when
    // missing. A folder that is not this user's own or that others may write
    // to is an error. A stale socket file is replaced; a live one (another
    // daemon) or a file that is no socket is an error.
    bool Listen(const std::string& path, std::string& error);
    // Serves until Stop(); removes the socket file on the way out, unless it
    // is no longer the one Listen() made.
    void Run();
    // Async-signal-safe and thread-safe: makes Run() return.
    void Stop();

    // The most bytes all clients together had queued at once; any thread.
    std::size_t PeakQueued() const { return peakQueued_.load(); }

  private:
    struct PendingRead {
        std::uint32_t id;
        std::uint32_t capacity;
    };
    struct Client {
        int fd = -1;
        bool dead = false;
        bool subscribed = false;
        Clock::time_point connected;
        Clock::time_point lastProgress;  // last byte received or sent
        HandleState handle;
        driverio::FrameBuffer input;
        std::vector<std::uint8_t> output;
        std::size_t outputSent = 0;
        std::deque<PendingRead> reads;
        std::deque<std::vector<std::uint8_t>> frames;
    };

    void ServeOnce();
    void ServeClient(Client& client, short revents);
    void Accept();
    void Receive(Client& client);
    void ProcessInput(Client& client);
    void Flush(Client& client);
    void Send(Client& client, const driverio::Message& message);
    void Reply(Client& client, std::uint32_t id, std::uint32_t status, std::uint32_t count = 0,
               std::vector<std::uint8_t> data = {}, std::uint8_t flag = 0);
    void HandleBody(Client& client, std::span<const std::uint8_t> body);
    void Handle(Client& client, driverio::Message& request);
    void HandleOpen(Client& client, const driverio::Message& request);
    void HandleReadPost(Client& client, const driverio::Message& request);
    void HandleWrite(Client& client, const driverio::Message& request);
    void HandleIpConfig(Client& client, const driverio::Message& request);
    void CompleteRead(Client& client, const PendingRead& read, std::span<const std::uint8_t> frame);
    void CancelReads(Client& client);
    void CloseClient(Client& client);
    void CloseIdleClients(Clock::time_point now);
    void RemoveDeadClients();
    void RemoveSocketFile();
    bool BindPrivately(const std::string& path, std::string& error);

    static std::size_t Backlog(const Client& client);
    std::size_t TotalQueued() const;
    void NoteQueued();
    bool ReadsPaused(const Client& client) const;
    // When the daemon stops waiting on `client`; max() when it does not wait.
    Clock::time_point IdleDeadline(const Client& client) const;
    Clock::time_point NextWake() const;

    void OnFrameReceived(const std::string& deviceName,
                         std::span<const std::uint8_t> frame) override;
    void OnMediaEvent(const std::string& deviceName, const std::string& instanceName,
                      bool connected) override;
    void OnAddressChanged(const std::string& deviceName) override;

    IBackend& backend_;
    ServerLimits limits_;
    std::string path_;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    bool stopping_ = false;
    dev_t socketDevice_ = 0;  // the socket file Listen() made
    ino_t socketInode_ = 0;
    std::vector<std::unique_ptr<Client>> clients_;
    std::atomic<std::size_t> peakQueued_{0};
};

}  // namespace tarvik::driver
