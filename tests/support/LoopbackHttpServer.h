// A real HTTP/1.1 server on 127.0.0.1 for the web-request tests: an accepting
// thread and a thread per connection, answering each request as the test's
// handler says (raw bytes; then keep the connection, close it, stall until
// the server ends, or write body bytes until the peer goes).
#pragma once

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::testing_support {

struct HttpAnswer {
    std::string raw;
    bool close = false;
    bool stall = false;
    bool endless = false;
};

inline HttpAnswer ContentLengthAnswer(const std::string& body, int status = 200) {
    return {"HTTP/1.1 " + std::to_string(status) +
            " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body};
}

class LoopbackHttpServer {
  public:
    explicit LoopbackHttpServer(std::function<HttpAnswer(const std::string&)> handler)
        : handler_(std::move(handler)) {
        sockaddr_in address{.sin_family = AF_INET,
                            .sin_port = 0,
                            .sin_addr = {htonl(INADDR_LOOPBACK)},
                            .sin_zero = {}};
        socklen_t length = sizeof address;
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        if (::bind(listener_, raw, length) != 0 || ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, raw, &length) != 0) {
            throw std::runtime_error("loopback listener failed");
        }
        host_ = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        acceptor_ = std::thread([this] { Accept(); });
    }

    ~LoopbackHttpServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
        }
        changed_.notify_all();
        ::shutdown(listener_, SHUT_RDWR);  // ends accept()
        acceptor_.join();
        for (std::thread& connection : connections_) connection.join();
        ::close(listener_);
    }

    const std::string& Host() const { return host_; }
    std::vector<std::string> Targets() {
        std::lock_guard<std::mutex> lock(mutex_);
        return targets_;
    }
    int Connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(connections_.size());
    }

  private:
    void Accept() {
        for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            std::lock_guard<std::mutex> lock(mutex_);
            open_.push_back(fd);
            connections_.emplace_back([this, fd] { Serve(fd); });
        }
    }

    // The request line's target once the headers are in; "" when the peer went.
    static std::string ReadRequest(int fd, std::string& buffer) {
        std::size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            char chunk[4096];
            const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got <= 0) return {};
            buffer.append(chunk, static_cast<std::size_t>(got));
        }
        const std::size_t first = buffer.find(' ');
        std::string target = buffer.substr(first + 1, buffer.find(' ', first + 1) - first - 1);
        buffer.erase(0, end + 4);
        return target;
    }

    static bool WriteAll(int fd, const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t wrote = ::send(fd, &bytes[done], bytes.size() - done, MSG_NOSIGNAL);
            if (wrote <= 0) return false;
            done += static_cast<std::size_t>(wrote);
        }
        return true;
    }

    void Serve(int fd) {
        std::string buffer;
        for (std::string target; !(target = ReadRequest(fd, buffer)).empty();) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                targets_.push_back(target);
            }
            changed_.notify_all();
            const HttpAnswer answer = handler_(target);
            if (answer.stall) {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_; });
            }
            if (answer.stall || !WriteAll(fd, answer.raw) || answer.close) break;
            while (answer.endless && WriteAll(fd, std::string(16384, 'x'))) {
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(open_, fd);
        ::close(fd);
    }

    std::function<HttpAnswer(const std::string&)> handler_;
    int listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string host_;
    std::thread acceptor_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::vector<int> open_;
    std::vector<std::string> targets_;
    std::vector<std::thread> connections_;
};

}  // namespace tarvik::testing_support
