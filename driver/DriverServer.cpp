#include "driver/DriverServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/DeviceCodes.h"
#include "platform/PeerCredentials.h"
#include "platform/UnixSocketAddress.h"

namespace tarvik::driver {
namespace {

using driverio::DecodeResult;
using driverio::DeviceTarget;
using driverio::Message;
using driverio::MessageKind;

constexpr int kMaxPollWaitMs = 1000;
constexpr std::size_t kReceiveChunk = 65536;

void Warn(const char* what, const std::string& detail) {
    std::fprintf(stderr, "tarvik-driverd: %s%s%s\n", what, detail.empty() ? "" : ": ",
                 detail.c_str());
}

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeParentFolder(const std::string& path, std::string& error) {
    const std::string folder = ParentFolder(path);
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) return true;
    std::string partial;
    for (std::size_t at = 1; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        partial = folder.substr(0, at);
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + partial + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto now = Clock::now();
    if (deadline <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<long long>(wait, kMaxPollWaitMs));
}

driverio::IpConfigRecord ToRecord(const IpConfig& config) {
    driverio::IpConfigRecord record;
    record.dhcpEnabled = config.dhcpEnabled;
    record.dhcpServer = config.dhcpServer;
    for (const auto& entry : config.addresses)
        record.addresses.push_back({entry.address, entry.mask});
    record.gateways = config.gateways;
    record.dnsServers = config.dnsServers;
    record.primaryWins = config.primaryWins;
    record.secondaryWins = config.secondaryWins;
    record.leaseObtained = config.leaseObtained;
    record.leaseExpires = config.leaseExpires;
    record.autoconfigEnabled = config.autoconfigEnabled;
    record.autoconfigActive = config.autoconfigActive;
    if (record.addresses.size() > driverio::kMaxIpListEntries) {
        record.addresses.resize(driverio::kMaxIpListEntries);
    }
    if (record.gateways.size() > driverio::kMaxIpListEntries) {
        record.gateways.resize(driverio::kMaxIpListEntries);
    }
    if (record.dnsServers.size() > driverio::kMaxIpListEntries) {
        record.dnsServers.resize(driverio::kMaxIpListEntries);
    }
    return record;
}

}  // namespace

DriverServer::DriverServer(IBackend& backend, ServerLimits limits)
    : backend_(backend), limits_(limits) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
    backend_.SetSink(this);
}

DriverServer::~DriverServer() {
    backend_.SetSink(nullptr);
    for (auto& client : clients_) {
        if (client->fd >= 0) ::close(client->fd);
    }
    RemoveSocketFile();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool DriverServer::Listen(const std::string& path, std::string& error) {
    sockaddr_un address{};
    // Room for the ".new" name the socket is bound under first.
    if (!FillUnixAddress(path + ".new", address) || !FillUnixAddress(path, address)) {
        error = "socket path is empty or too long: " + path;
        return false;
    }
    if (wakeRead_ < 0) {
        error = "cannot create the wake-up pipe";
        return false;
    }
    if (!MakeParentFolder(path, error)) return false;
    // Clients trust the socket by its name: another user who owns or may
    // write to the folder could put their own socket there.
    if (std::string why = CheckPrivateFolder(ParentFolder(path), ::geteuid()); !why.empty()) {
        error = "refusing to serve in an unsafe folder: " + why;
        return false;
    }

    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            error = path + " exists and is not a socket";
            return false;
        }
        if (IsUnixSocketLive(address, SOCK_STREAM)) {
            error = "another tarvik-driverd serves " + path;
            return false;
        }
        ::unlink(path.c_str());  // left behind by a daemon that died
    }
    if (!BindPrivately(path, error)) return false;
    path_ = path;
    return true;
}

