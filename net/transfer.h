// Fetching a page's text and a picture into its file over one TCP socket, with the
// inactivity time-out. Each fetch returns what happened as a value; progress, the question
// on a silent server and cancelling go through the owner's small interface below. It knows
// the run only through what its caller hands it: the services, the owner and the settings
// of each fetch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/event_pump.h"
#include "host/file_system.h"
#include "host/run_guard.h"
#include "host/socket.h"
#include "host/timer.h"
#include "net/proxy_tunnel.h"
#include "net/response.h"
#include "program/url_parts.h"

namespace vexal {

// Why a fetch failed.
enum class FetchFailure : std::uint8_t {
    None,
    BadAddress,        // the page's address is no http or https address with a host
    NoSecureChannel,   // an https address, and no TLS socket to reach it
    Cancelled,         // the user pressed cancel
    NoAnswer,          // the server stayed silent and the owner did not retry: nothing more to say
    SocketError,       // `status` is the socket's error number; `subject` the host (a look-up) or host:port
    Disconnected,      // the connection closed before it was made
    ClosedByPeer,      // the server closed the connection early
    ConnectionError,   // the socket went into its error state without a number
    NotFound,          // status 404; `subject` is the path requested
    Rejected,          // any other status that is no success; `status` says which
    TooManyRedirects,  //
    Malformed,         // the response could not be read
    OutOfMemory,  // the response is larger than `bound`, what a response may hold; `subject` is its address
    NotSaved,     // the picture could not be written; `subject` is the working file
    Empty,        // the picture's body was empty; `subject` is the picture asked for
    TooLarge,     // the picture's body passed `bound` bytes; `subject` is its address
    DiskLow,      // it would have left less than `bound` bytes free beside the working file
    TooSlow,      // fewer than `bound` bytes came in `seconds`; `subject` is the address
    RunTooLong,   // an unattended run's transfers passed `seconds`; `subject` is the address
    // Through a proxy; `subject` is the proxy's host:port.
    ProxyUnreachable,     // connecting to it failed: `status` is the socket's error number
    ProxyRefused,         // it would not forward: `status` is its answer's status, 0 for no answer
    ProxyAuthentication,  // it asked for credentials (407)
};

// What one fetch did.
struct FetchResult {
    FetchFailure failure = FetchFailure::None;
    std::int32_t status = 0;                         // the HTTP status, or the socket's error number
    std::string subject;                             // what the failure's message names
    FileFailure fileFailure = FileFailure::Nothing;  // why the working file was not saved
    std::uint64_t bound = 0;                         // the bound a picture's body passed, in bytes
    std::int64_t seconds = 0;                        // the time a bound of time names
    bool Ok() const { return failure == FetchFailure::None; }
};

// What a fetch is doing, for the owner's progress display.
enum class FetchStep : std::uint8_t {
    Page,         // the page `subject` is being fetched
    PageText,     // the page has arrived and is being read
    Image,        // the picture `subject` is being fetched
    ImageLoaded,  // the picture is whole in its file
};

// The transfer's owner: it shows progress, answers the question on a silent server and
// knows whether the user asked to cancel.
class TransferOwner {
public:
    virtual ~TransferOwner() = default;
    virtual void Step(FetchStep step, std::string_view subject) = 0;
    // The socket reported error `number`; the fetch ends with it on its next pass.
    virtual void SocketTrouble(std::int16_t number) = 0;
    // The body's announced length, and how much of it has arrived (with or without one).
    virtual void BodyLength(std::int64_t length) = 0;
    virtual void BodyProgress(std::int64_t bytes) = 0;
    // The server has been silent for the whole time-out: true to try again.
    [[nodiscard]] virtual bool RetryOnSilence() = 0;
    // The cancel request: cleared as each fetch starts, then tested on every pass.
    virtual void ClearCancel() = 0;
    virtual bool CancelRequested() const = 0;
    // True when nobody can answer a question or press cancel.
    virtual bool Unattended() const = 0;
};

// The services a transfer uses.
struct TransferServices {
    Socket* socket = nullptr;        // for http addresses
    Socket* secureSocket = nullptr;  // the same over TLS, for https; null: https is refused
    Timer* timer = nullptr;          // the inactivity timer
    EventPump* pump = nullptr;
    FileSystem* files = nullptr;
    const RunGuard* guard = nullptr;  // null: the temporary file's name carries no process id
    Timer* watch = nullptr;           // ticks each rate window; null: no lowest rate, no run bound
    // The transport under `secureSocket`, holding the proxies the platform set; null: no
    // proxy, every connection goes straight to its server.
    ProxyTunnel* tunnel = nullptr;
};

// The bounds that end a transfer making no progress, besides TimeOut's silence. A server
// that sends a byte now and then restarts TimeOut for ever; these do not restart.
struct TransferLimits {
    // Fewer than lowestRateBytes in one window of rateWindowMs ends the fetch, as a
    // command-line downloader's speed limit does. 0 for either: no lowest rate.
    std::int64_t rateWindowMs = 30000;
    std::uint64_t lowestRateBytes = 1024;
    // Nobody can cancel an unattended run: its transfers together end after this long.
    std::int64_t unattendedRunMs = 600000;
};

// What a fetch obeys, from the run's settings. The caller hands it over with every fetch,
// so a setting changed between two retrievals counts from the next fetch on.
struct TransferSettings {
    std::string headerBlock;   // the fields every request carries, ending in "Host: "
    std::int32_t timeOut = 0;  // seconds of silence before the Retry/Cancel question; 0: never ask
    // A page is read with its own characters (by its charset) instead of as printable ASCII.
    bool decodePage = false;
    TransferLimits limits;
};

class Transfer final : public SocketListener, public TimerListener, private ResponseProgress {
    // The watch timer's listener: a flag for the loops, as the inactivity timer's.
    struct Watch final : TimerListener {
        bool ticked = false;
        void Timer_Timer() override { ticked = true; }
    };

public:
    // Becomes the listener of the sockets and the timer while it lives. `services` and
    // `owner` must outlive it; the services are read as each fetch needs them, so their
    // owner may still change them between fetches.
    Transfer(const TransferServices& services, TransferOwner& owner);
    ~Transfer() override;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Fetches the page `url` and appends its lines to `sourceTextOut`.
    [[nodiscard]] FetchResult SetGrpUrl(const TransferSettings& settings, std::string url,
                                        std::string& sourceTextOut);
    // Fetches the picture `image` (a path on the last server when `relativeToPage`) into the
    // file `workFile`, and names that file in `workImageFileOut` as soon as it is whole, so
    // a stop that comes in the last pass already finds it there. A failed fetch leaves no
    // partial file and `workImageFileOut` untouched.
    [[nodiscard]] FetchResult SetGrpData(const TransferSettings& settings, std::string image,
                                         bool relativeToPage, const std::string& workFile,
                                         std::string& workImageFileOut);

