// A small HTTP server on 127.0.0.1 for the program's tests: it answers each GET from a
// table of paths (404 for the rest), one request per connection, and records the requests.
// A path may be held: the connection stays open and silent until the server stops.
#pragma once

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
    // Accepts GET `path` and never answers.
    void Hold(const std::string& path);

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
    std::vector<std::string> held_;
    std::vector<std::string> requests_;
    std::vector<SOCKET> open_;
    std::thread thread_;
};

}  // namespace vexal::testing