// Binds under a temporary name, makes the socket 0600 whatever the umask,
// and only then links it to `path`, so nobody else can connect meanwhile.
bool DriverServer::BindPrivately(const std::string& path, std::string& error) {
    const std::string fresh = path + ".new";
    sockaddr_un address{};
    FillUnixAddress(fresh, address);
    ::unlink(fresh.c_str());  // the folder is ours: a leftover of an earlier start
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = fd >= 0 && SetNonBlocking(fd) &&
              ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ok = ok && ::chmod(fresh.c_str(), 0600) == 0 && ::listen(fd, 64) == 0 &&
         ::link(fresh.c_str(), path.c_str()) == 0;
    const int reason = errno;
    ::unlink(fresh.c_str());
    struct stat info {};
    if (!ok || ::lstat(path.c_str(), &info) != 0) {
        error = "cannot serve " + path + ": " + std::strerror(reason);
        if (fd >= 0) ::close(fd);
        return false;
    }
    listenFd_ = fd;
    socketDevice_ = info.st_dev;
    socketInode_ = info.st_ino;
    return true;
}

void DriverServer::Stop() {
    const char byte = 1;
    if (wakeWrite_ >= 0) {
        [[maybe_unused]] ssize_t ignored = ::write(wakeWrite_, &byte, 1);
    }
}

void DriverServer::Run() {
    while (!stopping_) ServeOnce();
    for (auto& client : clients_) CloseClient(*client);
    RemoveDeadClients();
    RemoveSocketFile();
}

void DriverServer::ServeOnce() {
    std::vector<pollfd> fds;
    fds.push_back({wakeRead_, POLLIN, 0});
    fds.push_back(
        {listenFd_, static_cast<short>(clients_.size() < limits_.maxClients ? POLLIN : 0), 0});
    for (auto& client : clients_) {
        short events = ReadsPaused(*client) ? 0 : POLLIN;
        if (Backlog(*client) > 0) events |= POLLOUT;
        fds.push_back({client->fd, events, 0});
    }
    const int ready = ::poll(fds.data(), fds.size(), MillisecondsUntil(NextWake()));
    if (ready < 0 && errno != EINTR) {
        Warn("poll failed", std::strerror(errno));
        stopping_ = true;
        return;
    }
    if (ready > 0) {
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof(drain)) > 0) {
            }
            stopping_ = true;
            return;
        }
        // Clients accepted below are polled from the next pass on.
        const std::size_t polled = clients_.size();
        for (std::size_t i = 0; i < polled; ++i) ServeClient(*clients_[i], fds[i + 2].revents);
        if (fds[1].revents & POLLIN) Accept();
    }
    // Requests held back while the backlogs were full go on once they drain.
    for (std::size_t i = 0; i < clients_.size(); ++i) ProcessInput(*clients_[i]);
    const auto now = Clock::now();
    if (now >= backend_.NextDeadline()) backend_.Tick(now);
    CloseIdleClients(Clock::now());
    RemoveDeadClients();
}

void DriverServer::ServeClient(Client& client, short revents) {
    if (client.dead) return;
    if (revents & POLLOUT) Flush(client);
    if (client.dead) return;
    if (revents & POLLIN) {
        Receive(client);
    } else if (revents & (POLLHUP | POLLERR)) {
        // Gone while its requests were held back: it cannot take the replies.
        CloseClient(client);
    }
}

void DriverServer::Accept() {
    // Peers closed in this pass no longer count against the limit.
    RemoveDeadClients();
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        std::string why;
        if (!PeerIsUserOrRoot(fd, why)) {
            ::close(fd);
            Warn("connection refused", why);
            continue;
        }
        if (clients_.size() >= limits_.maxClients) {
            ::close(fd);
            Warn("too many clients, connection refused", "");
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->connected = client->lastProgress = Clock::now();
        clients_.push_back(std::move(client));
    }
}

void DriverServer::Receive(Client& client) {
    std::vector<std::uint8_t> chunk(kReceiveChunk);
    const ssize_t n = ::recv(client.fd, chunk.data(), chunk.size(), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        CloseClient(client);
        return;
    }
    client.lastProgress = Clock::now();
    client.input.Append({chunk.data(), static_cast<std::size_t>(n)});
    NoteQueued();
    ProcessInput(client);
}

