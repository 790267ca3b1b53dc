// What the server's tests share: request blocks, and a raw client that puts
// bytes on the driver socket as a hostile or broken client would, without
// the client layer's checks.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/DeviceCodes.h"
#include "platform/driverio/DeviceFile.h"
#include "platform/driverio/DriverProtocol.h"
#include "tests/driver/TestBackend.h"

namespace tarvik::testing {

inline std::vector<std::uint8_t> Utf16(const std::string& name) {
    std::vector<std::uint8_t> out;
    for (char c : name) {
        const auto unit = static_cast<std::uint16_t>(static_cast<std::int16_t>(c));
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

inline std::vector<std::uint8_t> OidBlock(std::uint32_t oid, std::size_t dataLength,
                                          std::uint8_t fill = 0) {
    std::vector<std::uint8_t> block(4 + dataLength, fill);
    std::memcpy(block.data(), &oid, 4);
    return block;
}

inline sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

// A socket bound (not listening) at `path`, or -1.
inline int BindSocketAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = AddressOf(path);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) return fd;
    ::close(fd);
    return -1;
}

inline driverio::Message ControlRequest(std::uint32_t id, std::uint32_t code,
                                        std::vector<std::uint8_t> input, std::uint32_t capacity) {
    driverio::Message message;
    message.kind = driverio::MessageKind::Control;
    message.id = id;
    message.code = code;
    message.capacity = capacity;
    message.data = std::move(input);
    return message;
}

class RawClient {
  public:
    explicit RawClient(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = AddressOf(path);
        connected_ =
            ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        timeval timeout{10, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    }
    // Takes over a connection accepted elsewhere.
    explicit RawClient(int connectedFd) : fd_(connectedFd), connected_(connectedFd >= 0) {}
    ~RawClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    void SendRaw(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void SendBody(const std::vector<std::uint8_t>& body) {
        std::vector<std::uint8_t> framed(4);
        const auto length = static_cast<std::uint32_t>(body.size());
        std::memcpy(framed.data(), &length, 4);
        framed.insert(framed.end(), body.begin(), body.end());
        SendRaw(framed);
    }
    // False when the daemon closed the connection meanwhile.
    bool Send(const driverio::Message& message) {
        const auto bytes = driverio::EncodeMessage(message);
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    bool SendOpen(std::uint32_t id) {
        driverio::Message open;
        open.kind = driverio::MessageKind::Open;
        open.id = id;
        return Send(open);
    }
    // The next message, or false when the daemon closed the connection.
    bool Receive(driverio::Message& message) {
        driverio::FrameBuffer frames;
        std::vector<std::uint8_t> body;
        std::uint8_t byte = 0;
        while (frames.Take(body) != driverio::FrameBuffer::Next::Body) {
            if (::recv(fd_, &byte, 1, 0) != 1) return false;
            frames.Append({&byte, 1});
        }
        return driverio::DecodeMessage(body, message) == driverio::DecodeResult::Ok;
    }
    // True once the daemon has closed the connection, false when it has not
    // within 10 s. Reads nothing.
    bool HungUpByDaemon() {
        pollfd entry{fd_, 0, 0};
        return ::poll(&entry, 1, 10000) == 1 && (entry.revents & POLLHUP) != 0;
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
};

// The served TestBackend, reached through the client layer.
class ServedDriver : public ServedBackend {
  protected:
    std::shared_ptr<driverio::CDeviceFile> OpenDriver() {
        std::uint32_t error = 0;
        auto file = driverio::CDeviceFile::Open("\\\\.\\TarvikP", error);
        EXPECT_TRUE(file) << error;
        return file;
    }
    std::shared_ptr<driverio::CDeviceFile> OpenTied(const std::string& device) {
        auto file = OpenDriver();
        EXPECT_EQ(Ioctl(*file, driver::kIoctlBindWait), 0u);
        EXPECT_EQ(Ioctl(*file, driver::kIoctlOpenDevice, Utf16(device)), 0u);
        return file;
    }
    // The status; the output lands in out_, the count returned in returned_.
    std::uint32_t Ioctl(driverio::CDeviceFile& file, std::uint32_t code,
                        const std::vector<std::uint8_t>& input = {},
                        std::uint32_t capacity = 1024) {
        return file.Control(code, input, capacity, out_, returned_);
    }
    bool Works(driverio::CDeviceFile& file) {
        return Ioctl(file, driver::kIoctlQueryBinding, std::vector<std::uint8_t>(20, 0)) == 0;
    }

    std::vector<std::uint8_t> out_;
    std::uint32_t returned_ = 0;
};

}  // namespace tarvik::testing
