// Response reading throughput: a 100 MB body delivered in 64 KiB data events, framed by
// its length, by chunks and by the server's close, and the turning of a 100 MB page into
// source text. Prints MB/s for each: the first run, which stores into fresh memory, and
// the best of five, which reuses the memory of the run before. For scale it also prints a
// plain memcpy of the same events into fresh memory, the ceiling the first run is under.
//
//   bench_response [megabytes]      (default 100)
#include "net/response.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kEvent = 64 * 1024;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 2654435761u) >> 13);
    return body;
}

std::string Chunked(const std::string& body, std::size_t piece) {
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    wire.reserve(body.size() + body.size() / piece * 16 + 64);
    char size[32];
    for (std::size_t at = 0; at < body.size(); at += piece) {
        const std::size_t n = std::min(piece, body.size() - at);
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        wire += size;
        wire.append(body, at, n);
        wire += "\r\n";
    }
    return wire + "0\r\n\r\n";
}

struct Speed {
    double cold;  // the first run: the body goes into fresh memory
    double warm;  // best of the later runs
};

// Feeds `wire` in events of kEvent bytes through one response object, five times.
Speed Run(const char* name, const std::string& wire, std::size_t bodySize, bool close) {
    vexal::Response response;
    Speed speed{0, 0};
    for (int run = 0; run < 5; ++run) {
        response.Reset();
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t at = 0; at < wire.size(); at += kEvent)
            response.DataArrival(std::string_view(wire).substr(at, kEvent));
        if (close) response.ConnectionClosed();
        response.StripResponseHeader();
        const double mbps = static_cast<double>(bodySize) / 1e6 / Seconds(start);
        if (response.ResponseBytes.size() != bodySize || !response.Complete()) {
            std::fprintf(stderr, "%s: wrong body (%zu bytes)\n", name, response.ResponseBytes.size());
            std::exit(1);
        }
        if (run == 0) {
            speed.cold = mbps;
        } else {
            speed.warm = std::max(speed.warm, mbps);
        }
    }
    std::printf("%-28s %8.0f MB/s first run, %8.0f MB/s best\n", name, speed.cold, speed.warm);
    return speed;
}

// The same events copied by memcpy into freshly allocated memory.
double FreshMemcpy(const std::string& body) {
    const auto start = std::chrono::steady_clock::now();
    char* target = static_cast<char*>(std::malloc(body.size()));
    for (std::size_t at = 0; at < body.size(); at += kEvent)
        std::memcpy(target + at, body.data() + at, std::min(kEvent, body.size() - at));
    const double mbps = static_cast<double>(body.size()) / 1e6 / Seconds(start);
    volatile char sink = target[body.size() / 2];
    (void)sink;
    std::free(target);
    return mbps;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const std::size_t size = mb * 1000 * 1000;
    const std::string body = Body(size);

    std::printf("%-28s %8.0f MB/s\n", "memcpy into fresh memory", FreshMemcpy(body));
    const std::string length =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n" + body;
    const Speed byLength = Run("body framed by length", length, size, false);
    const Speed byChunks = Run("body in 64 KiB chunks", Chunked(body, 64 * 1024), size, false);
    const Speed byClose = Run("body ended by close", "HTTP/1.0 200 OK\r\n\r\n" + body, size, true);

    std::string page;
    page.reserve(size);
    const std::string line =
        "<tr><td><a href=\"/gallery/2024/photo-0001.jpg\"><img src=\"t/0001.gif\"></a></td>\r\n";
    while (page.size() + line.size() <= size) page += line;
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        std::string text;
        const auto start = std::chrono::steady_clock::now();
        vexal::ResponseToSourceText(page, text);
        best = std::min(best, Seconds(start));
    }
    std::printf("%-28s %8.0f MB/s\n", "page to source text", page.size() / 1e6 / best);

    const double worst = std::min({byLength.warm, byChunks.warm, byClose.warm});
    std::printf("slowest response reading: %.0f MB/s (target at least 1000)\n", worst);
    return worst >= 1000 ? 0 : 1;
}