// Handles the requests received whole, as long as the client's replies and
// everyone's queues leave room for another reply.
void DriverServer::ProcessInput(Client& client) {
    std::vector<std::uint8_t> body;
    while (!client.dead && !ReadsPaused(client)) {
        const auto next = client.input.Take(body);
        if (next == driverio::FrameBuffer::Next::NeedMore) return;
        if (next == driverio::FrameBuffer::Next::Bad) {
            Warn("bad message length, connection closed", "");
            CloseClient(client);
            return;
        }
        HandleBody(client, body);
    }
}

void DriverServer::HandleBody(Client& client, std::span<const std::uint8_t> body) {
    Message request;
    const DecodeResult result = driverio::DecodeMessage(body, request);
    if (result == DecodeResult::Ok && driverio::IsRequestKind(request.kind)) {
        Handle(client, request);
        return;
    }
    if (body.size() < 5) {  // not even a request id to answer
        Warn("message too short, connection closed", "");
        CloseClient(client);
        return;
    }
    Warn("malformed request refused", driverio::DecodeResultName(result));
    const bool unknown = result == DecodeResult::UnknownKind || result == DecodeResult::Ok;
    Reply(client, request.id, unknown ? kErrorInvalidFunction : kErrorInvalidParameter);
}

void DriverServer::Handle(Client& client, Message& request) {
    if (request.kind == MessageKind::Open) return HandleOpen(client, request);
    if (!client.handle.opened) return Reply(client, request.id, kErrorInvalidHandle);
    switch (request.kind) {
        case MessageKind::Control: {
            ControlResult result = RunDeviceControl(backend_, client.handle, request.code,
                                                    request.data, request.capacity);
            return Reply(client, request.id, result.status, result.bytesReturned,
                         std::move(result.output));
        }
        case MessageKind::ReadPost:
            return HandleReadPost(client, request);
        case MessageKind::ReadCancel:
            CancelReads(client);
            return Reply(client, request.id, kErrorSuccess);
        case MessageKind::WriteFrame:
            return HandleWrite(client, request);
        case MessageKind::Subscribe:
            client.subscribed = true;
            return Reply(client, request.id, kErrorSuccess);
        case MessageKind::IpConfigGet:
            return HandleIpConfig(client, request);
        case MessageKind::AddressRelease:
            return Reply(client, request.id, backend_.ReleaseAddress(request.text));
        case MessageKind::ServiceQuery:
            return Reply(client, request.id, kErrorSuccess, 0, {},
                         backend_.IsServiceRunning() ? 1 : 0);
        case MessageKind::ServiceStart:
            return Reply(client, request.id, backend_.StartService());
        case MessageKind::ServiceStop:
            return Reply(client, request.id, backend_.StopService());
        case MessageKind::NetworkCardsGet: {
            std::vector<driverio::NetworkCardRecord> cards;
            for (const NetworkCard& card : backend_.NetworkCards()) {
                if (cards.size() == driverio::kMaxNetworkCards) break;
                cards.push_back({card.serviceName.substr(0, driverio::kMaxTextSize),
                                 card.description.substr(0, driverio::kMaxTextSize)});
            }
            return Reply(client, request.id, kErrorSuccess, 0, driverio::EncodeNetworkCards(cards));
        }
        default:
            return Reply(client, request.id, kErrorInvalidFunction);
    }
}

void DriverServer::HandleOpen(Client& client, const Message& request) {
    if (client.handle.opened) return Reply(client, request.id, kErrorInvalidParameter);
    const auto target = static_cast<DeviceTarget>(request.flag);
    if (target == DeviceTarget::Direct) {
        std::string device = FindDirectDevice(backend_, request.text);
        if (device.empty()) return Reply(client, request.id, kErrorFileNotFound);
        client.handle.device = std::move(device);
    }
    client.handle.target = target;
    client.handle.opened = true;
    Reply(client, request.id, kErrorSuccess);
}

