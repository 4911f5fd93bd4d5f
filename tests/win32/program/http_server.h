// A small HTTP server on 127.0.0.1 for the program's tests: it answers each GET from a
// table of paths (404 for the rest), one request per connection, and records the requests.
// A path may be held: the connection stays open and silent until the server stops, after
// the first bytes of an answer when they are given.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_api.h"

namespace vexal::testing {

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const;

    // Answers GET `path` with status 200 and `body` (with its Content-Length).
    void Serve(const std::string& path, const std::string& body);
    // Accepts GET `path` and sends `firstBytes` (nothing by default), then nothing more.
    void Hold(const std::string& path, const std::string& firstBytes = "");

    // The requests received so far, whole (request line and header).
    std::vector<std::string> Requests();
    // Their paths.
    std::vector<std::string> Paths();

private:
    void Loop();

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::mutex mutex_;
    std::map<std::string, std::string> bodies_;
    std::map<std::string, std::string> held_;  // path: the bytes sent before the silence
    std::vector<std::string> requests_;
    std::vector<SOCKET> open_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace vexal::testing
