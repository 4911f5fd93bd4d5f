// The network half of the progress window: fetching a page's text and a picture into its
// file over one TCP socket, with the inactivity time-out, the Retry/Cancel question, the
// cancel flag and every failure message. It knows the run only through what its caller
// hands it: the host's services, the cancel flag and the settings of each fetch.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "host/socket.h"
#include "host/timer.h"
#include "net/response.h"
#include "program/url_parts.h"

namespace vexal {

// What a fetch obeys, from the run's settings. The caller hands it over with every fetch,
// so a setting changed between two retrievals counts from the next fetch on.
struct TransferSettings {
    std::string errorTitle;    // the title of the error boxes
    std::string headerBlock;   // the fields every request carries, ending in "Host: "
    std::int32_t timeOut = 0;  // seconds of silence before the Retry/Cancel question; 0: never ask
};

class Transfer final : public SocketListener, public TimerListener, private ResponseProgress {
public:
    // Uses host.socket (host.secureSocket for https addresses), host.timer, host.pump, host.dialogs and
    // host.files; host.progress and host.guard may be null. Becomes the listener of the socket and the
    // timer while it lives. `cancelRequested` is the progress window's cancel flag: cleared as each
    // fetch starts, then tested on every pass of its loops; it must outlive the transfer.
    Transfer(Host& host, bool& cancelRequested);
    ~Transfer() override;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Fetches the page `url` and appends its lines to `sourceTextOut`; false, after its
    // message, when the page could not be had.
    [[nodiscard]] bool SetGrpUrl(const TransferSettings& settings, std::string url,
                                 std::string& sourceTextOut);
    // Fetches the picture `image` (a path on the last server when `relativeToPage`) into the
    // file `workFile`, and names that file in `workImageFileOut` as soon as it is whole, so
    // a stop that comes in the last pass already finds it there; false, after its message,
    // with no partial file left and `workImageFileOut` untouched, when it failed.
    [[nodiscard]] bool SetGrpData(const TransferSettings& settings, std::string image, bool relativeToPage,
                                  const std::string& workFile, std::string& workImageFileOut);

    // The address last requested (after redirects), whose folder a page's relative links
    // hang below; a fetch relative to the page goes to its server.
    const UrlParts& ServerUrl() const { return serverUrl_; }
    // The header fields of the requests to that server, its Host field included.
    const std::string& RequestHeaders() const { return requestHeaders_; }

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
    // A TimeOut of 0 never asks, but in an unattended run nobody can press cancel either:
    // there the transfer gives up after this much silence, with the time-out message.
    static constexpr std::int64_t kUnattendedSilenceLimitMs = 120000;
    // Redirects one fetch follows before it gives up: enough for every chain a site sets up
    // on purpose (http to https, a moved folder, a login-free mirror), and a loop ends.
    static constexpr int kMaxRedirects = 5;

private:
    enum class Outcome : std::uint8_t { Done, Failed, Retry, Redirect };

    void StartFetch(const TransferSettings& settings, const std::string& message);
    bool Fetch();
    Outcome HttpGet(const std::string& path);
    bool AwaitConnection();
    Outcome AwaitResponse(const std::string& path);
    bool ReportRejection(const std::string& path, bool& redirect);
    bool AskRetry();
    void RestartTimeout();
    bool UseServer();
    void WriteBodyPiece();
    void DropPartialFile();
    void Error(const std::string& text);
    // The response's progress, shown on the progress window's bar.
    void BodyAnnounced(std::int64_t length) override;
    void BodyReceived(std::int64_t bytes) override;
    void Message(const std::string& text);

    Host& host_;
    bool& cancelRequested_;
    TransferSettings settings_;  // of the current fetch
    UrlParts serverUrl_;
    std::string requestHeaders_;
    Socket* socket_;  // the socket of the current server's scheme
    Timer& timer_;
    Response response_;
    // The image fetch's temporary file beside the working file, while its body is written.
    bool toFile_ = false;
    std::string filePath_;
    std::uint64_t fileBytes_ = 0;  // written by the current attempt
    bool fileTouched_ = false;     // some attempt has written to the file
    bool fileFailed_ = false;      // a write of the current attempt failed
};

}  // namespace vexal