void DriverServer::HandleReadPost(Client& client, const Message& request) {
    const PendingRead read{request.id, request.capacity};
    if (client.handle.target != DeviceTarget::Driver || client.handle.device.empty()) {
        CompleteRead(client, read, {});  // fails at once: nothing to read from
        return;
    }
    if (!client.frames.empty()) {
        const std::vector<std::uint8_t> frame = std::move(client.frames.front());
        client.frames.pop_front();
        CompleteRead(client, read, frame);
        return;
    }
    if (client.reads.size() >= limits_.maxPendingReads) {
        Message done;
        done.kind = MessageKind::ReadDone;
        done.id = request.id;
        done.status = kErrorNoSystemResources;
        Send(client, done);
        return;
    }
    client.reads.push_back(read);
}

void DriverServer::HandleWrite(Client& client, const Message& request) {
    if (client.handle.target != DeviceTarget::Driver) {
        return Reply(client, request.id, kErrorInvalidFunction);
    }
    if (client.handle.device.empty()) return Reply(client, request.id, kErrorDeviceNotConnected);
    const std::uint32_t status = backend_.WriteFrame(client.handle.device, request.data);
    const auto written =
        static_cast<std::uint32_t>(status == kErrorSuccess ? request.data.size() : 0);
    Reply(client, request.id, status, written);
}

void DriverServer::HandleIpConfig(Client& client, const Message& request) {
    IpConfig config;
    if (!backend_.GetIpConfig(request.text, config)) {
        return Reply(client, request.id, kErrorNotFound);
    }
    Reply(client, request.id, kErrorSuccess, 0, driverio::EncodeIpConfig(ToRecord(config)));
}

void DriverServer::CompleteRead(Client& client, const PendingRead& read,
                                std::span<const std::uint8_t> frame) {
    Message done;
    done.kind = MessageKind::ReadDone;
    done.id = read.id;
    if (client.handle.target != DeviceTarget::Driver) {
        done.status = kErrorInvalidFunction;
    } else if (client.handle.device.empty()) {
        done.status = kErrorDeviceNotConnected;
    } else {
        // A frame longer than the read's buffer is delivered cut, and says so.
        const std::size_t size = std::min<std::size_t>(frame.size(), read.capacity);
        done.status = size < frame.size() ? kErrorMoreData : kErrorSuccess;
        done.data.assign(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(size));
    }
    Send(client, done);
}

void DriverServer::CancelReads(Client& client) {
    while (!client.reads.empty()) {
        Message done;
        done.kind = MessageKind::ReadDone;
        done.id = client.reads.front().id;
        done.status = kErrorOperationAborted;
        client.reads.pop_front();
        Send(client, done);
    }
}

void DriverServer::Reply(Client& client, std::uint32_t id, std::uint32_t status,
                         std::uint32_t count, std::vector<std::uint8_t> data, std::uint8_t flag) {
    Message reply;
    reply.kind = MessageKind::Reply;
    reply.id = id;
    reply.status = status;
    reply.count = count;
    reply.flag = flag;
    reply.data = std::move(data);
    Send(client, reply);
}

void DriverServer::Send(Client& client, const Message& message) {
    if (client.dead) return;
    if (Backlog(client) == 0) {
        client.output.clear();
        client.outputSent = 0;
        client.lastProgress = Clock::now();  // its idle time starts now
    }
    driverio::EncodeMessage(message, client.output);
    NoteQueued();
    if (Backlog(client) > limits_.maxClientBacklog) {
        Warn("client does not read its replies, connection closed", "");
        CloseClient(client);
        return;
    }
    Flush(client);
}

void DriverServer::Flush(Client& client) {
    while (!client.dead && client.outputSent < client.output.size()) {
        const ssize_t n = ::send(client.fd, client.output.data() + client.outputSent,
                                 client.output.size() - client.outputSent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            CloseClient(client);
            return;
        }
        client.outputSent += static_cast<std::size_t>(n);
        client.lastProgress = Clock::now();
    }
    if (Backlog(client) == 0) {
        // Gives back the memory of a large reply.
        std::vector<std::uint8_t>().swap(client.output);
        client.outputSent = 0;
    }
}

