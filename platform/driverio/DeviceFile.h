// The client side of the driver device: a handle opened by Windows device
// name on which control requests, asynchronous frame reads, frame writes,
// cancellation, event subscription, IP Helper and service requests run.
//
// One handle is one connection to tarvik-driverd. Any number of threads may
// use one handle at once; a private receive thread routes replies to their
// callers, queues read completions to the thread that posted the read (they
// run when that thread waits alertably, see ApcQueue.h) and calls the event
// callback. Callbacks must not close the handle they come from.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/driverio/ApcQueue.h"
#include "platform/driverio/DriverProtocol.h"

namespace tarvik::driverio {

struct DriverEvent {
    // LinkDown: the daemon went away (the handle did not close it).
    enum class Kind { MediaConnect, MediaDisconnect, AddressChange, LinkDown };
    Kind kind = Kind::MediaConnect;
    std::string name;    // media: instance name; address change: device name
    std::string device;  // media: the adapter's device name
};

class CDeviceFile {
  public:
    // status: 0, or the Win32 error; `data` is the received frame.
    using ReadCompletion =
        std::function<void(std::uint32_t status, std::span<const std::uint8_t> data)>;
    using EventCallback = std::function<void(const DriverEvent&)>;

    // Opens a device by its Windows name (DriverSocketPath.h). On failure
    // returns null and sets `error`: ERROR_FILE_NOT_FOUND (2) when the name or
    // the daemon cannot be reached, ERROR_ACCESS_DENIED (5) when the socket is
    // served by a process of another user (not root; said on stderr), else
    // the daemon's refusal.
    static std::shared_ptr<CDeviceFile> Open(const std::string& windowsName, std::uint32_t& error);
    static std::shared_ptr<CDeviceFile> OpenAt(const std::string& socketPath, DeviceTarget target,
                                               const std::string& name, std::uint32_t& error);
    // A neutral handle for events, IP Helper and service requests, tried at
    // the per-user path first and the system path second.
    static std::shared_ptr<CDeviceFile> OpenControl(std::uint32_t& error);

    ~CDeviceFile();
    CDeviceFile(const CDeviceFile&) = delete;
    CDeviceFile& operator=(const CDeviceFile&) = delete;

    // Ends the connection. Reads still pending complete with
    // ERROR_OPERATION_ABORTED on their threads' queues. Idempotent.
    void Close();

    // DeviceIoControl: `output` receives at most `outCapacity` bytes;
    // `bytesReturned` the count the driver reported.
    std::uint32_t Control(std::uint32_t code, std::span<const std::uint8_t> input,
                          std::uint32_t outCapacity, std::vector<std::uint8_t>& output,
                          std::uint32_t& bytesReturned);
    // ReadFileEx: 0 when posted. The completion runs on the calling thread
    // the next time it waits alertably.
    std::uint32_t ReadAsync(std::uint32_t capacity, ReadCompletion completion);
    std::uint32_t Write(std::span<const std::uint8_t> frame, std::uint32_t& written);
    // Cancels every pending read of the handle; their completions (status
    // ERROR_OPERATION_ABORTED) are queued before this returns.
    std::uint32_t CancelIo();

    // Media events and address changes, delivered on the receive thread, and
    // one LinkDown when the daemon ends the connection.
    std::uint32_t Subscribe(EventCallback callback);
    std::uint32_t GetIpConfig(const std::string& deviceName, IpConfigRecord& config);
    std::uint32_t ReleaseAddress(const std::string& deviceName);
    std::uint32_t QueryService(bool& running);
    std::uint32_t StartService();
    std::uint32_t StopService();
    std::uint32_t GetNetworkCards(std::vector<NetworkCardRecord>& cards);

  private:
    struct PendingCall {
        bool done = false;
        Message reply;
    };
    struct PendingRead {
        std::shared_ptr<ApcQueue> queue;
        ReadCompletion completion;
    };

    explicit CDeviceFile(int fd);
    std::uint32_t Call(Message& request, Message& reply);
    bool Send(Message& request);  // assigns the id; false when the link is down
    void ReceiveLoop();
    void Dispatch(Message& message);
    void FailEverything();
    void CompleteRead(PendingRead read, std::uint32_t status, std::vector<std::uint8_t> data);

    int fd_;
    std::thread receiver_;
    std::mutex sendMutex_;  // one writer on the socket at a time

    std::mutex mutex_;  // guards everything below
    std::condition_variable replied_;
    bool linkUp_ = true;
    bool closed_ = false;
    // A call gave up waiting and nothing has come from the daemon since:
    // calls under a reply deadline (ReplyDeadline.h) fail at once meanwhile.
    bool overdue_ = false;
    std::uint32_t nextId_ = 1;
    std::map<std::uint32_t, PendingCall*> calls_;
    std::map<std::uint32_t, PendingRead> reads_;
    EventCallback events_;
};

}  // namespace tarvik::driverio
