// The test server. Blocking Winsock on its own thread; stopping it closes the listening
// socket, which ends the blocked accept.
#include "win32/program/http_server.h"

#include <algorithm>

namespace vexal::testing {

HttpServer::HttpServer() {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener_, 8);
    int length = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Loop(); });
}

HttpServer::~HttpServer() {
    // Closing the listener does not always end an accept blocked on it under Wine; a
    // connection of its own does.
    stopping_ = true;
    const SOCKET wake = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<u_short>(port_));
    ::connect(wake, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::closesocket(listener_);
    thread_.join();
    ::closesocket(wake);
    for (SOCKET s : open_) ::closesocket(s);
    ::WSACleanup();
}

std::string HttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpServer::Serve(const std::string& path, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    bodies_[path] = body;
}

void HttpServer::Hold(const std::string& path, const std::string& firstBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_[path] = firstBytes;
}

std::vector<std::string> HttpServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> HttpServer::Paths() {
    std::vector<std::string> paths;
    for (const std::string& r : Requests()) {
        const std::size_t a = r.find(' ');
        const std::size_t b = r.find(' ', a + 1);
        paths.push_back(a == std::string::npos || b == std::string::npos ? r : r.substr(a + 1, b - a - 1));
    }
    return paths;
}

void HttpServer::Loop() {
    while (true) {
        SOCKET s = ::accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        if (stopping_) {
            ::closesocket(s);
            return;
        }
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int n = ::recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t a = request.find(' ');
        const std::size_t b = request.find(' ', a + 1);
        const std::string path =
            a == std::string::npos || b == std::string::npos ? "" : request.substr(a + 1, b - a - 1);
        std::string response;
        bool hold = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            const auto held = held_.find(path);
            hold = held != held_.end();
            auto it = bodies_.find(path);
            if (hold) {
                response = held->second;
            } else if (it != bodies_.end()) {
                response = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(it->second.size()) +
                           "\r\nConnection: close\r\n\r\n" + it->second;
            } else {
                response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            }
        }
        for (std::size_t sent = 0; sent < response.size();) {
            const int n = ::send(s, response.data() + sent, static_cast<int>(response.size() - sent), 0);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        if (hold) {
            open_.push_back(s);
            continue;
        }
        ::shutdown(s, SD_SEND);
        // Drains until the client closes, so the close never turns into a reset.
        while (::recv(s, buffer, sizeof buffer, 0) > 0) {
        }
        ::closesocket(s);
    }
}

}  // namespace vexal::testing
