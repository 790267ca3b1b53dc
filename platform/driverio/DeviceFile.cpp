#include "platform/driverio/DeviceFile.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/PeerCredentials.h"
#include "platform/driverio/DriverSocketPath.h"
#include "platform/driverio/ReplyDeadline.h"
#include "platform/driverio/Win32Status.h"

namespace tarvik::driverio {
namespace {

// A daemon that stops answering must not hang its callers forever.
constexpr auto kReplyTimeout = std::chrono::seconds(30);

// -1 when nothing answers at `path`; -2 when the answer comes from a process
// of another user, who could have put a fake driver there to catch the keys
// this program sets.
int ConnectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    std::string why;
    if (!PeerIsUserOrRoot(fd, why)) {
        std::fprintf(stderr, "tarvik: refusing the driver at %s: %s\n", path.c_str(), why.c_str());
        ::close(fd);
        return -2;
    }
    return fd;
}

bool SendAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::shared_ptr<CDeviceFile> CDeviceFile::Open(const std::string& windowsName,
                                               std::uint32_t& error) {
    DeviceAddress address;
    if (!ResolveDeviceName(windowsName, address)) {
        error = kStatusFileNotFound;
        return nullptr;
    }
    return OpenAt(address.socketPath, address.target, address.name, error);
}

std::shared_ptr<CDeviceFile> CDeviceFile::OpenControl(std::uint32_t& error) {
    auto file = OpenAt(UserSocketPath(), DeviceTarget::Control, "", error);
    if (!file) file = OpenAt(SystemSocketPath(), DeviceTarget::Control, "", error);
    return file;
}

std::shared_ptr<CDeviceFile> CDeviceFile::OpenAt(const std::string& socketPath, DeviceTarget target,
                                                 const std::string& name, std::uint32_t& error) {
    const int fd = ConnectTo(socketPath);
    if (fd < 0) {
        error = fd == -2 ? kStatusAccessDenied : kStatusFileNotFound;
        return nullptr;
    }
    std::shared_ptr<CDeviceFile> file(new CDeviceFile(fd));
    Message request;
    request.kind = MessageKind::Open;
    request.flag = static_cast<std::uint8_t>(target);
    request.text = name;
    Message reply;
    error = file->Call(request, reply);
    if (error != kStatusSuccess) return nullptr;
    return file;
}

CDeviceFile::CDeviceFile(int fd) : fd_(fd) {
    receiver_ = std::thread([this] { ReceiveLoop(); });
}

CDeviceFile::~CDeviceFile() {
    Close();
}

void CDeviceFile::Close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        closed_ = true;
    }
    ::shutdown(fd_, SHUT_RDWR);
    if (receiver_.joinable()) receiver_.join();
    ::close(fd_);
}

bool CDeviceFile::Send(Message& request) {
    std::vector<std::uint8_t> bytes;
    EncodeMessage(request, bytes);
    std::lock_guard lock(sendMutex_);
    return SendAll(fd_, bytes);
}

std::uint32_t CDeviceFile::Call(Message& request, Message& reply) {
    const auto bounded = ThreadReplyDeadline();
    auto until = std::chrono::steady_clock::now() + kReplyTimeout;
    if (bounded) until = std::min(until, *bounded);
    PendingCall call;
    {
        std::lock_guard lock(mutex_);
        if (!linkUp_ || closed_) return kStatusInvalidHandle;
        // Under a deadline that has passed, or while the daemon owes an
        // answer, the request is not sent at all.
        if (bounded && (overdue_ || std::chrono::steady_clock::now() >= until)) {
            NoteReplyDeadlineExpired();
            return kStatusTimeout;
        }
        request.id = nextId_++;
        calls_[request.id] = &call;
    }
    const bool sent = Send(request);
    std::unique_lock lock(mutex_);
    if (sent) {
        replied_.wait_until(lock, until, [&] { return call.done; });
    }
    if (!call.done) {
        calls_.erase(request.id);
        if (!sent) return kStatusInvalidHandle;
        overdue_ = true;
        NoteReplyDeadlineExpired();
        return kStatusTimeout;
    }
    reply = std::move(call.reply);
    return reply.status;
}

