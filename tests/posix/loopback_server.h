// A scriptable HTTP server on 127.0.0.1 for tests and benchmarks: every accepted
// connection runs the script on its own thread, which answers, stalls, drips, resets or
// closes as the test wants. Stopping it ends every wait at once.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vexal::testing {

class ServerConnection {
public:
    ServerConnection(int fd, int stopFd, std::function<void(std::string)> record)
        : fd_(fd), stopFd_(stopFd), record_(std::move(record)) {}
    ~ServerConnection() { Close(); }
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Reads up to the request's empty line and records it; "" when the client went away.
    std::string ReadRequest(int timeoutMs = 5000) {
        std::string request;
        const auto until = Now() + timeoutMs;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (!WaitReadable(static_cast<int>(until - Now()))) return std::string();
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return std::string();
            request.append(buffer, static_cast<std::size_t>(n));
        }
        record_(request);
        return request;
    }

    // Sends every byte; false once the client is gone or the server stops.
    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            if (Stopping()) return false;
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Sends `bytes` in pieces of `piece` bytes with `delayMs` between them.
    bool SendSlowly(std::string_view bytes, std::size_t piece, int delayMs) {
        while (!bytes.empty()) {
            const std::size_t n = std::min(piece, bytes.size());
            if (!Send(bytes.substr(0, n))) return false;
            bytes.remove_prefix(n);
            if (!bytes.empty() && !Pause(delayMs)) return false;
        }
        return true;
    }

    // Waits `ms` milliseconds; false when the server stops meanwhile.
    bool Pause(int ms) {
        pollfd p{stopFd_, POLLIN, 0};
        return ::poll(&p, 1, ms) == 0;
    }

    // Holds the connection open without a word until the client closes it or the server
    // stops: a server that never answers.
    void WaitForClose() {
        char buffer[4096];
        while (WaitReadable(-1)) {
            if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) return;
        }
    }

    // Aborts the connection: the client sees a reset, not an orderly close.
    void Reset() {
        if (fd_ < 0) return;
        linger hard{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    static long long Now() {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    bool Stopping() const {
        pollfd p{stopFd_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    // True when the client sent something (or closed); false on stop or time-out.
    bool WaitReadable(int timeoutMs) {
        if (fd_ < 0) return false;
        pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(p, 2, timeoutMs < 0 ? -1 : std::max(timeoutMs, 0)) <= 0) return false;
        return (p[1].revents & POLLIN) == 0;
    }

    int fd_;
    int stopFd_;
    std::function<void(std::string)> record_;
};

class LoopbackServer {
public:
    // The script: the connection and its number, counted from 0 in order of acceptance.
    using Script = std::function<void(ServerConnection&, int index)>;

    explicit LoopbackServer(Script script) : script_(std::move(script)) {
        if (::pipe2(stop_, O_CLOEXEC) != 0) return;
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }

    ~LoopbackServer() {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(stop_[1], &byte, 1);
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& t : workers_) t.join();
        if (listener_ >= 0) ::close(listener_);
        for (int fd : stop_)
            if (fd >= 0) ::close(fd);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    int connections() const { return accepted_.load(); }

    // A port on which nothing listens: bound once, then released without listening.
    static int RefusingPort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(fd);
        return ntohs(address.sin_port);
    }

private:
    void Accept() {
        while (true) {
            pollfd p[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(p, 2, -1) < 0 || (p[1].revents & POLLIN)) return;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            const int index = accepted_++;
            workers_.emplace_back([this, fd, index] {
                ServerConnection connection(fd, stop_[0], [this](std::string request) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(std::move(request));
                });
                script_(connection, index);
            });
        }
    }

    Script script_;
    int stop_[2] = {-1, -1};
    int listener_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

}  // namespace vexal::testing
