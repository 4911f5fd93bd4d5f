// A one-connection TCP server on 127.0.0.1 for the socket tests, run on its own thread with
// blocking Winsock calls: it accepts, reads the request up to its empty line, then plays
// its script (send bytes, pause, close or reset).
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_api.h"

namespace vexal::testing {

class LoopbackServer {
public:
    struct Step {
        std::string send;  // bytes to send
        int pauseMs = 0;   // then wait
    };
    enum class Ending { Close, Reset, Hold };

    LoopbackServer() {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listener_, 1);
        int len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~LoopbackServer() {
        ::closesocket(listener_);
        if (thread_.joinable()) thread_.join();
        ::WSACleanup();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // The request as received, complete once the thread has been joined (after Serve ends).
    const std::string& request() const { return request_; }

    void Serve(std::vector<Step> script, Ending ending = Ending::Close) {
        thread_ = std::thread([this, script = std::move(script), ending] {
            SOCKET s = ::accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) return;
            char buffer[4096];
            while (request_.find("\r\n\r\n") == std::string::npos) {
                const int n = ::recv(s, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request_.append(buffer, static_cast<std::size_t>(n));
            }
            for (const Step& step : script) {
                if (!step.send.empty()) ::send(s, step.send.data(), static_cast<int>(step.send.size()), 0);
                if (step.pauseMs) std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
            }
            if (ending == Ending::Reset) {
                linger l{1, 0};  // an abortive close sends RST
                ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
            } else if (ending == Ending::Hold) {
                while (::recv(s, buffer, sizeof buffer, 0) > 0) {
                }
            }
            ::closesocket(s);
        });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::string request_;
    std::thread thread_;
};

}  // namespace vexal::testing
