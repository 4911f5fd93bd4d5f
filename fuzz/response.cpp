// Fuzz target: reading a response (status, header, length, chunked framing) delivered in
// pieces whose sizes the input chooses, then turning the body into page lines.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/response.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks the piece size, so the same bytes are tried split many ways.
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    vexal::Response response;
    response.Reset();
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (!response.DataArrival(bytes.substr(at, piece))) break;
        if (response.Complete()) break;
    }
    response.ConnectionClosed();
    response.StripResponseHeader();
    std::string source;
    const auto& body = response.ResponseBytes;
    vexal::ResponseToSourceText(std::string_view(body.data(), body.size()), source);
    return 0;
}