std::uint32_t CDeviceFile::Control(std::uint32_t code, std::span<const std::uint8_t> input,
                                   std::uint32_t outCapacity, std::vector<std::uint8_t>& output,
                                   std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    output.clear();
    if (outCapacity > kMaxCapacity || input.size() > kMaxCapacity) return kStatusInvalidParameter;
    Message request;
    request.kind = MessageKind::Control;
    request.code = code;
    request.capacity = outCapacity;
    request.data.assign(input.begin(), input.end());
    Message reply;
    const std::uint32_t status = Call(request, reply);
    if (reply.data.size() > outCapacity) reply.data.resize(outCapacity);
    output = std::move(reply.data);
    bytesReturned = reply.count;
    return status;
}

std::uint32_t CDeviceFile::ReadAsync(std::uint32_t capacity, ReadCompletion completion) {
    if (capacity > kMaxCapacity) return kStatusInvalidParameter;
    Message request;
    request.kind = MessageKind::ReadPost;
    request.capacity = capacity;
    {
        std::lock_guard lock(mutex_);
        if (!linkUp_ || closed_) return kStatusInvalidHandle;
        request.id = nextId_++;
        reads_[request.id] = PendingRead{CurrentThreadApcQueue(), std::move(completion)};
    }
    if (!Send(request)) {
        std::lock_guard lock(mutex_);
        // When the link broke meanwhile, the read was already completed as
        // aborted; it counts as posted, so it completes exactly once.
        if (reads_.erase(request.id) == 0) return kStatusSuccess;
        return kStatusInvalidHandle;
    }
    return kStatusSuccess;
}

std::uint32_t CDeviceFile::Write(std::span<const std::uint8_t> frame, std::uint32_t& written) {
    written = 0;
    if (frame.size() > kMaxCapacity) return kStatusInvalidParameter;
    Message request;
    request.kind = MessageKind::WriteFrame;
    request.data.assign(frame.begin(), frame.end());
    Message reply;
    const std::uint32_t status = Call(request, reply);
    written = reply.count;
    return status;
}

std::uint32_t CDeviceFile::CancelIo() {
    Message request;
    request.kind = MessageKind::ReadCancel;
    Message reply;
    return Call(request, reply);
}

std::uint32_t CDeviceFile::Subscribe(EventCallback callback) {
    {
        std::lock_guard lock(mutex_);
        events_ = std::move(callback);
    }
    Message request;
    request.kind = MessageKind::Subscribe;
    Message reply;
    return Call(request, reply);
}

std::uint32_t CDeviceFile::GetIpConfig(const std::string& deviceName, IpConfigRecord& config) {
    Message request;
    request.kind = MessageKind::IpConfigGet;
    request.text = deviceName;
    Message reply;
    const std::uint32_t status = Call(request, reply);
    if (status != kStatusSuccess) return status;
    if (DecodeIpConfig(reply.data, config) != DecodeResult::Ok) return kStatusGenFailure;
    return kStatusSuccess;
}

std::uint32_t CDeviceFile::ReleaseAddress(const std::string& deviceName) {
    Message request;
    request.kind = MessageKind::AddressRelease;
    request.text = deviceName;
    Message reply;
    return Call(request, reply);
}

std::uint32_t CDeviceFile::QueryService(bool& running) {
    Message request;
    request.kind = MessageKind::ServiceQuery;
    Message reply;
    const std::uint32_t status = Call(request, reply);
    running = status == kStatusSuccess && reply.flag != 0;
    return status;
}

std::uint32_t CDeviceFile::StartService() {
    Message request;
    request.kind = MessageKind::ServiceStart;
    Message reply;
    return Call(request, reply);
}