    // The address last requested (after redirects), whose folder a page's relative links
    // hang below; a fetch relative to the page goes to its server.
    const UrlParts& ServerUrl() const { return serverUrl_; }
    // The header fields of the requests to that server, its Host field included.
    const std::string& RequestHeaders() const { return requestHeaders_; }
    // The encoding the last page read with decodePage was in.
    PageEncoding PageEncodingUsed() const { return pageEncoding_; }

    void WS_DataArrival(std::int32_t bytesTotal) override;
    void WS_Error(std::int16_t number) override;
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
    // The largest picture body a fetch takes. A picture the program can show has at most
    // kMaxPicturePixels, half of this even uncompressed at 8 bytes a pixel; a longer body
    // is a server that sends without end (or a file that is mostly something else than its
    // first picture), and would fill the disk.
    static constexpr std::uint64_t kMaxPictureBytes = std::uint64_t{1} << 30;
    // The space a picture's body must leave free where the working file is, so a download
    // never takes the last of a disk that the system and the user's other programs need.
    // A small picture cannot take the last of a disk: one of kSmallBodyBytes at most need
    // only leave kSmallBodyFloorBytes free, so a nearly full disk still takes a photo.
    static constexpr std::uint64_t kFreeSpaceFloorBytes = std::uint64_t{1} << 30;
    static constexpr std::uint64_t kSmallBodyBytes = std::uint64_t{64} << 20;
    static constexpr std::uint64_t kSmallBodyFloorBytes = std::uint64_t{64} << 20;
    // The free space is asked once as each attempt starts, then again each time the body
    // has grown by this much, for what other programs write meanwhile: often enough to
    // stop near the floor, seldom enough to cost nothing against the writing itself.
    static constexpr std::uint64_t kFreeSpaceCheckBytes = std::uint64_t{4} << 20;
    // A TimeOut of 0 never asks, but in an unattended run nobody can press cancel either:
    // there the transfer gives up after this much silence, with the time-out message.
    static constexpr std::int64_t kUnattendedSilenceLimitMs = 120000;
    // Redirects one fetch follows before it gives up: enough for every chain a site sets up
    // on purpose (http to https, a moved folder, a login-free mirror), and a loop ends.
    static constexpr int kMaxRedirects = 5;

private:
    enum class Outcome : std::uint8_t { Done, Failed, Retry, Redirect };

