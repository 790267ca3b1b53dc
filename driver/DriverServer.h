// tarvik-driverd's socket server: serves the driver device on a Unix stream
// socket to any number of clients, one handle per connection, and runs the
// backend's world between requests. Single-threaded: one poll loop accepts
// clients, decodes requests, calls the backend, ticks it at its deadline and
// delivers read completions and events.
#pragma once

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
    std::size_t maxPendingReads = 64;          // per handle
    std::size_t maxQueuedFrames = 32;          // received while no read was pending
    std::size_t maxOutputBacklog = 32u << 20;  // bytes a client has not read yet
};

class DriverServer final : private IBackendSink {
  public:
    explicit DriverServer(IBackend& backend, ServerLimits limits = {});
    ~DriverServer() override;
    DriverServer(const DriverServer&) = delete;
    DriverServer& operator=(const DriverServer&) = delete;

    // Binds the socket, creating its folder (mode 0700) when missing. A
    // stale socket file is replaced; a live one (another daemon) or a file
    // that is no socket is an error.
    bool Listen(const std::string& path, std::string& error);
    // Serves until Stop(); removes the socket file on the way out.
    void Run();
    // Async-signal-safe and thread-safe: makes Run() return.
    void Stop();

    std::size_t ClientCount() const { return clients_.size(); }

  private:
    struct PendingRead {
        std::uint32_t id;
        std::uint32_t capacity;
    };
    struct Client {
        int fd = -1;
        bool dead = false;
        bool subscribed = false;
        HandleState handle;
        driverio::FrameBuffer input;
        std::vector<std::uint8_t> output;
        std::size_t outputSent = 0;
        std::deque<PendingRead> reads;
        std::deque<std::vector<std::uint8_t>> frames;
    };

    void ServeOnce();
    void Accept();
    void Receive(Client& client);
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
    void RemoveDeadClients();
    void RemoveSocketFile();

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
    std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace tarvik::driver
