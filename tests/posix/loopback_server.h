// A scriptable HTTP server on 127.0.0.1 for tests and benchmarks: every accepted
// connection runs the script on its own thread, which answers, stalls, drips, resets or
// closes as the test wants, in the clear or, once the script has accepted a TLS handshake
// with a certificate of its choice, encrypted. Stopping it ends every wait at once.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
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

    // Runs the server side of a TLS handshake with this certificate and key; from then on
    // every read and write is encrypted. False when the client broke it off.
    bool AcceptTls(X509* cert, EVP_PKEY* key) {
        context_ = SSL_CTX_new(TLS_server_method());
        if (!context_ || SSL_CTX_use_certificate(context_, cert) != 1 ||
            SSL_CTX_use_PrivateKey(context_, key) != 1)
            return false;
        ssl_ = SSL_new(context_);
        SSL_set_fd(ssl_, fd_);
        // A client that never finishes must not hold the test: give up after a while.
        timeval limit{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        const bool ok = SSL_accept(ssl_) == 1;
        timeval none{0, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
        return ok;
    }

    // Reads up to the request's empty line and records it; "" when the client went away.
    std::string ReadRequest(int timeoutMs = 5000) {
        std::string request;
        const auto until = Now() + timeoutMs;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (!WaitReadable(static_cast<int>(until - Now()))) return std::string();
            const ssize_t n = Receive(buffer, sizeof buffer);
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
            const ssize_t n = ssl_ ? SSL_write(ssl_, bytes.data(),
                                               static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)))
                                   : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
            sent_ += static_cast<std::uint64_t>(n);
        }
        return true;
    }
    // The bytes Send has handed to the connection so far: what a client that stops reading
    // cannot have read more of.
    std::uint64_t sent() const { return sent_; }

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
            if (Receive(buffer, sizeof buffer) <= 0) return;
        }
    }

    // Aborts the connection: the client sees a reset, not an orderly close.
    void Reset() {
        if (fd_ < 0) return;
        linger hard{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

    // Ends the connection; over TLS with the proper close message first.
    void Close() {
        if (ssl_ && fd_ >= 0) SSL_shutdown(ssl_);
        CloseWithoutNotify();
    }

    // Ends the connection without TLS's close message, as many servers do.
    void CloseWithoutNotify() {
        if (ssl_) SSL_free(ssl_);
        if (context_) SSL_CTX_free(context_);
        ssl_ = nullptr;
        context_ = nullptr;
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
    ssize_t Receive(char* buffer, std::size_t size) {
        if (ssl_) return SSL_read(ssl_, buffer, static_cast<int>(size));
        return ::recv(fd_, buffer, size, 0);
    }
    // True when the client sent something (or closed); false on stop or time-out.
    bool WaitReadable(int timeoutMs) {
        if (fd_ < 0) return false;
        if (ssl_ && SSL_pending(ssl_) > 0) return true;
        pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(p, 2, timeoutMs < 0 ? -1 : std::max(timeoutMs, 0)) <= 0) return false;
        return (p[1].revents & POLLIN) == 0;
    }

    int fd_;
    int stopFd_;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    std::function<void(std::string)> record_;
    std::uint64_t sent_ = 0;
};

class LoopbackServer {
public:
    // The script: the connection and its number, counted from 0 in order of acceptance.
    using Script = std::function<void(ServerConnection&, int index)>;

    // Listens on 127.0.0.1, or on ::1 with `ipv6`; port() stays 0 when that fails.
    explicit LoopbackServer(Script script, bool ipv6 = false) : script_(std::move(script)), ipv6_(ipv6) {
        if (::pipe2(stop_, O_CLOEXEC) != 0) return;
        listener_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_storage address{};
        if (ipv6) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_loopback;
        } else {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        const socklen_t size = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        socklen_t length = size;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                           : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
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
        return std::string(ipv6_ ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(port_) + path;
    }
    // The address of `path` over TLS, by the name the certificates carry.
    std::string SecureUrl(const std::string& path, const char* host = "localhost") const {
        return std::string("https://") + host + ":" + std::to_string(port_) + path;
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
    bool ipv6_ = false;
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