    void StartFetch(const TransferSettings& settings, FetchStep step, std::string_view subject);
    bool Fetch();
    Outcome HttpGet(const std::string& path);
    bool AwaitConnection();
    Outcome AwaitResponse(const std::string& path);
    bool Rejected(const std::string& path, bool& redirect);
    void RestartTimeout();
    // Starts a fresh rate window (each connection, and after the question on silence).
    void RestartWatch();
    void StopWatch();
    // Judges a rate window that has ended: false, with the failure kept, when the transfer
    // is too slow or an unattended run has used its time.
    bool KeepsPace();
    bool UseServer();
    void WriteBodyPiece();
    void DropPartialFile();
    // The most the picture's body may bring: kMaxPictureBytes, or less where the working
    // file's disk cannot spare that much above its floor.
    std::uint64_t PictureBodyBound();
    // Asks for the free space again once the body has grown enough since the last time;
    // false once the body already passes what is left.
    bool KeepFreeSpace();
    // Records why the current fetch failed; false, for the caller to return.
    bool Fail(FetchFailure failure, std::int32_t status = 0, std::string subject = {});
    // The socket's error: its number, and the host or the address it concerned; while
    // `connecting` through a proxy, the proxy's.
    bool FailSocket(bool connecting = false);
    // The response's progress, for the owner's progress display.
    void BodyAnnounced(std::int64_t length) override;
    void BodyReceived(std::int64_t bytes) override;

    const TransferServices& services_;
    TransferOwner& owner_;
    FetchResult result_;         // of the current fetch
    TransferSettings settings_;  // of the current fetch
    UrlParts serverUrl_;
    std::string requestHeaders_;
    PageEncoding pageEncoding_ = PageEncoding::Utf8;
    Socket* socket_;        // the socket of the current server's scheme
    ProxyChoice proxy_;     // the current server's way: straight to it or through this proxy
    bool toProxy_ = false;  // plain requests go to that proxy itself, asking for whole addresses
    Timer& timer_;
    Response response_;
    // The image fetch's temporary file beside the working file, while its body is written.
    bool toFile_ = false;
    std::string filePath_;
    std::uint64_t fileBytes_ = 0;       // written by the current attempt
    std::uint64_t nextSpaceCheck_ = 0;  // fileBytes_ at which the free space is asked again
    bool fileTouched_ = false;          // some attempt has written to the file
    bool fileFailed_ = false;           // a write of the current attempt failed
    Watch watch_;
    std::uint64_t windowBytes_ = 0;  // bytes received in the current rate window
    std::int64_t watchedMs_ = 0;     // the windows ended in this transfer's whole life
};

}  // namespace vexal
