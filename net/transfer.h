// The network half of the progress window: fetching the source page's text and the chosen
// image into the working file over one TCP socket, with the inactivity time-out, the
// Retry/Cancel question, the cancel flag and every failure message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/host.h"
#include "host/socket.h"
#include "host/timer.h"
#include "net/response.h"
#include "program/url_parts.h"

namespace vexal {

// The part of the retrieval state a transfer reads and writes. The values are read when a
// fetch needs them, so a change between fetches (a new time-out) takes effect at once.
struct TransferState {
    // The title of the error boxes.
    const std::string& TitleText;
    // The request header lines every fetch sends, ending in "Host: " for the server's name.
    const std::string& RequestHeaderBlock;
    // Seconds of network silence before the Retry/Cancel question; 0 or less never asks.
    const std::int32_t& TimeOut;
    // The progress window's cancel flag: cleared as a fetch starts, polled on every pass.
    bool& CancelRequested;
    // The server of the last fetch and the header lines sent to it: an image the page
    // links relatively is fetched from the page's server with the same lines.
    UrlParts& ServerUrl;
    std::string& RequestHeaders;
};

class Transfer final : public SocketListener, public TimerListener, private ResponseProgress {
public:
    // Uses host.socket, host.timer, host.pump, host.dialogs and host.files; host.progress
    // may be null. Becomes the listener of the socket and the timer while it lives.
    Transfer(Host& host, TransferState state);
    ~Transfer() override;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Fetches the page `url` and appends its printable lines to `sourceText`. False, after
    // its message, when the page could not be had.
    [[nodiscard]] bool SetGrpUrl(const std::string& url, std::string& sourceText);
    // Fetches `image` (a path on the page's server when `relativeToPage`) into the file
    // `filePath`. False, after its message and with no partial file left, when it failed.
    [[nodiscard]] bool SetGrpData(const std::string& image, bool relativeToPage, const std::string& filePath);

    void WS_DataArrival(std::int32_t bytesTotal) override;
    void WS_Error(std::int16_t number, const std::string& description) override;
    void Timer_Timer() override;

    // Window state kept from one fetch to the next.
    bool TimedOut = false;
    std::int16_t SocketError = 0;
    const Response& response() const { return response_; }

    // How long one pass of the transfer's loops may wait for the next event: short enough
    // that a cancel or a time-out is acted on at once, long enough not to spin.
    static constexpr int kPassWaitMs = 10;
    // An image body goes to its file in pieces of this size as it arrives, so a large
    // picture is never held in memory whole.
    static constexpr std::size_t kFilePieceBytes = 1 << 20;
    // The most a response may hold in memory: a whole page, or the header of either fetch.
    // A server may send without end; a page past this size is refused as out of memory
    // rather than taking the machine's memory (and a second copy as source text).
    static constexpr std::size_t kHeldLimitBytes = std::size_t{64} << 20;

private:
    enum class Outcome : std::uint8_t { Done, Failed, Retry };

    bool HttpGet(const std::string& path);
    void ResetResponse();
    bool AwaitConnection();
    Outcome AwaitResponse(const std::string& path);
    bool ReportRejection(const std::string& path);
    bool AskRetry();
    void RestartTimeout();
    void StartFetch(const std::string& message);
    void UseServer();
    void WriteBodyPiece();
    void DropPartialFile();
    void Error(const std::string& text);
    // The response's progress, shown on the progress window's bar.
    void BodyAnnounced(std::int64_t length) override;
    void BodyReceived(std::int64_t bytes) override;
    void Message(const std::string& text);

    Host& host_;
    TransferState state_;
    Socket& socket_;
    Timer& timer_;
    Response response_;
    // The image fetch's working file while its body is being written.
    bool toFile_ = false;
    std::string filePath_;
    std::uint64_t fileBytes_ = 0;  // written by the current attempt
    bool fileTouched_ = false;     // some attempt has written to the file
    bool fileFailed_ = false;      // a write of the current attempt failed
};

}  // namespace vexal