void DriverServer::CloseClient(Client& client) {
    if (client.dead) return;
    client.dead = true;
    ::close(client.fd);
    client.fd = -1;
    client.input = {};
    std::vector<std::uint8_t>().swap(client.output);
    client.outputSent = 0;
    client.frames.clear();
}

void DriverServer::CloseIdleClients(Clock::time_point now) {
    for (auto& client : clients_) {
        if (client->dead || now < IdleDeadline(*client)) continue;
        Warn(!client->handle.opened ? "client opened no handle in time, connection closed"
             : Backlog(*client) > 0 ? "client does not read its replies, connection closed"
                                    : "client left a request half sent, connection closed",
             "");
        CloseClient(*client);
    }
}

std::size_t DriverServer::Backlog(const Client& client) {
    return client.output.size() - client.outputSent;
}

std::size_t DriverServer::TotalQueued() const {
    std::size_t total = 0;
    for (const auto& client : clients_) total += client->input.Buffered() + Backlog(*client);
    return total;
}

void DriverServer::NoteQueued() {
    const std::size_t total = TotalQueued();
    if (total > peakQueued_.load(std::memory_order_relaxed)) peakQueued_.store(total);
}

// A client with a whole reply unread sends no more requests until it reads;
// none does while all clients together have queued the most allowed.
bool DriverServer::ReadsPaused(const Client& client) const {
    return Backlog(client) >= driverio::kMaxMessageSize || TotalQueued() >= limits_.maxTotalQueued;
}

Clock::time_point DriverServer::IdleDeadline(const Client& client) const {
    if (client.dead) return Clock::time_point::max();
    if (!client.handle.opened) return client.connected + limits_.idleTimeout;
    if (client.input.Buffered() > 0 || Backlog(client) > 0) {
        return client.lastProgress + limits_.idleTimeout;
    }
    return Clock::time_point::max();
}

Clock::time_point DriverServer::NextWake() const {
    Clock::time_point wake = backend_.NextDeadline();
    for (const auto& client : clients_) wake = std::min(wake, IdleDeadline(*client));
    return wake;
}

void DriverServer::RemoveDeadClients() {
    std::erase_if(clients_, [](const auto& client) { return client->dead; });
}

void DriverServer::RemoveSocketFile() {
    if (listenFd_ < 0) return;
    ::close(listenFd_);
    listenFd_ = -1;
    // Another daemon may have taken the path over meanwhile: leave its socket.
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0 && info.st_dev == socketDevice_ &&
        info.st_ino == socketInode_) {
        ::unlink(path_.c_str());
    }
}

void DriverServer::OnFrameReceived(const std::string& deviceName,
                                   std::span<const std::uint8_t> frame) {
    if (frame.size() > kMaxFrameSize) return;  // no read is promised more
    for (auto& client : clients_) {
        if (client->dead || client->handle.target != DeviceTarget::Driver ||
            client->handle.device != deviceName) {
            continue;
        }
        if (!client->reads.empty()) {
            const PendingRead read = client->reads.front();
            client->reads.pop_front();
            CompleteRead(*client, read, frame);
            continue;
        }
        if (client->frames.size() >= limits_.maxQueuedFrames) client->frames.pop_front();
        client->frames.emplace_back(frame.begin(), frame.end());
    }
}

void DriverServer::OnMediaEvent(const std::string& deviceName, const std::string& instanceName,
                                bool connected) {
    Message event;
    event.kind = MessageKind::MediaEvent;
    event.flag = connected ? 1 : 0;
    event.text = instanceName.substr(0, driverio::kMaxTextSize);
    event.device = deviceName.substr(0, driverio::kMaxTextSize);
    for (auto& client : clients_) {
        if (client->subscribed) Send(*client, event);
    }
}

void DriverServer::OnAddressChanged(const std::string& deviceName) {
    Message event;
    event.kind = MessageKind::AddressChange;
    event.text = deviceName.substr(0, driverio::kMaxTextSize);
    for (auto& client : clients_) {
        if (client->subscribed) Send(*client, event);
    }
}

}  // namespace tarvik::driver
