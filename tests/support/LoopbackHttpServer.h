// A real HTTP/1.1 server on 127.0.0.1 for the web-request tests: a thread
// that accepts, and a thread per connection that reads requests and writes
// what the test's handler says (raw bytes, keep the connection or close it,
// stall until released, or stream a body without end).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::testing_support {

struct HttpAnswer {
    std::string raw;           // written as is
    bool close = false;        // close the connection after it
    bool stall = false;        // write nothing until Release() or the end
    bool endlessBody = false;  // after `raw`, write body bytes until the peer goes
};

inline HttpAnswer ContentLengthAnswer(const std::string& body, int status = 200) {
    return {"HTTP/1.1 " + std::to_string(status) +
            " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body};
}

inline HttpAnswer ChunkedAnswer(const std::vector<std::string>& chunks) {
    std::string raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const std::string& chunk : chunks) {
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        raw += size + chunk + "\r\n";
    }
    return {raw + "0\r\n\r\n"};
}

class LoopbackHttpServer {
  public:
    using Handler = std::function<HttpAnswer(const std::string& target)>;

    explicit LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("loopback listener failed");
        }
        port_ = ntohs(address.sin_port);
        if (::pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        acceptor_ = std::thread([this] { Accept(); });
    }

    ~LoopbackHttpServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
        }
        released_.notify_all();
        (void)!::write(stopPipe_[1], "x", 1);
        acceptor_.join();
        for (std::thread& connection : connections_) connection.join();
        ::close(listener_);
        ::close(stopPipe_[0]);
        ::close(stopPipe_[1]);
    }

    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

    // Lets stalled answers go (they close their connection).
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        releasedFlag_ = true;
        released_.notify_all();
    }
    // Blocks until `count` requests have arrived.
    void WaitForRequests(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait(lock, [&] { return targets_.size() >= count; });
    }
    std::vector<std::string> Targets() {
        std::lock_guard<std::mutex> lock(mutex_);
        return targets_;
    }
    int Connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return accepted_;
    }

  private:
    void Accept() {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        while (::poll(fds, 2, -1) > 0 && !(fds[1].revents & POLLIN)) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            ++accepted_;
            open_.push_back(fd);
            connections_.emplace_back([this, fd] { Serve(fd); });
        }
    }

    // The request line's target, once the headers are in; "" when the peer went.
    static std::string ReadRequest(int fd, std::string& buffer) {
        std::size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            char chunk[4096];
            const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got <= 0 || buffer.size() > 65536) return {};
            buffer.append(chunk, static_cast<std::size_t>(got));
        }
        const std::size_t first = buffer.find(' ');
        const std::size_t second = buffer.find(' ', first + 1);
        std::string target = buffer.substr(first + 1, second - first - 1);
        buffer.erase(0, end + 4);
        return target;
    }

    static bool WriteAll(int fd, const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t wrote =
                ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (wrote <= 0) return false;
            done += static_cast<std::size_t>(wrote);
        }
        return true;
    }

    void Serve(int fd) {
        std::string buffer;
        while (true) {
            const std::string target = ReadRequest(fd, buffer);
            if (target.empty()) break;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                targets_.push_back(target);
            }
            arrived_.notify_all();
            const HttpAnswer answer = handler_(target);
            if (answer.stall) {
                std::unique_lock<std::mutex> lock(mutex_);
                released_.wait(lock, [&] { return stopping_ || releasedFlag_; });
                break;
            }
            if (!WriteAll(fd, answer.raw)) break;
            if (answer.endlessBody) {
                const std::string block(16384, 'x');
                while (WriteAll(fd, block)) {
                }
                break;
            }
            if (answer.close) break;
        }
        ::shutdown(fd, SHUT_RDWR);
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(open_, fd);
        ::close(fd);
    }

    Handler handler_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::condition_variable arrived_;
    bool stopping_ = false;
    bool releasedFlag_ = false;
    int accepted_ = 0;
    std::vector<int> open_;
    std::vector<std::string> targets_;
    std::vector<std::thread> connections_;
};

}  // namespace tarvik::testing_support