std::uint32_t CDeviceFile::StopService() {
    Message request;
    request.kind = MessageKind::ServiceStop;
    Message reply;
    return Call(request, reply);
}

std::uint32_t CDeviceFile::GetNetworkCards(std::vector<NetworkCardRecord>& cards) {
    cards.clear();
    Message request;
    request.kind = MessageKind::NetworkCardsGet;
    Message reply;
    const std::uint32_t status = Call(request, reply);
    if (status != kStatusSuccess) return status;
    if (DecodeNetworkCards(reply.data, cards) != DecodeResult::Ok) return kStatusGenFailure;
    return kStatusSuccess;
}

void CDeviceFile::ReceiveLoop() {
    FrameBuffer frames;
    std::vector<std::uint8_t> chunk(65536);
    std::vector<std::uint8_t> body;
    bool healthy = true;
    while (healthy) {
        const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        frames.Append({chunk.data(), static_cast<std::size_t>(n)});
        for (;;) {
            const FrameBuffer::Next next = frames.Take(body);
            if (next == FrameBuffer::Next::NeedMore) break;
            Message message;
            if (next == FrameBuffer::Next::Bad ||
                DecodeMessage(body, message) != DecodeResult::Ok || IsRequestKind(message.kind)) {
                healthy = false;  // a daemon that sends garbage is not trusted further
                break;
            }
            Dispatch(message);
        }
    }
    FailEverything();
}

void CDeviceFile::Dispatch(Message& message) {
    {
        std::lock_guard lock(mutex_);
        overdue_ = false;  // the daemon answers again
    }
    switch (message.kind) {
        case MessageKind::Reply: {
            std::lock_guard lock(mutex_);
            auto it = calls_.find(message.id);
            if (it == calls_.end()) return;  // a caller that gave up waiting
            it->second->reply = std::move(message);
            it->second->done = true;
            calls_.erase(it);
            replied_.notify_all();
            return;
        }
        case MessageKind::ReadDone: {
            PendingRead read;
            {
                std::lock_guard lock(mutex_);
                auto it = reads_.find(message.id);
                if (it == reads_.end()) return;
                read = std::move(it->second);
                reads_.erase(it);
            }
            CompleteRead(std::move(read), message.status, std::move(message.data));
            return;
        }
        case MessageKind::MediaEvent:
        case MessageKind::AddressChange: {
            DriverEvent event;
            event.name = message.text;
            event.device = message.device;
            if (message.kind == MessageKind::AddressChange) {
                event.kind = DriverEvent::Kind::AddressChange;
            } else {
                event.kind = message.flag != 0 ? DriverEvent::Kind::MediaConnect
                                               : DriverEvent::Kind::MediaDisconnect;
            }
            EventCallback callback;
            {
                std::lock_guard lock(mutex_);
                callback = events_;
            }
            if (callback) callback(event);
            return;
        }
        default:
            return;
    }
}

void CDeviceFile::CompleteRead(PendingRead read, std::uint32_t status,
                               std::vector<std::uint8_t> data) {
    auto completion = std::move(read.completion);
    read.queue->Post([completion = std::move(completion), status, data = std::move(data)] {
        if (completion) completion(status, data);
    });
}

void CDeviceFile::FailEverything() {
    std::map<std::uint32_t, PendingRead> reads;
    EventCallback lost;
    {
        std::lock_guard lock(mutex_);
        linkUp_ = false;
        if (!closed_) lost = events_;
        for (auto& [id, call] : calls_) {
            call->reply = Message{};
            call->reply.status = kStatusInvalidHandle;
            call->done = true;
        }
        calls_.clear();
        reads.swap(reads_);
    }
    replied_.notify_all();
    for (auto& [id, read] : reads) CompleteRead(std::move(read), kStatusOperationAborted, {});
    if (lost) lost(DriverEvent{DriverEvent::Kind::LinkDown, {}, {}});
}

}  // namespace tarvik::driverio
